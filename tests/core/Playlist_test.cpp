// Tests of the playlist readers and writers, through real files in a scratch folder.
#include "core/Playlist.h"

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

// Players indent with tabs and start files with a UTF-8 byte order mark.
TEST_F(PlaylistTest, ByteOrderMarkAndTabsAreNoPartOfEntries) {
    const std::string bom = "\xEF\xBB\xBF";
    struct Case {
        const char* name;
        std::string text;
        Entries expected;
    } cases[] = {
        {"bom.m3u", bom + "C:\\a.ogg\n#EXTM3U\n", {"C:\\a.ogg"}},
        {"bom.m3u8", bom + "#EXTM3U\n\t#EXTINF:12,A\n\t \tb.ogg\n", {F("b.ogg")}},
        {"bom.pls", bom + "C:\\c.ogg\n", {"C:\\c.ogg"}},
        {"tabs.pls", bom + "[playlist]\n\tFile1=\td.ogg\n\tNumberOfEntries=1\nVersion=2", {F("d.ogg")}},
        {"bom.b4s", bom + "<entry Playstring=\"file:\te.ogg\"/>", {F("e.ogg")}},
        {"bom.asx", bom + "<ref href=\"f.wma\"/>", {F("f.wma")}},
        {"bom.wpl", bom + "<media src=\"g.wma\"/>", {F("g.wma")}},
    };
    for (const Case& c : cases) EXPECT_EQ(LoadText(c.name, c.text), c.expected) << c.name;
    // A byte order mark elsewhere is text like any other.
    EXPECT_EQ(LoadText("inner.m3u", "a.ogg\n" + bom + "b.ogg\n"), (Entries{F("a.ogg"), F(bom + "b.ogg")}));
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
    EXPECT_EQ(got, (Entries{"C:\\My Music\\R&B.ogg", F("Rock 'n' Roll.ogg"), F("spaced.ogg"),
                            "http://radio.example/live.ogg", F("say \"hi\" now.ogg")}));
}

TEST_F(PlaylistTest, EntitiesDecodedInOrderOnlyOnce) {
    // "&amp;" is decoded last, so the entity it spells stays as text: "&amp;quot;" gives
    // "&quot;". Entity names are case-sensitive.
    EXPECT_EQ(LoadText("o.bpl", "Playstring=\"a&amp;quot;b&apos;&quot;&NBSP;.ogg\""),
              Entries{F("a&quot;b'\"&NBSP;.ogg")});
}

// What Windows Media Player and Winamp write for "&" and other characters of file names.
TEST_F(PlaylistTest, AmpersandAndNumericReferences) {
    struct Case {
        const char* value;
        std::string entry;
    } cases[] = {
        {"R&amp;B.ogg", "R&B.ogg"},
        {"&amp;apos;x.ogg", "&apos;x.ogg"},
        {"&amp;amp;.ogg", "&amp;.ogg"},
        {"it&#39;s &#x27;&#X41;&#65;.ogg", "it's 'AA.ogg"},
        {"caf&#233;.ogg", "caf\xE9.ogg"},
        {"&#38;amp;.ogg", "&.ogg"},  // the "&amp;" a reference spells is decoded after it
        {"big&#256;&#x100;&#0;&#;&#x;&#12a;.ogg", "big&#256;&#x100;&#0;&#;&#x;&#12a;.ogg"},
        {"&#65", "&#65"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LoadText("e.b4s", std::string("<entry Playstring=\"file:") + c.value + "\"/>"),
                  Entries{F(c.entry)})
            << c.value;
    }
    EXPECT_EQ(LoadText("e.asx", "<ref href=\"a&amp;b&#39;.wma\"/>"), Entries{F("a&b'.wma")});
    EXPECT_EQ(LoadText("e.wpl", "<media src=\"a&amp;b&#x27;.wma\"/>"), Entries{F("a&b'.wma")});
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

TEST_F(PlaylistTest, ASXTakesHrefOfRefAndEntryRefOnly) {
    Entries got = LoadText("show.asx",
                           "<ASX version=\"3.0\">\n<MoreInfo href=\"http://station.example/\"/>\n"
                           "<Banner HREF=\"banner.gif\"><MoreInfo href=\"x.html\"/></Banner>\n"
                           "<LogURL href=\"http://log.example/\"/>\n"
                           "<Entry><Ref HREF = \"  one.wma\"/></Entry>\n"
                           "<Entry><ref href=\"mms://server/two.asf\"/><REFERENCE href=\"no.wma\"/></Entry>\n"
                           "<ENTRYREF href=\"more.asx\"/>\n<Ref>\n</Ref><Entry><Ref\n  href=\"three.wma\"/></Entry>\n"
                           "<Ref/><MoreInfo href=\"late.html\"/>\n</ASX>\n");
    EXPECT_EQ(got, (Entries{F("one.wma"), "mms://server/two.asf", F("more.asx"), F("three.wma")}));
}

TEST_F(PlaylistTest, WPLMediaAndSrcApartByAnyWhiteSpace) {
    Entries got = LoadText("spread.wpl",
                           "<smil><body><seq>\n<media\n    src=\"a.wma\"/>\n<media\t\tsrc=\"b.wma\"/>\n"
                           "<media   src=\"c.wma\"/>\n<mediasrc=\"no.wma\"/>\n</seq></body></smil>\n");
    EXPECT_EQ(got, (Entries{F("a.wma"), F("b.wma"), F("c.wma")}));
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

TEST_F(PlaylistTest, PLSWithoutVersionTakesPathsAndFileFieldsAfterTheHeader) {
    Entries got = LoadText("old.pls", "junk.ogg\n[Playlist]\na.ogg\n\nNumberOfEntries=1\n");
    EXPECT_EQ(got, (Entries{F("a.ogg")}));
}

// Station lists: fields without "Version=2" at the end (missing, or elsewhere).
TEST_F(PlaylistTest, PLSFieldsWithoutTheVersionLine) {
    Entries got = LoadText("station.pls",
                           "[playlist]\nVersion=2\nNumberOfEntries=3\n"
                           "File1=http://stream.example:8000/live.ogg\nTitle1=(#1 - 12/500) Live\nLength1=-1\n"
                           "file2= second.ogg\ngenre2=Jazz\n; a comment\n  # another\n[playlist]\n"
                           "\tFILE3=C:\\Music\\x=y.ogg\nFileName=skip.ogg\n"
                           "C:\\Songs\\a=b.ogg\nplain path.ogg\nPlaylistName=Mix\nKey With Space=kept.ogg\n");
    EXPECT_EQ(got, (Entries{"http://stream.example:8000/live.ogg", F("second.ogg"), "C:\\Music\\x=y.ogg",
                            "C:\\Songs\\a=b.ogg", F("plain path.ogg"), F("Key With Space=kept.ogg")}));
}

TEST_F(PlaylistTest, PLSVersionMustBeNearTheEnd) {
    // "Version=2" further than 15 characters from the end does not make it version 2; its
    // fields are still read as fields.
    Entries got = LoadText("far.pls", "[playlist]\nVersion=2\nFile1=a.ogg\nNumberOfEntries=1\nb.ogg\n");
    EXPECT_EQ(got, (Entries{F("a.ogg"), F("b.ogg")}));
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

// Entries the readers would take for comments or trim (kept from other players' lists) are
// saved as the full path they open, so no song vanishes from a saved list.
TEST_F(PlaylistTest, EntriesStartingWithHashOrBlankSurviveSaving) {
    std::vector<std::string> entries = {"#1 hit: x.ogg", " C:\\lead.ogg", "\tC:\\tab.ogg", "C:\\plain.ogg"};
    for (int type : {int(Playlist::TypeM3U), int(Playlist::TypePLS)}) {
        Playlist p;
        p.AddEntries(entries);
        std::string path = dir.Path(type == Playlist::TypeM3U ? "kept.m3u" : "kept.pls");
        ASSERT_TRUE(p.Save(path, type));
        Playlist back;
        ASSERT_TRUE(back.Load(path));
        ASSERT_EQ(back.Count(), int(entries.size())) << type;
        for (int i = 0; i < 3; ++i) {
            const std::string& got = back.Entry(i);
            EXPECT_NE(got, entries[size_t(i)]);
            ASSERT_GT(got.size(), entries[size_t(i)].size());
            EXPECT_EQ(got.substr(got.size() - entries[size_t(i)].size()), entries[size_t(i)]) << type;
        }
        EXPECT_EQ(back.Entry(3), "C:\\plain.ogg");
        // Saved again, the list reads back unchanged.
        ASSERT_TRUE(back.Save(path, type));
        Playlist again;
        ASSERT_TRUE(again.Load(path));
        ASSERT_EQ(again.Count(), back.Count());
        for (int i = 0; i < back.Count(); ++i) EXPECT_EQ(again.Entry(i), back.Entry(i));
    }
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

// A list that cannot be put in place (here a folder of that name holds it) stays as it was,
// and the new list is kept beside it rather than lost.
TEST_F(PlaylistTest, FailedReplaceKeepsTheNewList) {
    std::string path = dir.Path("busy.m3u");
    std::filesystem::create_directory(path);
    dir.WriteText("busy.m3u/inside.txt", "x");
    Playlist p;
    const char* e[] = {"C:\\new.ogg"};
    p.AddEntries(e, 1);
    EXPECT_FALSE(p.Save(path, Playlist::TypeM3U));
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_NE(ScratchFolder::ReadText(path + ".new").find("C:\\new.ogg"), std::string::npos);
}

// Paths up to 259 characters are saved (the list's new copy beside it is longer).
TEST_F(PlaylistTest, SaveLongestPaths) {
    std::string folder = dir.Folder() + std::string(120, 'f');
    std::filesystem::create_directory(folder);
    folder += std::string(1, std::filesystem::path::preferred_separator);
    Playlist p;
    const char* e[] = {"C:\\long.ogg"};
    p.AddEntries(e, 1);
    for (size_t length = 256; length <= 259; ++length) {
        ASSERT_LT(folder.size() + 5, length);
        std::string path = folder + std::string(length - folder.size() - 4, 'n') + ".m3u";
        ASSERT_EQ(path.size(), length);
        ASSERT_TRUE(p.Save(path, Playlist::TypeM3U)) << length;
        Playlist back;
        ASSERT_TRUE(back.Load(path)) << length;
        EXPECT_EQ(back.Entry(0), "C:\\long.ogg");
        EXPECT_TRUE(p.Save(path, Playlist::TypeM3U)) << "replacing, " << length;
    }
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
