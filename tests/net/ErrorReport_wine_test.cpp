// The error report offered by the real ZephylSaver.scr after a crashed run: the offer and
// comments dialogs, "See Report", the bytes the loopback stand-in for the vendor's server
// receives through the proxy setting, the suggested solution, and the ways of not sending.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <memory>

#include "core/Vendor.h"
#include "net/NetTestSupport.h"

namespace {

const char* const kOfferTitle = "Error Report";
const char* const kThanksCaption = "Thank you!";
const char* const kSolutionCaption = "There appears to be a solution!";
const int kCommentsEdit = 1105;
const int kDoNotShow = 1108;

std::string ProfileFolder() {
    char folder[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, 0, folder);
    return folder;
}

std::string LoginName() {
    char name[257] = {};
    DWORD size = sizeof name;
    GetUserNameA(name, &size);
    return name;
}

std::string ShortPath(const std::string& path) {
    char shortPath[MAX_PATH] = {};
    DWORD n = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
    return n > 0 && n < sizeof shortPath ? shortPath : path;
}

// A log of about 100 KB naming the user's folders (long, in capitals and short) and login
// (in a path, and as an ordinary word that stays), with the characters a form must escape
// and some that are not ASCII.
std::string LogFor(const std::string& profile, const std::string& profileInCapitals, const std::string& shortProfile,
                   const std::string& loginInPath, const std::string& login) {
    std::string log = "---- Log begins ----\r\n";
    log += "I      Main.cpp[0203]12/06 16:58:31 Path: " + profile + "\\AppData\\Roaming\\Telmoro\\Zephyl\\\r\n";
    log += "I      Main.cpp[0204]12/06 16:58:31 Short: " + shortProfile + "\\LOCALS~1\\Temp\r\n";
    log += "I     Music.cpp[0120]12/06 16:58:32 Playlist " + profileInCapitals + "\\Music\\" + loginInPath + ".M3U\r\n";
    log += "I     Music.cpp[0121]12/06 16:58:32 Other list D:\\Lists\\" + loginInPath + "\\mix.m3u\r\n";
    log += "E     Scene.cpp[0042]12/06 16:58:33 odd: a&b=c 100% + more %41 caf\xE9 \xFC\xDF \xC3\xA9 <tag>\r\n";
    while (log.size() < 100 * 1024)
        log += "I     Scene.cpp[0200]12/06 16:58:34 frame text, nothing personal here 0123456789\r\n";
    log += "! Last line, written by " + login + ".\r\n";
    return log;
}

std::string Upper(std::string s) {
    CharUpperBuffA(&s[0], static_cast<DWORD>(s.size()));
    return s;
}

std::string TextOf(HWND window) {
    char text[4096] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::vector<std::string> StaticTexts(HWND dialog) {
    std::vector<std::string> texts;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[32] = {};
        GetClassNameA(child, name, sizeof name);
        if (lstrcmpiA(name, "Static") == 0) texts.push_back(TextOf(child));
    }
    return texts;
}

// The box that tells how a report went: any message box of the process but the offer and
// the comments dialog.
bool WaitForOutcome(DWORD pid, HWND offer, DWORD ms, wt::MessageBoxInfo& box) {
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND w : nt::VisibleDialogs(pid))
            if (w != offer && !GetDlgItem(w, kCommentsEdit) && GetDlgItem(w, 0xFFFF) && wt::ReadMessageBox(w, box))
                return true;
        if (GetTickCount() - start >= ms) return false;
        Sleep(50);
    }
}

// The comments dialog: the one with the comments box.
HWND WaitForCommentsDialog(DWORD pid, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND w : nt::VisibleDialogs(pid))
            if (GetDlgItem(w, kCommentsEdit)) return w;
        if (GetTickCount() - start >= ms) return nullptr;
        Sleep(50);
    }
}

class ErrorReport : public ::testing::Test {
protected:
    void SetUp() override {
        wt::ResetProductState(true);
        install_ = wt::InstallCopy("report");
        ASSERT_TRUE(wt::InstallCheckSumList(install_));
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CrashFlag", 1);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowBugReport", 1);
        ASSERT_TRUE(server_.Start());
        proxy_.reset(new nt::ProxySetting("http=127.0.0.1:" + std::to_string(server_.Port())));
        ASSERT_TRUE(catcher_.Ok());
        std::string profile = ProfileFolder(), login = LoginName();
        ASSERT_FALSE(profile.empty());
        ASSERT_FALSE(login.empty());
        log_ = LogFor(profile, Upper(profile), ShortPath(profile), login, login);
        sent_ = LogFor("<profile>", "<profile>", "<profile>", "<user>", login);
        std::string folder = wt::UserDataFolder();
        CreateDirectoryA(folder.substr(0, folder.size() - 8).c_str(), nullptr);  // ...\Telmoro
        CreateDirectoryA(folder.c_str(), nullptr);
        ASSERT_TRUE(wt::WriteFile(wt::LogPath(), log_));
    }
    void TearDown() override {
        if (program_.Running()) program_.Kill();
        wt::ResetProductState(true);
    }

    HWND StartOffer() {
        EXPECT_TRUE(program_.Start(install_ + "ZephylSaver.scr", "/x"));
        return nt::WaitForDialog(program_.Id(), kOfferTitle, 20000);
    }
    // Presses "Yes", types the comments and sends them.
    void SendWithComments(HWND offer, const std::string& comments) {
        nt::Press(offer, IDOK);
        HWND dialog = WaitForCommentsDialog(program_.Id(), 10000);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU, 0) << "no close box";
        // Escape and the close command leave it open.
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        Sleep(500);
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_EQ(StaticTexts(dialog),
                  (std::vector<std::string>{"Enter any additional comments below (such as what you believe caused the "
                                            "error, or any other information relevant to the error):",
                                            "Comments:"}));
        EXPECT_EQ(TextOf(GetDlgItem(dialog, IDOK)), "Send Report");
        SendMessageA(GetDlgItem(dialog, kCommentsEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(comments.c_str()));
        nt::Press(dialog, IDOK);
    }
    uint32_t ShowBugReport() {
        return wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "ShowBugReport").AsDword();
    }

    std::string install_;
    std::string log_;
    std::string sent_;
    wt::Process program_;
    nt::VendorServer server_;
    std::unique_ptr<nt::ProxySetting> proxy_;
    nt::OpenCatcher catcher_;
};

TEST_F(ErrorReport, SendsTheAnonymisedLogAndTheCommentsAndOffersTheSolution) {
    server_.SetReply("HTTP/1.0 200 OK\r\n\r\n<html>See <a href=\"http://www.telmoro.com/fix/42\">the fix</a></html>");
    HWND offer = StartOffer();
    ASSERT_NE(offer, nullptr);
    EXPECT_EQ(StaticTexts(offer),
              (std::vector<std::string>{
                  "An error occurred the last time this screensaver was run.\nYou can automatically report this error "
                  "quickly and ANONYMOUSLY to Telmoro Software to help us find a solution by simply clicking 'Yes' "
                  "below.",
                  "Would you like to automatically send this error report?\n(Click \"See Report\" below to see what "
                  "you'll be sending.)"}));
    EXPECT_EQ(TextOf(GetDlgItem(offer, IDOK)), "Yes");
    EXPECT_EQ(TextOf(GetDlgItem(offer, IDCANCEL)), "No");
    EXPECT_EQ(TextOf(GetDlgItem(offer, 3)), "See Report");
    EXPECT_EQ(TextOf(GetDlgItem(offer, kDoNotShow)), "Do not show this again");

    // "See Report" opens exactly the text that will be sent.
    nt::Press(offer, 3);
    ASSERT_TRUE(catcher_.WaitForOpened(1, 10000));
    EXPECT_EQ(catcher_.Opened().front(), wt::UserDataFolder() + "ZephylReport.txt");
    for (int i = 0; i < 100 && catcher_.CopyOfFile() != sent_; ++i) Sleep(50);
    EXPECT_TRUE(catcher_.CopyOfFile() == sent_) << "shown: " << catcher_.CopyOfFile().size() << " bytes";
    catcher_.Clear();

    const std::string comments = "It crashed & burned = 100% + more\r\nSecond line: caf\xE9";
    SendWithComments(offer, comments);
    ASSERT_TRUE(server_.WaitForRequest(1, 15000));

    // The server decodes the form and gets the log, minus the names, and the comments.
    bool found = false;
    std::string logData = server_.Field(1, "logData", &found);
    ASSERT_TRUE(found);
    EXPECT_EQ(logData.size(), sent_.size());
    EXPECT_TRUE(logData == sent_) << "the log arrived changed";
    EXPECT_EQ(server_.Field(1, "comments"), comments);
    EXPECT_EQ(server_.Field(1, "appName"), "Zephyl Saver");
    EXPECT_EQ(server_.Field(1, "appVersion"), "1.0");
    std::string raw = server_.Raw(1);
    EXPECT_EQ(raw.substr(0, raw.find("\r\n")), std::string("POST http://") + kVendorHost + "/bugs/zephyl_bug.php HTTP/1.0");
    size_t blank = raw.find("\r\n\r\n");
    ASSERT_NE(blank, std::string::npos);
    std::string head = raw.substr(0, blank);
    EXPECT_NE(head.find("\r\nContent-Length: " + std::to_string(raw.size() - blank - 4)), std::string::npos) << head;
    EXPECT_EQ(raw.compare(blank + 4, 8, "logData="), 0);
    EXPECT_EQ(server_.Extra(1), "") << "nothing follows the body";
    EXPECT_EQ(raw.find(LoginName() + ".M3U"), std::string::npos);

    // The reply's link: the suggested solution, opened on Yes, while the report is on its way.
    wt::MessageBoxInfo solution;
    ASSERT_TRUE(nt::WaitForBox(program_.Id(), kSolutionCaption, 10000, solution));
    EXPECT_EQ(solution.text, "There appears to be a suggested solution\nto the problem that caused the error.\n\n"
                             "Would you like to see the suggested\nsolution?");
    nt::Press(solution.window, IDYES);
    ASSERT_TRUE(catcher_.WaitForOpened(1, 10000));
    EXPECT_EQ(catcher_.Opened(), std::vector<std::string>{"http://www.telmoro.com/fix/42"});

    // Delivered: the thanks.
    wt::MessageBoxInfo thanks;
    ASSERT_TRUE(nt::WaitForBox(program_.Id(), kThanksCaption, 20000, thanks));
    EXPECT_EQ(thanks.text, std::string("Thank you! We will do our best to resolve this issue.\n\n"
                                       "This report is anonymous so if this problem\n"
                                       "continues and you need further support,\n"
                                       "please do not hesitate to get in touch with\n"
                                       "our Technical Support department either via\n"
                                       "e-mail or through our online forums.\n\n"
                                       "Our web address is: http://") + kVendorHost);
    wt::PressOk(thanks.window);
    EXPECT_TRUE(program_.WaitExit(20000));
    EXPECT_FALSE(wt::FileExists(wt::UserDataFolder() + "ZephylReport.txt")) << "the shown copy is removed";
    EXPECT_EQ(ShowBugReport(), 1u);
    EXPECT_EQ(server_.RequestCount(), 1);
}

TEST_F(ErrorReport, TheUserIsToldOnlyOnceTheReportHasArrivedOrFailed) {
    const std::string kFailedText = "Error reporting error!";
    const struct {
        const char* name;
        double delay;   // before the server answers
        bool listening;
        bool delivered;
    } cases[] = {
        {"a slow server", 3, true, true},
        {"a server that never answers", 90, true, false},
        {"nothing listening", 0, false, false},
    };
    int requests = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CrashFlag", 1);
        ASSERT_TRUE(wt::WriteFile(wt::LogPath(), log_));  // the last run began a log of its own
        server_.SetReply("HTTP/1.0 200 OK\r\n\r\nreceived", c.delay);
        std::unique_ptr<nt::ProxySetting> closed;
        if (!c.listening) closed.reset(new nt::ProxySetting("http=127.0.0.1:" + std::to_string(nt::ClosedPort())));
        HWND offer = StartOffer();
        ASSERT_NE(offer, nullptr);
        DWORD start = GetTickCount();
        SendWithComments(offer, c.name);
        wt::MessageBoxInfo box;
        ASSERT_TRUE(WaitForOutcome(program_.Id(), offer, 60000, box));
        if (c.delivered) {
            EXPECT_EQ(box.caption, kThanksCaption);
            EXPECT_EQ(server_.RequestCount(), requests + 1) << "the thanks come after the server has the report";
            EXPECT_GE(GetTickCount() - start, 2500u) << "and after it answered";
        } else {
            EXPECT_EQ(box.text, kFailedText);
            EXPECT_NE(box.caption, kThanksCaption);
        }
        // A quick OK ends the program; nothing is cut short by it.
        wt::PressOk(box.window);
        ASSERT_TRUE(program_.WaitExit(20000));
        if (c.listening) {
            ASSERT_TRUE(server_.WaitForRequest(++requests, 1000));
            EXPECT_TRUE(server_.Field(requests, "logData") == sent_);
            EXPECT_EQ(server_.Field(requests, "comments"), c.name);
        }
        EXPECT_EQ(server_.RequestCount(), requests);
    }
}

TEST_F(ErrorReport, TwoReportsOfferedInOneStartAreBothDelivered) {
    // A failed run and a crash remembered together: two offers, one after the other.
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError", 2);
    server_.SetReply("HTTP/1.0 200 OK\r\n\r\n<a href=\"http://www.telmoro.com/fix/7\">fix</a>", 1);
    ASSERT_TRUE(program_.Start(install_ + "ZephylSaver.scr", "/x"));
    HWND previous = nullptr;
    for (const char* comments : {"first report", "second report"}) {
        SCOPED_TRACE(comments);
        HWND offer = nullptr;
        for (int i = 0; i < 400 && !offer; ++i, Sleep(50)) {
            HWND found = nt::WaitForDialog(program_.Id(), kOfferTitle, 50);
            if (found != previous) offer = found;
        }
        ASSERT_NE(offer, nullptr);
        previous = offer;
        SendWithComments(offer, comments);
        wt::MessageBoxInfo solution, thanks;
        ASSERT_TRUE(nt::WaitForBox(program_.Id(), kSolutionCaption, 20000, solution));
        nt::Press(solution.window, IDNO);
        ASSERT_TRUE(nt::WaitForBox(program_.Id(), kThanksCaption, 20000, thanks));
        wt::PressOk(thanks.window);
        for (int i = 0; i < 200 && IsWindow(offer); ++i) Sleep(50);
    }
    EXPECT_TRUE(program_.WaitExit(20000));
    ASSERT_EQ(server_.RequestCount(), 2);
    EXPECT_EQ(server_.Field(1, "comments"), "first report");
    EXPECT_EQ(server_.Field(2, "comments"), "second report");
    EXPECT_TRUE(server_.Field(2, "logData") == sent_);
    EXPECT_TRUE(catcher_.Opened().empty());
}

TEST_F(ErrorReport, DoNotShowAgainAndNoSendNothing) {
    HWND offer = StartOffer();
    ASSERT_NE(offer, nullptr);
    SendMessageA(GetDlgItem(offer, kDoNotShow), BM_CLICK, 0, 0);
    nt::Press(offer, IDCANCEL);
    ASSERT_TRUE(program_.WaitExit(20000));
    EXPECT_EQ(ShowBugReport(), 0u);
    Sleep(500);
    EXPECT_EQ(server_.RequestCount(), 0);

    // The next crashed run offers nothing.
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CrashFlag", 1);
    ASSERT_TRUE(program_.Start(install_ + "ZephylSaver.scr", "/x"));
    EXPECT_TRUE(program_.WaitExit(20000));
    EXPECT_TRUE(nt::VisibleDialogs(program_.Id()).empty());
}

TEST_F(ErrorReport, AMissingLogIsAnErrorAndNothingIsSent) {
    ASSERT_TRUE(DeleteFileA(wt::LogPath().c_str()));
    HWND offer = StartOffer();
    ASSERT_NE(offer, nullptr);
    SendWithComments(offer, "");
    // The box has the platform's default caption: it is the dialog that is not the offer.
    HWND found = nullptr;
    for (int i = 0; i < 200 && !found; ++i, Sleep(50))
        for (HWND w : nt::VisibleDialogs(program_.Id()))
            if (w != offer && GetDlgItem(w, 0xFFFF)) found = w;
    ASSERT_NE(found, nullptr);
    wt::MessageBoxInfo box;
    ASSERT_TRUE(wt::ReadMessageBox(found, box));
    EXPECT_EQ(box.text, "Error reporting error!");
    EXPECT_NE(box.caption, kThanksCaption);
    wt::PressOk(box.window);
    EXPECT_TRUE(program_.WaitExit(20000));
    EXPECT_EQ(server_.RequestCount(), 0);
}

}  // namespace
