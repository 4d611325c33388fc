// The request text, the proxy setting's parsing, the reply scanner and the anonymised log.
#include "net/HttpText.h"

#include <gtest/gtest.h>

namespace {

TEST(FormEncode, KeepsOnlyWhatAFormMayCarry) {
    const struct {
        std::string value, encoded;
    } cases[] = {
        {"1.0", "1.0"},
        {"a b", "a+b"},
        {"&=%+", "%26%3D%25%2B"},
        {"x&comments=y", "x%26comments%3Dy"},
        {"*-._~", "*-._%7E"},
        {std::string("\xE9\xFF\x80", 3), "%E9%FF%80"},
        {std::string("a\0b", 3), "a%00b"},
        {"line\r\n", "line%0D%0A"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(FormEncode(c.value), c.encoded) << c.value;
}

TEST(FormBody, JoinsEncodedPairs) {
    EXPECT_EQ(FormBody({{"version", "1.0"}}), "version=1.0");
    EXPECT_EQ(FormBody({{"version", "1.0"}}).size(), 11u);
    EXPECT_EQ(FormBody({{"logData", ""}, {"comments", ""}, {"appName", "Zephyl Saver"}, {"appVersion", "1.0"}}),
              "logData=&comments=&appName=Zephyl+Saver&appVersion=1.0");
    EXPECT_EQ(FormBody({{"logData", "a=b&c"}, {"comments", "50% + more"}}),
              "logData=a%3Db%26c&comments=50%25+%2B+more");
}

TEST(BuildRequest, DirectAndThroughAProxy) {
    EXPECT_EQ(BuildRequest("www.telmoro.com", "/updates/zephyl_update.php", "version=1.0", false),
              "POST /updates/zephyl_update.php HTTP/1.0\r\n"
              "Host: www.telmoro.com\r\n"
              "Connection: close\r\n"
              "Content-type: application/x-www-form-urlencoded\r\n"
              "Content-Length: 11\r\n"
              "\r\n"
              "version=1.0");
    std::string proxied = BuildRequest("www.telmoro.com", "/bugs/zephyl_bug.php", "abcdefghijklm", true);
    EXPECT_EQ(proxied.substr(0, proxied.find("\r\n")), "POST http://www.telmoro.com/bugs/zephyl_bug.php HTTP/1.0");
    EXPECT_NE(proxied.find("\r\nContent-Length: 13\r\n\r\nabcdefghijklm"), std::string::npos);
    EXPECT_EQ(proxied.back(), 'm') << "nothing follows the body";
}

TEST(ParseProxyServer, RuleCutAndPort) {
    const struct {
        std::string value, host;
        unsigned port;
        bool direct;
    } cases[] = {
        {"http=proxy:8080;ftp=other:21", "proxy", 8080, false},
        {"ftp=other:21;HTTP=Cache.Example:3128", "Cache.Example", 3128, false},
        {"proxy", "proxy", 80, false},
        {"127.0.0.1:8888", "127.0.0.1", 8888, false},
        {"proxy;other:21", "proxy", 80, false},
        {"proxy:", "proxy", 80, false},
        {"proxy:0", "proxy", 80, false},
        {"proxy:65535", "proxy", 65535, false},
        {"proxy:65536", "proxy", 80, false},
        {"proxy:99999999999999999999", "proxy", 80, false},
        {"proxy:81abc", "proxy", 81, false},
        {"", "", 80, true},
        // A scheme in front and a slash behind are no part of the host.
        {"http://proxy:8080", "proxy", 8080, false},
        {"HTTP://proxy:8080/", "proxy", 8080, false},
        {"http://proxy", "proxy", 80, false},
        {"http=http://proxy:3128;ftp=other:21", "proxy", 3128, false},
        {" http = proxy:81 ; ftp=other:21", "proxy", 81, false},
        // A per-protocol list without a web entry: straight to the server.
        {"ftp=x:21;https=y:443", "", 80, true},
        {"https=y:443", "", 80, true},
        {"http=;ftp=x:21", "", 80, true},
        {"socks=s:1080;proxy:82", "proxy", 82, false},
    };
    for (const auto& c : cases) {
        ProxyEntry entry = ParseProxyServer(c.value);
        EXPECT_EQ(entry.host, c.host) << c.value;
        EXPECT_EQ(entry.port, c.port) << c.value;
        EXPECT_EQ(entry.direct, c.direct) << c.value;
    }
    std::string longHost(5000, 'h');
    EXPECT_EQ(ParseProxyServer("http=" + longHost + ":8080").host, longHost) << "any length is kept whole";
}

TEST(FindLink, TagThenQuotedHref) {
    const struct {
        std::string reply;
        bool found;
        std::string link;
    } cases[] = {
        {"<A HREF=\"x\">", true, "x"},
        {"text <a class=b href=\"http://h/p\">go</a>", true, "http://h/p"},
        {"<a href=\"http://h/unfinished", true, "http://h/unfinished"},
        {"href=\"http://h/\" before any <a>", false, ""},
        {"<a href=http://h/>", false, ""},
        {"<msg>no link</msg>", false, ""},
        {"", false, ""},
    };
    for (const auto& c : cases) {
        std::string link;
        EXPECT_EQ(FindLink(c.reply, link), c.found) << c.reply;
        if (c.found) EXPECT_EQ(link, c.link) << c.reply;
    }
}

TEST(IsWebLink, OnlyPlainHttpAndHttps) {
    const struct {
        std::string link;
        bool web;
    } cases[] = {
        {"http://www.telmoro.com/download", true},
        {"HTTPS://host/x?a=1&b=2", true},
        {"http://", false},
        {"file:///C:/windows/system32/calc.exe", false},
        {"C:\\windows\\system32\\calc.exe", false},
        {"\\\\server\\share\\setup.exe", false},
        {"javascript:alert(1)", false},
        {"ftp://host/file", false},
        {" http://host/", false},
        {"http://host/a b", false},
        {"http://host/\r\nx", false},
        {"httpx://host/", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsWebLink(c.link), c.web) << c.link;
    std::string link;
    EXPECT_FALSE(FindWebLink("<a href=\"file:///C:/x.exe\">", link));
    EXPECT_TRUE(link.empty());
    EXPECT_TRUE(FindWebLink("<a href=\"http://h/\">", link));
    EXPECT_EQ(link, "http://h/");
}

TEST(FindMessage, TagsInAnyCase) {
    const struct {
        std::string reply;
        bool opened, closed;
        std::string text;
    } cases[] = {
        {"<msg>New version</msg>", true, true, "New version"},
        {"<MSG>Up to date</MSG>", true, true, "Up to date"},
        {"<Msg>first</mSg> <msg>second</msg>", true, true, "first"},
        {"<msg>never ends", true, false, ""},
        {"</msg>only the end", false, false, ""},
        {"<msg></msg>", true, true, ""},
        {"nothing", false, false, ""},
    };
    for (const auto& c : cases) {
        ReplyNote m = FindMessage(c.reply);
        EXPECT_EQ(m.opened, c.opened) << c.reply;
        EXPECT_EQ(m.closed, c.closed) << c.reply;
        EXPECT_EQ(m.text, c.text) << c.reply;
    }
}

TEST(Anonymise, ProfileFolderInBothFormsAndLoginNameAsAPathPart) {
    const ReportIdentity bob = {"C:\\Documents and Settings\\Bob Smith", "C:\\DOCUME~1\\BOBSMI~1", "Bob"};
    const ReportIdentity i = {"C:\\Users\\I", "C:\\Users\\I", "I"};
    const ReportIdentity key = {"C:\\Users\\Key", "", "Key"};
    const struct {
        const ReportIdentity& who;
        std::string text, sent;
    } cases[] = {
        {bob, "Path: c:\\documents and settings\\bob smith\\Application Data\\Telmoro",
         "Path: <profile>\\Application Data\\Telmoro"},
        {bob, "Path: C:\\DOCUME~1\\BOBSMI~1\\APPLIC~1\\Telmoro", "Path: <profile>\\APPLIC~1\\Telmoro"},
        {bob, "Temp C:\\DOCUME~1\\bobsmi~1\\LOCALS~1", "Temp <profile>\\LOCALS~1"},
        {bob, "Mixed C:\\DOCUME~1\\Bob Smith\\x and E:\\old\\BOBSMI~1", "Mixed C:\\DOCUME~1\\<user>\\x and E:\\old\\<user>"},
        {bob, "Playlist D:\\Music\\Bob.M3U by bob", "Playlist D:\\Music\\<user>.M3U by bob"},
        {bob, "Share \\\\server\\bob\\files, \"D:/bob\"", "Share \\\\server\\<user>\\files, \"D:/<user>\""},
        {bob, "bobcat kabob bob_x bob D:\\bobcat C:\\Documents and Settings\\Bobby\\x",
         "bobcat kabob bob_x bob D:\\bobcat C:\\Documents and Settings\\Bobby\\x"},
        {bob, "nothing personal", "nothing personal"},
        {i, "I      Main.cpp[0203]12/06 16:58:31 Path: C:\\Users\\I\\AppData", "I      Main.cpp[0203]12/06 16:58:31 Path: <profile>\\AppData"},
        {i, "I think I saw D:\\I\\x and D:/i", "I think I saw D:\\<user>\\x and D:/<user>"},
        {i, "If it is Important, I.e. Ice", "If it is Important, I.e. Ice"},
        {key, "Key pressed, KEY up, keyboard: key", "Key pressed, KEY up, keyboard: key"},
        {key, "E:\\Key\\notes.txt C:\\users\\key\\x", "E:\\<user>\\notes.txt <profile>\\x"},
    };
    for (const auto& c : cases) EXPECT_EQ(Anonymise(c.text, c.who), c.sent) << c.text;
    EXPECT_EQ(Anonymise("C:\\Users\\Bob\\x", {"C:\\Users\\Bob\\", "", ""}), "<profile>\\x") << "a trailing backslash";
    EXPECT_EQ(Anonymise("C:\\x", {"C:\\", "C:", ""}), "C:\\x") << "a drive is no profile folder";
    EXPECT_EQ(Anonymise("abc", {}), "abc");
}

}  // namespace
