// The diagnostic log: banners, line prefixes, the trace's indent and the hex dump, as
// they land in the file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "diag/Log.h"

namespace {

class LogFile : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = (std::filesystem::temp_directory_path() /
                 ("zephyl-log-test-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".txt"))
                    .string();
        std::remove(path_.c_str());
    }
    void TearDown() override { std::remove(path_.c_str()); }

    std::vector<std::string> Lines() const {
        std::ifstream in(path_, std::ios::binary);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }

    std::string path_;
};

const char* const kTime = R"([A-Z][a-z]{2} [A-Z][a-z]{2} \d{2} \d{2}:\d{2}:\d{2} \d{4})";
const char* const kStamp = R"(\d{2}/\d{2} \d{2}:\d{2}:\d{2})";

TEST_F(LogFile, BannersFrameTheRunAndStartReplacesTheFile) {
    {
        std::ofstream old(path_);
        old << "an older run\n";
    }
    {
        cLog log(path_);
        log.Start();
        log.Start();  // a second Start changes nothing
    }
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(std::string(46, '-') + " Log begins on " + kTime + " " + std::string(46, '-'))))
        << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(std::string(47, '-') + " Log ends on " + kTime + " " + std::string(47, '-'))))
        << lines[1];
    for (size_t i = 2; i < 6; ++i) EXPECT_EQ(lines[i], "");
}

TEST_F(LogFile, PrefixCarriesTagSourceLineTimeAndIndent) {
    cLog log(path_);
    log.Start();
    log.SetSource("C:\\src\\minimal", 42);
    log.Write("hello", LogInfo);
    log.SetSource("LongSourceFileName.cpp", 2502);
    log.Write("long", LogError);
    log.SetSource("Main.cpp", 7);
    log.Write("odd level", 3);
    log.Enter("Begin block: modes", LogEnter);
    log.Enter("Enter function: DoSaver()", LogFunction);
    log.Write("inside", LogCritical);
    log.Exit("Exit function: DoSaver()", LogFunction);
    log.Exit("End block: modes", LogLeave);
    log.Exit("one too many", LogLeave);
    log.Write("depth zero", LogWarning);
    log.Stop();

    std::vector<std::string> l = Lines();
    ASSERT_GE(l.size(), 11u);
    auto matches = [&](const std::string& line, const std::string& pattern) {
        return std::regex_match(line, std::regex(pattern));
    };
    EXPECT_TRUE(matches(l[1], std::string("I      minimal\\[0042\\]") + kStamp + "hello")) << l[1];
    EXPECT_TRUE(matches(l[2], std::string("E LongSourceFileName\\.cpp\\[2502\\]") + kStamp + "long")) << l[2];
    EXPECT_TRUE(matches(l[3], std::string("      Main\\.cpp\\[0007\\]") + kStamp + "odd level")) << l[3];
    EXPECT_TRUE(matches(l[4], std::string(">     Main\\.cpp\\[0007\\]") + kStamp + " \\+- Begin block: modes")) << l[4];
    EXPECT_TRUE(matches(l[5], std::string("F     Main\\.cpp\\[0007\\]") + kStamp + " \\|   \\+- Enter function: DoSaver\\(\\)")) << l[5];
    EXPECT_TRUE(matches(l[6], std::string("!     Main\\.cpp\\[0007\\]") + kStamp + " \\|   \\|  inside")) << l[6];
    EXPECT_TRUE(matches(l[7], std::string("F     Main\\.cpp\\[0007\\]") + kStamp + " \\|   \\+- Exit function: DoSaver\\(\\)")) << l[7];
    EXPECT_TRUE(matches(l[8], std::string("<     Main\\.cpp\\[0007\\]") + kStamp + " \\+- End block: modes")) << l[8];
    EXPECT_TRUE(matches(l[9], std::string("<     Main\\.cpp\\[0007\\]") + kStamp + " \\+- one too many")) << l[9];
    EXPECT_TRUE(matches(l[10], std::string("W     Main\\.cpp\\[0007\\]") + kStamp + "depth zero")) << l[10];
    EXPECT_EQ(log.Indent(), 0);
}

TEST_F(LogFile, MaskFiltersLevelsButNotRawText) {
    cLog log(path_);
    log.Start();
    log.SetMask(LogError);
    log.SetSource("a.cpp", 1);
    log.Write("info is filtered", LogInfo & ~LogError);
    log.Write("error passes", LogError);
    log.Enter("filtered enter", LogEnter);
    EXPECT_EQ(log.Indent(), 0);
    log.WriteRaw("raw");
    std::vector<std::string> l = Lines();
    ASSERT_EQ(l.size(), 3u);
    EXPECT_NE(l[1].find("error passes"), std::string::npos);
    EXPECT_EQ(l[2], "raw");
}

TEST_F(LogFile, HexDumpWritesRowsOfTwentyBytes) {
    cLog log(path_);
    log.Start();
    log.SetSource("net.cpp", 9);
    std::string data = "GET / HTTP/1.0\r\n";
    data += '\x7f';
    data += '\x80';
    data += '\x00';
    data += "\x1f" "ABCD";
    ASSERT_EQ(data.size(), 24u);
    data += 'Z';  // 25 bytes: two rows
    log.HexDump(data.data(), data.size(), LogDebug);
    log.HexDump(nullptr, 10, LogDebug);
    std::vector<std::string> l = Lines();
    ASSERT_EQ(l.size(), 3u);
    std::string prefix = "D      net.cpp[0009]";
    ASSERT_EQ(l[1].size(), prefix.size() + 14 + 80);
    std::string row1 = l[1].substr(l[1].size() - 80);
    std::string row2 = l[2].substr(l[2].size() - 80);
    EXPECT_EQ(row1, "47 45 54 20 2F 20 48 54 54 50 2F 31 2E 30 0D 0A 7F 80 00 1F GET / HTTP/1.0..\x7f...");
    EXPECT_EQ(row2, "41 42 43 44 5A " + [] {
        std::string s;
        for (int i = 0; i < 15; ++i) s += "-- ";
        return s;
    }() + "ABCDZ" + std::string(15, '.'));
}

TEST_F(LogFile, UnwritableFileLosesLinesSilently) {
    cLog log((std::filesystem::temp_directory_path() / "no-such-folder-zephyl" / "x" / "log.txt").string());
    log.Start();
    log.Write("lost", LogInfo);
    log.HexDump("abc", 3, LogInfo);
    log.Stop();
    SUCCEED();
}

TEST_F(LogFile, MacrosSetSourceAndLineAndTraceFunctions) {
    cLog log(path_);
    log.Start();
    gLog = &log;
    {
        ZLOG_FUNCTION("initD3D");
        ZLOG(LogInfo, "value " << 42 << ' ' << 1.0);
    }
    gLog = nullptr;
    ZLOG(LogInfo, "not written: no log");
    std::vector<std::string> l = Lines();
    ASSERT_EQ(l.size(), 4u);
    EXPECT_TRUE(std::regex_match(l[1], std::regex(std::string("F Log_test\\.cpp\\[\\d{4}\\]") + kStamp + " \\+- Enter function: initD3D\\(\\)"))) << l[1];
    EXPECT_TRUE(std::regex_match(l[2], std::regex(std::string("I Log_test\\.cpp\\[\\d{4}\\]") + kStamp + " \\|  value 42 1"))) << l[2];
    EXPECT_TRUE(std::regex_match(l[3], std::regex(std::string("F Log_test\\.cpp\\[\\d{4}\\]") + kStamp + " \\+- Exit function: initD3D\\(\\)"))) << l[3];
}

// A traced function with two ways out; each statement records the line it stands on.
int gEntryLine = 0, gEarlyLine = 0, gLateLine = 0;
int TracedTwoWays(bool early) {
    ZLOG_FUNCTION("TwoWays"); gEntryLine = __LINE__;
    if (early) { gEarlyLine = __LINE__; ZLOG_RETURN(1); }
    gLateLine = __LINE__; ZLOG_RETURN(2);
}
void TracedThrowing() {
    ZLOG_FUNCTION("Throwing");
    throw 5;
}

// The exit line names the way out that was taken (an exception falls back to the entry).
TEST_F(LogFile, ExitTraceCarriesTheLineOfTheReturnTaken) {
    cLog log(path_);
    log.Start();
    gLog = &log;
    TracedTwoWays(true);
    TracedTwoWays(false);
    try {
        TracedThrowing();
    } catch (int) {
    }
    gLog = nullptr;
    std::vector<std::string> l = Lines();
    ASSERT_EQ(l.size(), 7u);
    auto lineOf = [](const std::string& text) { return std::stoi(text.substr(text.find('[') + 1, 4)); };
    EXPECT_EQ(lineOf(l[1]), gEntryLine) << l[1];
    EXPECT_EQ(lineOf(l[2]), gEarlyLine) << l[2];
    EXPECT_NE(l[2].find("Exit function: TwoWays()"), std::string::npos) << l[2];
    EXPECT_EQ(lineOf(l[3]), gEntryLine) << l[3];
    EXPECT_EQ(lineOf(l[4]), gLateLine) << l[4];
    EXPECT_EQ(lineOf(l[5]), lineOf(l[6])) << "unwound: the entry line\n" << l[5] << "\n" << l[6];
    EXPECT_NE(l[6].find("Exit function: Throwing()"), std::string::npos) << l[6];
}

// A source name long enough to cut the head of the prefix keeps the indent after it.
TEST_F(LogFile, CutPrefixKeepsItsIndent) {
    cLog log(path_);
    log.Start();
    log.SetSource(std::string(60, 'n').c_str(), 1);
    log.Enter("Begin block: deep", LogEnter);
    log.Enter("Begin block: deeper", LogEnter);
    log.SetSource(std::string(53, 's').c_str(), 7);  // exactly fills the room
    log.Write("at the limit", LogInfo);
    log.SetSource(std::string(200, 'x').c_str(), 9);
    log.Write("inside", LogInfo);
    log.Stop();
    std::vector<std::string> l = Lines();
    ASSERT_GE(l.size(), 5u);
    // 75 characters of head (the room of 76 less its terminating zero), then the indent.
    EXPECT_EQ(l[2].substr(75), " |   +- Begin block: deeper") << l[2];
    EXPECT_EQ(l[3].substr(75), " |   |  at the limit") << l[3];
    EXPECT_EQ(l[4].substr(0, 4), "I xx") << l[4];
    EXPECT_EQ(l[4].substr(75), " |   |  inside") << l[4];
}

}  // namespace
