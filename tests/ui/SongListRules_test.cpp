// The custom music dialog's rules: row texts, the count label, file kinds, the open-file
// filter and result, the entries a file adds, and the row moves with their selection.
#include "ui/SongListRules.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

TEST(SongListRules, RowTextIsTheFileNameWithItsExtension) {
    const struct {
        const char* entry;
        const char* text;
    } cases[] = {
        {"C:\\Music\\song one.ogg", "song one.ogg"},
        {"\\\\server\\share\\a.wav", "a.wav"},
        {"http://example.com/radio/b.ogg", "b.ogg"},
        {"?anthem.ogg", "?anthem.ogg"},
        {"plain.wma", "plain.wma"},
        {"C:\\folder.with.dots\\noext", "noext"},
    };
    for (const auto& c : cases) EXPECT_EQ(SongRowText(c.entry), c.text) << c.entry;
}

TEST(SongListRules, CountLabelIsTheNumberALineBreakAndFiles) {
    EXPECT_EQ(SongCountText(0), "0\nFiles");
    EXPECT_EQ(SongCountText(3), "3\nFiles");
    EXPECT_EQ(SongCountText(500), "500\nFiles");
}

TEST(SongListRules, FileKindsGoByExtensionInAnyCase) {
    const struct {
        const char* path;
        bool playlist;
        bool sound;
    } cases[] = {
        {"a.M3U", true, false}, {"a.pls", true, false}, {"a.B4s", true, false}, {"a.asx", true, false},
        {"a.wpl", true, false}, {"a.BPL", true, false}, {"a.OGG", false, true}, {"a.wav", false, true},
        {"a.Wma", false, true}, {"a.asf", false, true}, {"a.mp3", false, false}, {"a.txt", false, false},
        {"C:\\x.m3u\\song", false, false}, {"noext", false, false}, {"a.ogg.txt", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsPlaylistFile(c.path), c.playlist) << c.path;
        EXPECT_EQ(IsSoundFile(c.path), c.sound) << c.path;
    }
}

TEST(SongListRules, FilterListsTwelvePairsInOrderEndedByTwoNuls) {
    std::string filter = SongOpenFilter();
    ASSERT_GE(filter.size(), 2u);
    EXPECT_EQ(filter.substr(filter.size() - 2), std::string(2, '\0'));
    std::vector<std::string> parts;
    for (size_t pos = 0; pos < filter.size() - 1;) {
        size_t end = filter.find('\0', pos);
        parts.push_back(filter.substr(pos, end - pos));
        pos = end + 1;
    }
    ASSERT_EQ(parts.size(), 24u);
    EXPECT_EQ(parts[0], "All files (*.*)");
    EXPECT_EQ(parts[1], "*.*");
    EXPECT_EQ(parts[2], "All supported types");
    EXPECT_EQ(parts[3], "*.wav;*.ogg;*.wma;*.asf;*.m3u;*.pls;*.b4s;*.bpl;*.asx;*.wpl");
    EXPECT_EQ(parts[6], "Vorbis files (*.ogg)");
    EXPECT_EQ(parts[22], "WPL Playlist (*.wpl)");
    EXPECT_EQ(parts[23], "*.wpl");
}

TEST(SongListRules, OpenFileResultGivesFullPathsInSelectionOrder) {
    const std::string single("C:\\Music\\a.ogg\0\0", 16);
    EXPECT_EQ(SelectedFilePaths(single.data(), single.size(), false), std::vector<std::string>{"C:\\Music\\a.ogg"});

    const std::string several("C:\\Music\0b.ogg\0a.ogg\0list.m3u\0\0", 31);
    EXPECT_EQ(SelectedFilePaths(several.data(), several.size(), true),
              (std::vector<std::string>{"C:\\Music\\b.ogg", "C:\\Music\\a.ogg", "C:\\Music\\list.m3u"}));

    const std::string root("C:\\\0a.ogg\0b.ogg\0\0", 16);
    EXPECT_EQ(SelectedFilePaths(root.data(), root.size(), true),
              (std::vector<std::string>{"C:\\a.ogg", "C:\\b.ogg"}));

    // No closing NUL within the buffer: the text stops at its end.
    const std::string cut("C:\\M\0abc", 8);
    EXPECT_EQ(SelectedFilePaths(cut.data(), cut.size(), true), std::vector<std::string>{"C:\\M\\abc"});
    EXPECT_TRUE(SelectedFilePaths(nullptr, 10, true).empty());
    EXPECT_TRUE(SelectedFilePaths("\0\0", 2, false).empty());
}

TEST(SongListRules, WideResultSplitsLikeTheNarrowOne) {
    const std::wstring several(L"C:\\Musik\0\u4f60\u597d.ogg\0b.ogg\0\0", 23);
    EXPECT_EQ(SelectedWideFilePaths(several.data(), several.size(), true),
              (std::vector<std::wstring>{L"C:\\Musik\\\u4f60\u597d.ogg", L"C:\\Musik\\b.ogg"}));
}

// A name the code page cannot hold is kept by its short path, or refused (never "??.ogg").
TEST(SongListRules, PlaylistPathIsTheWholePathOrItsShortFormOrNone) {
    struct Case {
        const char* path;
        bool whole;
        const char* shortPath;
        bool shortWhole;
        const char* expected;
    } cases[] = {
        {"C:\\Music\\a.ogg", true, "", false, "C:\\Music\\a.ogg"},
        {"C:\\Music\\??.ogg", false, "C:\\Music\\8B9F~1.OGG", true, "C:\\Music\\8B9F~1.OGG"},
        {"C:\\Music\\??.ogg", false, "C:\\Music\\??.ogg", false, ""},  // no short names there
        {"C:\\Music\\??.ogg", false, "", false, ""},
        {"C:\\Music\\??.ogg", false, "", true, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlaylistPathFor(c.path, c.whole, c.shortPath, c.shortWhole), c.expected) << c.path << " " << c.shortPath;
    const std::wstring text = RefusedSongsText({L"C:\\M\\\u4f60.ogg", L"C:\\M\\\u597d.wav"});
    EXPECT_NE(text.find(L"C:\\M\\\u4f60.ogg\n"), std::wstring::npos);
    EXPECT_NE(text.find(L"C:\\M\\\u597d.wav\n"), std::wstring::npos);
}

TEST(SongListRules, FiveHundredSelectedNamesAllComeBack) {
    std::string buffer = std::string("Z:\\tmp\\many") + '\0';
    for (int i = 0; i < 500; ++i) buffer += "song" + std::to_string(i) + ".ogg" + '\0';
    buffer += '\0';
    std::vector<std::string> paths = SelectedFilePaths(buffer.data(), buffer.size(), true);
    ASSERT_EQ(paths.size(), 500u);
    EXPECT_EQ(paths.front(), "Z:\\tmp\\many\\song0.ogg");
    EXPECT_EQ(paths.back(), "Z:\\tmp\\many\\song499.ogg");
}

class SongEntries : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("zephyl_songlist_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string Write(const std::string& name, const std::string& text) {
        std::string path = (folder_ / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::filesystem::path folder_;
};

TEST_F(SongEntries, PlaylistAddsOnlyItsSoundEntriesAndOtherFilesAddThemselves) {
    std::string m3u = Write("mix.m3u", "#EXTM3U\nC:\\a.ogg\nC:\\b.mp3\nC:\\c.OGG\n");
    EXPECT_EQ(SongEntriesFor(m3u), (std::vector<std::string>{"C:\\a.ogg", "C:\\c.OGG"}));
    EXPECT_EQ(SongEntriesFor("C:\\notes.txt"), std::vector<std::string>{"C:\\notes.txt"});
    EXPECT_EQ(SongEntriesFor("C:\\song.mp3"), std::vector<std::string>{"C:\\song.mp3"});
    EXPECT_TRUE(SongEntriesFor((folder_ / "missing.pls").string()).empty());
}

TEST_F(SongEntries, DamagedPlaylistsYieldWhatTheyHold) {
    std::string binary("\0\xff\xfe[playlist]\nFile1=C:\\x.ogg\n\0\0garbage\"", 40);
    EXPECT_NO_FATAL_FAILURE(SongEntriesFor(Write("bad.pls", binary)));
    EXPECT_TRUE(SongEntriesFor(Write("cut.b4s", "<entry Playstring=\"file:C:\\never closed.ogg")).size() <= 1);
    std::string huge;
    for (int i = 0; i < 100000; ++i) huge += "C:\\songs\\track" + std::to_string(i) + ".ogg\n";
    std::vector<std::string> entries = SongEntriesFor(Write("huge.m3u", huge));
    ASSERT_EQ(entries.size(), 100000u);
    EXPECT_EQ(entries.back(), "C:\\songs\\track99999.ogg");
}

// Rows as the list box holds them: text and selection.
struct Row {
    std::string text;
    bool selected;
    bool operator==(const Row& o) const { return text == o.text && selected == o.selected; }
};

std::vector<Row> Apply(std::vector<Row> rows, const std::vector<RowMove>& moves) {
    for (const RowMove& m : moves) {
        Row taken = rows[size_t(m.take)];
        rows.erase(rows.begin() + m.take);
        rows.insert(rows.begin() + m.insertAt, taken);
    }
    return rows;
}

std::vector<int> Selected(const std::vector<Row>& rows) {
    std::vector<int> s;
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].selected) s.push_back(int(i));
    return s;
}

std::vector<Row> Rows(const std::string& spec) {  // "Ab C": upper case selected
    std::vector<Row> rows;
    for (char c : spec) rows.push_back({std::string(1, char(std::toupper(c))), bool(std::isupper(c))});
    return rows;
}

TEST(SongListRules, UpAndDownMoveTheSelectedRowsOnePlaceKeepingTheSelection) {
    const struct {
        const char* before;
        bool up;
        const char* after;
    } cases[] = {
        {"aBC", true, "BCa"},   {"Abc", false, "bAc"},   {"Abc", true, "Abc"},    {"abC", false, "abC"},
        {"abc", true, "abc"},   {"abc", false, "abc"},   {"aBcD", true, "BaDc"},  {"AbCd", false, "bAdC"},
        {"ABc", false, "cAB"},  {"aBCde", true, "BCade"}, {"", true, ""},         {"A", false, "A"},
    };
    for (const auto& c : cases) {
        std::vector<Row> rows = Rows(c.before);
        int n = int(rows.size());
        std::vector<Row> moved = Apply(rows, c.up ? MoveUpPlan(n, Selected(rows)) : MoveDownPlan(n, Selected(rows)));
        EXPECT_EQ(moved, Rows(c.after)) << c.before << (c.up ? " up" : " down");
    }
}

TEST(SongListRules, RemovalCorrectsEachIndexByTheRowsAlreadyRemoved) {
    EXPECT_EQ(RemovalOrder({1, 2, 5}), (std::vector<int>{1, 1, 3}));
    EXPECT_TRUE(RemovalOrder({}).empty());
    std::vector<Row> rows = Rows("aBCdeF");
    for (int i : RemovalOrder(Selected(rows))) rows.erase(rows.begin() + i);
    EXPECT_EQ(rows, Rows("ade"));
}

}  // namespace
