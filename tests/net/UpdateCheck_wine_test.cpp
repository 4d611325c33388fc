// The update check against the loopback stand-in for the vendor's server, reached through
// the proxy setting: pressed in the real program's settings dialog, and, for every reply
// case and the timer, in this process on a thread that stands for the dialog's thread
// (it presses "Check for Updates" and runs a message loop). The test's own thread is the
// user: it reads the boxes and answers them.
#include "net/UpdateCheck.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <thread>

#include "core/Vendor.h"
#include "net/NetTestSupport.h"

namespace {

const char* const kFound = "Update found!";
const char* const kNote = "Note";
const char* const kFailed = "Could not connect";

// StartUpdateCheck on a thread of its own, served by its message loop until Stop.
class DialogThread {
public:
    DialogThread() : m_thread([this] { Run(); }) {}
    ~DialogThread() { Stop(); }
    void Stop() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    // Presses the button again from the same thread.
    void PressAgain() { m_again = true; }

private:
    void Run() {
        StartUpdateCheck();
        while (!m_stop) {
            if (m_again.exchange(false)) StartUpdateCheck();
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            Sleep(10);
        }
    }
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_again{false};
    std::thread m_thread;
};

bool CheckEnded(DWORD ms) {
    DWORD start = GetTickCount();
    while (TheUpdateContext().client) {
        if (GetTickCount() - start >= ms) return false;
        Sleep(50);
    }
    return true;
}

class UpdateCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Start());
        proxy_.reset(new nt::ProxySetting("http=127.0.0.1:" + std::to_string(server_.Port()) + ";ftp=other:21"));
        ASSERT_TRUE(catcher_.Ok());
    }
    nt::VendorServer server_;
    std::unique_ptr<nt::ProxySetting> proxy_;
    nt::OpenCatcher catcher_;
    const DWORD pid_ = GetCurrentProcessId();
};

TEST_F(UpdateCheck, EveryReplyGivesItsBox) {
    const std::string big = std::string(40000, 'x');
    const struct {
        const char* name;
        std::string reply;
        std::vector<std::pair<std::string, std::string>> boxes;  // caption, text, in order
        int answer;                                                // to "Update found!"
        std::string opened;
    } cases[] = {
        {"link and message", "HTTP/1.0 200 OK\r\n\r\n<html><a href=\"http://www.telmoro.com/get\">get</a><msg>Version 2.0 is out</msg></html>",
         {{kFound, "Version 2.0 is out"}}, IDYES, "http://www.telmoro.com/get"},
        {"message only, in capitals", "<MSG>You are up to date.</MSG>", {{kNote, "You are up to date."}}, 0, ""},
        {"message without its end", "<msg>dangling", {{kNote, "You currently have the most recent version."}}, 0, ""},
        {"link without message", "<A HREF=\"https://www.telmoro.com/new\">", {{kFound, "An update was found!  Would you like to update now?"}}, IDYES,
         "https://www.telmoro.com/new"},
        {"link, answered No", "<a href=\"http://www.telmoro.com/no\"><msg>Take it?</msg>", {{kFound, "Take it?"}}, IDNO, ""},
        {"neither", "HTTP/1.0 200 OK\r\n\r\nnothing to see", {}, 0, ""},
        {"a link that is no web link", "<a href=\"file:///C:/windows/system32/winver.exe\"><msg>Run me</msg>",
         {{kNote, "Run me"}}, 0, ""},
        {"split across reads", "<msg>first</msg>\n--8<--\n<MSG>second</MSG>", {{kNote, "first"}, {kNote, "second"}}, 0, ""},
        {"longer than the buffer", big + "\n--8<--\n<a href=\"http://www.telmoro.com/big\"><msg>big</msg>", {{kFound, "big"}}, IDYES,
         "http://www.telmoro.com/big"},
    };
    int request = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        catcher_.Clear();
        server_.SetReply(c.reply);
        DialogThread dialog;
        ASSERT_TRUE(server_.WaitForRequest(++request, 10000));
        for (const auto& expected : c.boxes) {
            wt::MessageBoxInfo box;
            ASSERT_TRUE(nt::WaitForBox(pid_, expected.first, 10000, box)) << expected.second;
            EXPECT_EQ(box.text, expected.second);
            if (expected.first == kNote) {
                EXPECT_TRUE(box.hasIcon) << "information icon";
                wt::PressOk(box.window);
            } else {
                EXPECT_FALSE(box.hasIcon);
                nt::Press(box.window, c.answer);
            }
            for (int i = 0; i < 100 && IsWindow(box.window); ++i) Sleep(20);
        }
        ASSERT_TRUE(CheckEnded(10000));
        Sleep(300);
        EXPECT_TRUE(nt::VisibleDialogs(pid_).empty()) << "no other box";
        if (c.opened.empty()) {
            Sleep(500);
            EXPECT_TRUE(catcher_.Opened().empty());
        } else {
            ASSERT_TRUE(catcher_.WaitForOpened(1, 10000));
            EXPECT_EQ(catcher_.Opened(), std::vector<std::string>{c.opened});
        }
        dialog.Stop();
    }
}

TEST_F(UpdateCheck, NothingListeningIsReportedAfterTenSeconds) {
    nt::ProxySetting closed("127.0.0.1:" + std::to_string(nt::ClosedPort()));
    DWORD start = GetTickCount();
    DialogThread dialog;
    wt::MessageBoxInfo box;
    ASSERT_TRUE(nt::WaitForBox(pid_, kFailed, 20000, box));
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 9500u);
    EXPECT_LE(elapsed, 15000u);
    EXPECT_EQ(box.text,
              "Unable to connect to check for updates.\nMake sure you are connected to the internet.\n(Connection failed)");
    wt::PressOk(box.window);
    EXPECT_TRUE(CheckEnded(5000));
    EXPECT_EQ(server_.RequestCount(), 0);
}

TEST_F(UpdateCheck, ConnectedInTimeTheTimerDoesNothingAndASecondPressIsIgnored) {
    // The server keeps the connection 12 s before answering: the timer ticks meanwhile.
    server_.SetReply("<msg>late</msg>", 12);
    DialogThread dialog;
    ASSERT_TRUE(server_.WaitForRequest(1, 10000));
    dialog.PressAgain();
    Sleep(11000);
    EXPECT_TRUE(nt::VisibleDialogs(pid_).empty()) << "no box while the answer is on its way";
    wt::MessageBoxInfo box;
    ASSERT_TRUE(nt::WaitForBox(pid_, kNote, 10000, box));
    EXPECT_EQ(box.text, "late");
    wt::PressOk(box.window);
    ASSERT_TRUE(CheckEnded(10000));
    EXPECT_EQ(server_.RequestCount(), 1) << "the press during the check started nothing";
    // Another check right away is not cut short by the first one's timer.
    server_.SetReply("<msg>again</msg>", 2);
    dialog.PressAgain();
    ASSERT_TRUE(server_.WaitForRequest(2, 10000));
    ASSERT_TRUE(nt::WaitForBox(pid_, kNote, 10000, box));
    EXPECT_EQ(box.text, "again");
    wt::PressOk(box.window);
    EXPECT_TRUE(CheckEnded(10000));
}

TEST_F(UpdateCheck, AServerThatNeverFinishesEndsTheCheckThirtySecondsAfterThePress) {
    const struct {
        const char* name;
        double delay, hold;   // before the reply; after it, with the connection open
        const char* note;     // shown from the reply, or null
        bool failureBox;      // "Could not connect" at the end
    } cases[] = {
        {"connected, never answers", 90, 0, nullptr, true},
        {"answers, never closes", 0, 90, "up to date", false},
    };
    int request = 0;
    std::unique_ptr<DialogThread> dialog;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server_.SetReply("<msg>up to date</msg>", c.delay, c.hold);
        DWORD start = GetTickCount();
        if (dialog)
            dialog->PressAgain();
        else
            dialog.reset(new DialogThread);
        ASSERT_TRUE(server_.WaitForRequest(++request, 10000));
        wt::MessageBoxInfo box;
        if (c.note) {
            ASSERT_TRUE(nt::WaitForBox(pid_, kNote, 10000, box));
            EXPECT_EQ(box.text, c.note);
            wt::PressOk(box.window);
        }
        if (c.failureBox) {
            ASSERT_TRUE(nt::WaitForBox(pid_, kFailed, 60000, box));
            EXPECT_GE(GetTickCount() - start, 25000u) << "a connected check is not cut at the first tick";
            EXPECT_EQ(box.text, "Unable to connect to check for updates.\nMake sure you are connected to the "
                                "internet.\n(Connection failed)");
            wt::PressOk(box.window);
        }
        ASSERT_TRUE(CheckEnded(60000));
        EXPECT_GE(GetTickCount() - start, 25000u);
        Sleep(300);
        EXPECT_TRUE(nt::VisibleDialogs(pid_).empty()) << "no other box";
    }
    // The button works again.
    server_.SetReply("<msg>again</msg>");
    dialog->PressAgain();
    ASSERT_TRUE(server_.WaitForRequest(++request, 10000));
    wt::MessageBoxInfo box;
    ASSERT_TRUE(nt::WaitForBox(pid_, kNote, 10000, box));
    EXPECT_EQ(box.text, "again");
    wt::PressOk(box.window);
    EXPECT_TRUE(CheckEnded(10000));
}

TEST_F(UpdateCheck, ProxyWrittenAsAnAddressIsReached) {
    nt::ProxySetting address("http://127.0.0.1:" + std::to_string(server_.Port()) + "/");
    server_.SetReply("<msg>through the proxy</msg>");
    DialogThread dialog;
    ASSERT_TRUE(server_.WaitForRequest(1, 10000));
    wt::MessageBoxInfo box;
    ASSERT_TRUE(nt::WaitForBox(pid_, kNote, 10000, box));
    EXPECT_EQ(box.text, "through the proxy");
    wt::PressOk(box.window);
    EXPECT_TRUE(CheckEnded(10000));
    std::string raw = server_.Raw(1);
    EXPECT_EQ(raw.substr(0, raw.find("\r\n")), std::string("POST http://") + kVendorHost + "/updates/zephyl_update.php HTTP/1.0");
}

// Run by the next test, in a network namespace whose name server answers 20 s late: the
// check's timer deletes its client while the lookup still runs, and the late answer must
// not land in a freed block (Wine's heap checks freed blocks in that run).
TEST(LateHostLookup, InTheSlowResolversNamespace) {
    if (!getenv("ZEPHYL_LATE_RESOLVER")) GTEST_SKIP() << "started by LateHostLookup.WritesNothingAfterTheCheckEnded";
    const std::string folder = nt::LateResolverFolder();
    const DWORD pid = GetCurrentProcessId();
    nt::ProxySetting proxy("http=late.zephyl.test:80");
    DialogThread dialog;
    wt::MessageBoxInfo box;
    ASSERT_TRUE(nt::WaitForBox(pid, kFailed, 30000, box));
    EXPECT_FALSE(wt::FileExists(folder + "dns-answered")) << "the lookup was still running when the check ended";
    wt::PressOk(box.window);
    ASSERT_TRUE(CheckEnded(5000));
    DWORD start = GetTickCount();
    while (!wt::FileExists(folder + "dns-answered") && GetTickCount() - start < 60000) Sleep(50);
    ASSERT_TRUE(wt::FileExists(folder + "dns-answered"));
    // The dialog's thread serves the late answer meanwhile.
    for (int i = 0; i < 200 && FindWindowExA(HWND_MESSAGE, nullptr, "netlookup", nullptr); ++i) Sleep(50);
    wt::PumpFor(1000);
    HANDLE heaps[256];
    DWORD count = GetProcessHeaps(256, heaps);
    ASSERT_GT(count, 0u);
    for (DWORD i = 0; i < count && i < 256; ++i)
        EXPECT_TRUE(HeapValidate(heaps[i], 0, nullptr)) << "heap " << i << ": a freed block was written to";
}

TEST(LateHostLookup, WritesNothingAfterTheCheckEnded) {
    int exitCode = -1;
    std::string output;
    ASSERT_TRUE(nt::RunWithLateResolver("LateHostLookup.InTheSlowResolversNamespace", 20, 180000, exitCode, output))
        << output;
    EXPECT_EQ(exitCode, 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

TEST_F(UpdateCheck, FromTheSettingsDialogOfTheProgram) {
    const int kCheckForUpdates = 1095;
    wt::ResetProductState(true);
    std::string install = wt::InstallCopy("update");
    wt::Process program;
    ASSERT_TRUE(program.Start(install + "ZephylSaver.scr", "/c"));
    HWND dialog = wt::WaitForWindow(program.Id(), "#32770", 20000);
    ASSERT_NE(dialog, nullptr);
    ASSERT_NE(GetDlgItem(dialog, kCheckForUpdates), nullptr);

    server_.SetReply("<a href=\"http://www.telmoro.com/get\"><msg>Zephyl Saver 2.0 is here</msg>");
    nt::Press(dialog, kCheckForUpdates);
    ASSERT_TRUE(server_.WaitForRequest(1, 10000));
    wt::MessageBoxInfo box;
    ASSERT_TRUE(nt::WaitForBox(program.Id(), kFound, 10000, box));
    EXPECT_EQ(box.text, "Zephyl Saver 2.0 is here");
    nt::Press(box.window, IDYES);
    ASSERT_TRUE(catcher_.WaitForOpened(1, 10000));
    EXPECT_EQ(catcher_.Opened(), std::vector<std::string>{"http://www.telmoro.com/get"});
    EXPECT_EQ(server_.Raw(1), std::string("POST http://") + kVendorHost + "/updates/zephyl_update.php HTTP/1.0\r\n"
              "Host: " + kVendorHost + "\r\n"
              "Connection: close\r\n"
              "Content-type: application/x-www-form-urlencoded\r\n"
              "Content-Length: 11\r\n\r\n"
              "version=1.0");
    EXPECT_EQ(server_.Extra(1), "") << "nothing follows the body";
    EXPECT_EQ(server_.Field(1, "version"), "1.0");

    // A second check from the same dialog.
    server_.SetReply("<MSG>You have the latest.</MSG>");
    for (int i = 0; i < 100 && nt::VisibleDialogs(program.Id()).size() > 1; ++i) Sleep(50);
    Sleep(500);  // the first exchange has been closed
    nt::Press(dialog, kCheckForUpdates);
    ASSERT_TRUE(server_.WaitForRequest(2, 10000));
    ASSERT_TRUE(nt::WaitForBox(program.Id(), kNote, 10000, box));
    EXPECT_EQ(box.text, "You have the latest.");
    wt::PressOk(box.window);
    Sleep(300);
    nt::Press(dialog, IDCANCEL);
    EXPECT_TRUE(program.WaitExit(20000));
    if (program.Running()) program.Kill();
    wt::ResetProductState(true);
}

}  // namespace
