// Tests of the playlist readers and writers, through real files in a scratch folder.
#include "music/Playlist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "content/ScratchFolder.h"

namespace {

class PlaylistTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.Ok()); }
    // Loads text written to a file of that name; the entries as a vector.
    std::vector<std::string> LoadText(const std::string& name, const std::string& text) {
        Playlist p;
        EXPECT_TRUE(p.Load(dir.WriteText(name, text))) << name;
        EXPECT_EQ(p.LastError(), 0);
        std::vector<std::string> out;
        for (int i = 0; i < p.Count(); ++i) out.push_back(p.Entry(i));
        return out;
    }
    std::string F(const std::string& rest) const { return dir.Folder() + rest; }
    ScratchFolder dir;
};

using Entries = std::vector<std::string>;

TEST_F(PlaylistTest, M3USkipsCommentsAndLeadingSpaces) {
    EXPECT_EQ(LoadText("list.m3u", "#EXTM3U\n#EXTINF:123,Song\n  song.ogg\n"), Entries{F("song.ogg")});
}

TEST_F(PlaylistTest, M3UWithCrLfLines) {
    EXPECT_EQ(LoadText("crlf.m3u", "#EXTM3U\r\n#EXTINF:5,A\r\na.ogg\r\n\r\nb.wav\r\n"),
              (Entries{F("a.ogg"), F("b.wav")}));
}

TEST_F(PlaylistTest, M3UPathResolution) {
    Entries got = LoadText("paths.m3u",
                           "\\\\server\\share\\a.ogg\n"
                           "http://example.com/music/b.ogg\n"
                           "/sub/a.ogg\n"
                           "\\c.ogg\n"
                           "C:\\Abs\\d.ogg\n"
                           "..\\up.ogg\n"
                           "trailing.ogg  \n"
                           "   \n"
                           "  # indented comment\n"
                           "last.ogg");
    EXPECT_EQ(got, (Entries{"\\\\server\\share\\a.ogg", "http://example.com/music/b.ogg", F("sub/a.ogg"),
                            F("c.ogg"), "C:\\Abs\\d.ogg", F("..\\up.ogg"), F("trailing.ogg  "),
                            F("last.ogg")}));
}

TEST_F(PlaylistTest, BundleSongsStayAsTheyAre) {
    EXPECT_EQ(LoadText("bundle.m3u", "?anthem.ogg\n  ?calm.wav\nx?.ogg\n"),
              (Entries{"?anthem.ogg", "?calm.wav", F("x?.ogg")}));
}

TEST_F(PlaylistTest, UnknownExtensionReadsAsM3U) {
    Playlist p;
    ASSERT_TRUE(p.Load(dir.WriteText("songs.txt", "one.ogg\ntwo.ogg\n")));
    EXPECT_EQ(p.FileType(), Playlist::TypeM3U);
    EXPECT_EQ(p.Count(), 2);
    EXPECT_EQ(p.Entry(1), F("two.ogg"));
    ASSERT_TRUE(p.Load(dir.WriteText("noext", "x.ogg\n")));
    EXPECT_EQ(p.Entry(0), F("x.ogg"));
}

TEST_F(PlaylistTest, B4SPlaystringWithFileSchemeAndEntities) {
    Entries got = LoadText("w.b4s",
                           "<?xml version=\"1.0\"?>\n<WinampXML><playlist num_entries=\"3\">\n"
                           "<entry Playstring=\"file:C:\\My Music\\R&amp;B.ogg\"><Name>x</Name></entry>\n"
                           "<entry Playstring=\"file:Rock &apos;n&apos; Roll.ogg\"/>\n"
                           "<entry PLAYSTRING=\"  FILE:  spaced.ogg\"/>\n"
                           "<entry Playstring=\"http://radio.example/live.ogg\"/>\n"
                           "<entry Playstring=\"say &quot;hi&quot;&nbsp;now.ogg\"/>\n"
                           "</playlist></WinampXML>\n");
    EXPECT_EQ(got, (Entries{"C:\\My Music\\R&amp;B.ogg", F("Rock 'n' Roll.ogg"), F("spaced.ogg"),
                            "http://radio.example/live.ogg", F("say \"hi\" now.ogg")}));
}

TEST_F(PlaylistTest, EntitiesDecodedInOrderOnlyOnce) {
    // "&apos;" is decoded before "&quot;": "&amp;quot;" keeps its ampersand entity, and a
    // "&quot;" made by nothing else stays as decoded text.
    EXPECT_EQ(LoadText("o.bpl", "Playstring=\"a&amp;quot;b&apos;&quot;&NBSP;.ogg\""),
              Entries{F("a&amp;quot;b'\"&NBSP;.ogg")});
}

TEST_F(PlaylistTest, EntityDecodingCanBeSwitchedOff) {
    Playlist p;
    p.SetDecodeEntities(false);
    ASSERT_TRUE(p.Load(dir.WriteText("raw.b4s", "Playstring=\"file:Rock &apos;n.ogg\"")));
    ASSERT_EQ(p.Count(), 1);
    EXPECT_EQ(p.Entry(0), F("Rock &apos;n.ogg"));
}

TEST_F(PlaylistTest, BPLUsesThePlaystringScanner) {
    EXPECT_EQ(LoadText("list.BPL", "<x playstring=\"a.ogg\"/><x PlayString=\"file:b.ogg\"/>"),
              (Entries{F("a.ogg"), F("b.ogg")}));
}

TEST_F(PlaylistTest, ASXTakesEveryHref) {
    Entries got = LoadText("show.asx",
                           "<ASX version=\"3.0\">\n<Entry><Ref HREF = \"  one.wma\"/></Entry>\n"
                           "<Entry><ref href=\"mms://server/two.asf\"/></Entry>\n"
                           "<MoreInfo href=\"info.html\"/>\n</ASX>\n");
    EXPECT_EQ(got, (Entries{F("one.wma"), "mms://server/two.asf", F("info.html")}));
}

TEST_F(PlaylistTest, WPLMediaSrcIsNotNormalised) {
    Entries got = LoadText("list.wpl",
                           "<?wpl version=\"1.0\"?>\n<smil><body><seq>\n"
                           "<media src=\"..\\a.wma\"/>\n<MEDIA SRC=\"b&apos;s.wma\" tid=\"{1}\"/>\n"
                           "</seq></body></smil>\n");
    EXPECT_EQ(got, (Entries{F("..\\a.wma"), F("b's.wma")}));
}

TEST_F(PlaylistTest, QuotedScannersStopAtUnterminatedValue) {
    EXPECT_EQ(LoadText("cut.asx", "<ref href=\"a.wma\"/><ref href=\"b.wma"), Entries{F("a.wma")});
    EXPECT_EQ(LoadText("cut2.asx", "<ref href=\"a.wma\"/><ref href"), Entries{F("a.wma")});
    EXPECT_EQ(LoadText("empty.asx", "<ref href=\"\"/><ref href=\"c.wma\"/>"), Entries{F("c.wma")});
}

TEST_F(PlaylistTest, PLSVersion2TakesFileLines) {
    Entries got = LoadText("v2.pls",
                           "[playlist]\nFile1=one.ogg\nTitle1=One\nLength1=-1\n"
                           "  file2=   C:\\two.ogg\nFILE3=http://host/three.ogg\nFile4\n"
                           "NumberOfEntries=3\nVersion=2\n");
    EXPECT_EQ(got, (Entries{F("one.ogg"), "C:\\two.ogg", "http://host/three.ogg"}));
}

TEST_F(PlaylistTest, PLSWithoutVersionTakesEveryLineAfterTheHeader) {
    Entries got = LoadText("old.pls", "junk.ogg\n[Playlist]\na.ogg\n\nNumberOfEntries=1\n");
    EXPECT_EQ(got, (Entries{F("a.ogg"), F("NumberOfEntries=1")}));
}

TEST_F(PlaylistTest, PLSVersionMustBeNearTheEnd) {
    // "Version=2" further than 15 characters from the end does not count.
    Entries got = LoadText("far.pls", "[playlist]\nVersion=2\nFile1=a.ogg\nNumberOfEntries=1\n");
    EXPECT_EQ(got, (Entries{F("Version=2"), F("File1=a.ogg"), F("NumberOfEntries=1")}));
}

TEST_F(PlaylistTest, PLSWithoutHeaderStartsAtTheBeginning) {
    EXPECT_EQ(LoadText("nohead.pls", "File1=a.ogg\nversion=2"), Entries{F("a.ogg")});
    EXPECT_EQ(LoadText("onlyhead.pls", "[playlist]"), Entries{});
}

TEST_F(PlaylistTest, LoadFailures) {
    Playlist p;
    EXPECT_FALSE(p.Load(static_cast<const char*>(nullptr)));
    EXPECT_EQ(p.LastError(), Playlist::ErrorNoPath);
    EXPECT_FALSE(p.Load(""));
    EXPECT_EQ(p.LastError(), Playlist::ErrorNoPath);
    EXPECT_FALSE(p.Load(dir.Path("missing.m3u")));
    EXPECT_EQ(p.LastError(), Playlist::ErrorCannotOpen);
    EXPECT_FALSE(p.Load(std::string(3000, 'x') + ".m3u"));
    EXPECT_EQ(p.LastError(), Playlist::ErrorNotAbsolute);
}

TEST_F(PlaylistTest, LoadReplacesEntriesAndEmptyFileIsSuccess) {
    Playlist p;
    ASSERT_TRUE(p.Load(dir.WriteText("a.m3u", "a.ogg\nb.ogg\n")));
    ASSERT_EQ(p.Count(), 2);
    EXPECT_EQ(p.Path(), dir.Path("a.m3u"));
    EXPECT_EQ(p.Folder(), dir.Folder());
    ASSERT_TRUE(p.Load(dir.WriteText("empty.m3u", "#EXTM3U\n")));
    EXPECT_EQ(p.Count(), 0);
    ASSERT_TRUE(p.Load(dir.WriteText("a.m3u", "a.ogg\n")));
    EXPECT_FALSE(p.Load(dir.Path("gone.m3u")));
    EXPECT_EQ(p.Count(), 0);  // a failed load also drops the old entries
}

TEST_F(PlaylistTest, ValuesOverLineEndsAreDropped) {
    EXPECT_EQ(LoadText("multi.asx", "<ref href=\"a\nb.wma\"/><ref href=\"c.wma\"/>"), Entries{F("c.wma")});
    // A lone CR is no line end (only CR LF is): the line holding it names no file.
    EXPECT_EQ(LoadText("lonecr.m3u", "a.ogg\rb.ogg\nc.ogg\n"), Entries{F("c.ogg")});
}

TEST_F(PlaylistTest, TextEndsAtNulByte) {
    EXPECT_EQ(LoadText("zero-byte.m3u", std::string("a.ogg\nb\0c.ogg\nd.ogg\n", 20)), (Entries{F("a.ogg"), F("b")}));
}

TEST_F(PlaylistTest, SaveM3UWritesTitlesAndCrLf) {
    Playlist p;
    const char* entries[] = {"C:\\x\\song one.ogg", "?anthem.ogg"};
    p.AddEntries(entries, 2);
    std::string path = dir.Path("out.m3u");
    ASSERT_TRUE(p.Save(path, Playlist::TypeM3U));
    EXPECT_EQ(ScratchFolder::ReadText(path),
              "#EXTM3U\r\n#EXTINF:-1,song one\r\nC:\\x\\song one.ogg\r\n#EXTINF:-1,?anthem\r\n?anthem.ogg\r\n");
}

TEST_F(PlaylistTest, SavePLSLayout) {
    Playlist p;
    const char* entries[] = {"C:\\a\\one.ogg", "http://h/two.wma"};
    p.AddEntries(entries, 2);
    std::string path = dir.Path("out.pls");
    ASSERT_TRUE(p.Save(path, Playlist::TypePLS));
    EXPECT_EQ(ScratchFolder::ReadText(path),
              "[playlist]\r\nPlaylistName=Telmoro playlist\r\n"
              "File1=C:\\a\\one.ogg\r\nTitle1=one\r\n"
              "File2=http://h/two.wma\r\nTitle2=two\r\n"
              "NumberOfEntries=2\r\nVersion=2");
}

TEST_F(PlaylistTest, PLSRoundTrip) {
    Playlist p;
    std::vector<std::string> entries = {"C:\\Music\\a b.ogg", "\\\\server\\share\\c.wav",
                                        "http://host/d.ogg", "E:\\x=y\\e.wma", "C:\\t\\Title1=f.asf"};
#ifdef _WIN32
    entries.push_back(dir.Path("local.ogg"));  // absolute with a drive on Windows
#endif
    p.AddEntries(entries);
    std::string path = dir.Path("round.pls");
    ASSERT_TRUE(p.Save(path, Playlist::TypePLS));
    Playlist back;
    ASSERT_TRUE(back.Load(path));
    EXPECT_EQ(back.FileType(), Playlist::TypePLS);
    ASSERT_EQ(back.Count(), int(entries.size()));
    for (int i = 0; i < back.Count(); ++i) EXPECT_EQ(back.Entry(i), entries[size_t(i)]) << i;
}

TEST_F(PlaylistTest, M3URoundTrip) {
    Playlist p;
    std::vector<std::string> entries = {"C:\\Music\\#hash.ogg", "D:\\b.wav", "?anthem.ogg"};
    p.AddEntries(entries);
    ASSERT_TRUE(p.Save(dir.Path("round.m3u"), Playlist::TypeM3U));
    Playlist back;
    ASSERT_TRUE(back.Load(dir.Path("round.m3u")));
    ASSERT_EQ(back.Count(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(back.Entry(i), entries[size_t(i)]);
}

TEST_F(PlaylistTest, SaveRefusesTypesWithoutWriter) {
    Playlist p;
    const char* e[] = {"C:\\a.ogg"};
    p.AddEntries(e, 1);
    for (int type : {0, 2, 4, 5, 6, 7, -1}) {
        std::string path = dir.Path("t" + std::to_string(type + 10) + ".b4s");
        EXPECT_FALSE(p.Save(path, type)) << type;
        EXPECT_FALSE(ScratchFolder::Exists(path)) << type;
    }
}

TEST_F(PlaylistTest, SaveReplacesTheListOnlyWhenTheNewOneIsWritten) {
    Playlist p;
    const char* first[] = {"C:\\a.ogg"};
    p.AddEntries(first, 1);
    std::string path = dir.Path("mine.m3u");
    ASSERT_TRUE(p.Save(path, Playlist::TypeM3U));

    const char* second[] = {"C:\\b.ogg"};
    p.AddEntries(second, 1);
    ASSERT_TRUE(p.Save(path, Playlist::TypeM3U));
    EXPECT_NE(ScratchFolder::ReadText(path).find("b.ogg"), std::string::npos);
    EXPECT_FALSE(ScratchFolder::Exists(path + ".new"));

    // When the new list cannot be written, the one on disk stays as it was.
    std::filesystem::create_directory(path + ".new");
    Playlist other;
    const char* third[] = {"C:\\c.ogg"};
    other.AddEntries(third, 1);
    EXPECT_FALSE(other.Save(path, Playlist::TypeM3U));
    EXPECT_NE(ScratchFolder::ReadText(path).find("b.ogg"), std::string::npos);
    EXPECT_EQ(ScratchFolder::ReadText(path).find("c.ogg"), std::string::npos);
}

TEST_F(PlaylistTest, SaveFailures) {
    Playlist empty;
    EXPECT_FALSE(empty.Save(dir.Path("none.m3u"), Playlist::TypeM3U));
    EXPECT_FALSE(ScratchFolder::Exists(dir.Path("none.m3u")));
    Playlist p;
    const char* e[] = {"C:\\a.ogg"};
    p.AddEntries(e, 1);
    EXPECT_FALSE(p.Save(static_cast<const char*>(nullptr), 1));
    EXPECT_FALSE(p.Save("", 1));
    EXPECT_FALSE(p.Save(dir.Path("no-folder/x.m3u"), 1));
    EXPECT_FALSE(p.Save(dir.Folder() + std::string(300, 'n') + ".m3u", 1));  // beyond 260
}

TEST_F(PlaylistTest, SaveRelativePathGoesToCurrentFolder) {
    Playlist p;
    const char* e[] = {"C:\\a.ogg"};
    p.AddEntries(e, 1);
    std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(dir.Folder());
    bool saved = p.Save("rel.m3u", 1);
    std::filesystem::current_path(old);
    EXPECT_TRUE(saved);
    EXPECT_TRUE(ScratchFolder::Exists(dir.Path("rel.m3u")));
}

TEST(PlaylistTitle, FileNameWithoutFolderAndExtension) {
    EXPECT_EQ(Playlist::Title("C:\\x\\song one.ogg"), "song one");
    EXPECT_EQ(Playlist::Title("?anthem.ogg"), "?anthem");
    EXPECT_EQ(Playlist::Title("http://h/a/b.c.wma"), "b.c");
    EXPECT_EQ(Playlist::Title("noext"), "noext");
    EXPECT_EQ(Playlist::Title("C:\\dir.v2\\plain"), "plain");
}

TEST(PlaylistType, ByExtension) {
    EXPECT_EQ(Playlist::TypeOfPath("a.M3U"), 1);
    EXPECT_EQ(Playlist::TypeOfPath("a.b4s"), 2);
    EXPECT_EQ(Playlist::TypeOfPath("a.Pls"), 3);
    EXPECT_EQ(Playlist::TypeOfPath("a.ASX"), 4);
    EXPECT_EQ(Playlist::TypeOfPath("a.wpl"), 5);
    EXPECT_EQ(Playlist::TypeOfPath("a.bpl"), 6);
    EXPECT_EQ(Playlist::TypeOfPath("a.txt"), 1);
    EXPECT_EQ(Playlist::TypeOfPath("a.pls.bak"), 1);
    EXPECT_EQ(Playlist::TypeOfPath("nodot"), 1);
}

TEST(PlaylistEntries, AddEntriesAppendsInOrder) {
    Playlist p;
    const char* a[] = {"one", "two"};
    p.AddEntries(a, 2);
    const char* b[] = {"three", nullptr, "four"};
    p.AddEntries(b, 3);
    p.AddEntries(nullptr, 5);
    p.AddEntries(a, 0);
    p.AddEntries(a, -1);
    ASSERT_EQ(p.Count(), 4);
    EXPECT_EQ(p.Entry(0), "one");
    EXPECT_EQ(p.Entry(2), "three");
    EXPECT_EQ(p.Entry(3), "four");
    EXPECT_EQ(p.Entry(4), "");
    EXPECT_EQ(p.Entry(-1), "");
    p.Clear();
    EXPECT_EQ(p.Count(), 0);
}

TEST(PlaylistShuffle, GeneratorMatchesTheMicrosoftRuntime) {
    MsvcRand r(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int v : expected) EXPECT_EQ(r.Next(), v);
    r.Seed(1);
    EXPECT_EQ(r.Next(), 41);
}

TEST(PlaylistShuffle, OnePassOfThreeEntries) {
    // seed 1: rand() gives 41, 18467, 6334 → j = 2, 2, 1.
    Playlist p;
    const char* e[] = {"a", "b", "c"};
    p.AddEntries(e, 3);
    p.Shuffle(1, 1);
    EXPECT_EQ(p.Entry(0), "c");
    EXPECT_EQ(p.Entry(1), "b");
    EXPECT_EQ(p.Entry(2), "a");
}

TEST(PlaylistShuffle, SameSeedSameOrderAndAPermutation) {
    std::vector<std::string> names;
    for (int i = 0; i < 20; ++i) names.push_back("song" + std::to_string(i) + ".ogg");
    Playlist a, b, c;
    a.AddEntries(names);
    b.AddEntries(names);
    c.AddEntries(names);
    a.Shuffle(1234567, 50);
    b.Shuffle(1234567, 50);
    c.Shuffle(7654321, 50);
    std::vector<std::string> va, vb, vc;
    for (int i = 0; i < 20; ++i) {
        va.push_back(a.Entry(i));
        vb.push_back(b.Entry(i));
        vc.push_back(c.Entry(i));
    }
    EXPECT_EQ(va, vb);
    EXPECT_NE(va, vc);
    EXPECT_NE(va, names);
    std::sort(va.begin(), va.end());
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(va, sorted);
}

TEST(PlaylistShuffle, EmptyListAndZeroPasses) {
    Playlist empty;
    empty.Shuffle(5, 50);
    EXPECT_EQ(empty.Count(), 0);
    Playlist p;
    const char* e[] = {"a", "b"};
    p.AddEntries(e, 2);
    p.Shuffle(5, 0);
    EXPECT_EQ(p.Entry(0), "a");
}

}  // namespace
