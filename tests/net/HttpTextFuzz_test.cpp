// Bounded random-input test of the request builder, proxy parser, reply scanner and
// anonymisation: random and token-rich replies, huge proxy values, any bytes in a form.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "net/HttpTextProperties.h"

namespace {

const int kRounds = 20000;
const char* const kTokens[] = {"<a",     "<A ",  "href=\"", "HREF=\"", "\"",       "<msg>",  "</msg>", "<MSG>",
                               "</MSG>", "http://", "https://", "file:///", " ",   "\r\n",   ";",      ":",
                               "http=",  "=",     "&",        "%",       "+",       "\\",     "bob"};

std::string RandomText(std::mt19937& rng, size_t most) {
    std::string s;
    size_t parts = rng() % (most + 1);
    for (size_t i = 0; i < parts; ++i) {
        switch (rng() % 3) {
        case 0:
            s += kTokens[rng() % (sizeof kTokens / sizeof *kTokens)];
            break;
        case 1:
            s += char(rng() % 256);
            break;
        default:
            s += char('a' + rng() % 26);
            break;
        }
    }
    return s;
}

TEST(HttpTextFuzz, RandomInputKeepsEveryPromise) {
    std::mt19937 rng(4711);
    for (int round = 0; round < kRounds; ++round) {
        std::string a = RandomText(rng, 40);
        std::string b(1 + rng() % 20, 'h');  // host and path are the program's own
        for (char& c : b) c = "abcxyz.-0123/"[rng() % 13];
        std::string broken = netprops::CheckReply(a);
        if (broken.empty()) broken = netprops::CheckForm(a);
        if (broken.empty()) broken = netprops::CheckRequest(b, "/" + b, a, rng() % 2 == 0);
        if (broken.empty()) broken = netprops::CheckProxy(a);
        if (broken.empty()) broken = netprops::CheckAnonymise(a, "C:\\users\\" + std::string(1 + rng() % 4, 'b'), "bob");
        ASSERT_EQ(broken, "") << "round " << round << " input: " << ::testing::PrintToString(a);
    }
}

TEST(HttpTextFuzz, HugeInputsStayBounded) {
    std::mt19937 rng(99);
    std::string proxy = "http=" + std::string(1 << 20, 'p') + ":8080;ftp=" + std::string(5000, ':');
    EXPECT_EQ(netprops::CheckProxy(proxy), "");
    EXPECT_EQ(ParseProxyServer(proxy).host.size(), size_t(1) << 20);
    std::string reply;
    while (reply.size() < 200000) reply += RandomText(rng, 64);
    EXPECT_EQ(netprops::CheckReply(reply), "");
    EXPECT_EQ(netprops::CheckForm(reply), "");
    EXPECT_EQ(netprops::CheckAnonymise(reply, "C:\\users\\bob", "bob"), "");
}

}  // namespace
