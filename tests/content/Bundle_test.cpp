// Tests of the bundle reader: files are laid out byte by byte here (not with the writer),
// so that the reader is checked against the file format itself.
#include "content/Bundle.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "content/ScratchFolder.h"

namespace {

// Raw bundle bytes: payload first, then the directory items in the order they are added.
class RawBundle {
public:
    explicit RawBundle(std::vector<uint8_t> prefix = {}) : m_bytes(std::move(prefix)) {}
    // Adds a blob to the payload and returns its absolute offset.
    uint32_t Blob(const std::vector<uint8_t>& data) {
        uint32_t at = uint32_t(m_bytes.size());
        m_bytes.insert(m_bytes.end(), data.begin(), data.end());
        return at;
    }
    RawBundle& Category(const std::string& name) {
        m_dir.push_back('?');
        Name(name);
        return *this;
    }
    RawBundle& Entry(const std::string& name, uint32_t offset, uint32_t size) {
        Name(name);
        U32(m_dir, offset);
        U32(m_dir, size);
        return *this;
    }
    RawBundle& RawDir(const std::vector<uint8_t>& bytes) {
        m_dir.insert(m_dir.end(), bytes.begin(), bytes.end());
        return *this;
    }
    uint32_t DirectoryOffset() const { return uint32_t(m_bytes.size()); }
    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> out = m_bytes;
        out.insert(out.end(), m_dir.begin(), m_dir.end());
        U32(out, uint32_t(m_bytes.size()));
        return out;
    }

private:
    static void U32(std::vector<uint8_t>& out, uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
    }
    void Name(const std::string& s) {
        m_dir.insert(m_dir.end(), s.begin(), s.end());
        m_dir.push_back(0);
    }
    std::vector<uint8_t> m_bytes;
    std::vector<uint8_t> m_dir;
};

std::vector<uint8_t> Text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::string AsText(const uint8_t* p, size_t n) {
    return p ? std::string(reinterpret_cast<const char*>(p), n) : std::string("<null>");
}

// A JPEG-shaped blob of the given size: starts FF D8 FF E0 and ends FF D9.
std::vector<uint8_t> JpegLike(size_t size) {
    std::vector<uint8_t> b(size);
    for (size_t i = 0; i < size; ++i) b[i] = uint8_t(i * 7 + 3);
    b[0] = 0xFF; b[1] = 0xD8; b[2] = 0xFF; b[3] = 0xE0;
    b[size - 2] = 0xFF; b[size - 1] = 0xD9;
    return b;
}

class BundleTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.Ok()); }
    ScratchFolder dir;
};

TEST_F(BundleTest, ProgramFileWithAppendedBundle) {
    std::vector<uint8_t> image(4096, 0x90);
    image[0] = 'M'; image[1] = 'Z';
    RawBundle raw(image);
    std::vector<uint8_t> skin = JpegLike(18645);
    uint32_t at = raw.Blob(skin);
    raw.Category("skin").Entry("menuskin.jpg", at, uint32_t(skin.size()));
    std::string path = dir.Write("ZephylSaver.scr", raw.Bytes());

    Bundle b;
    ASSERT_TRUE(b.Open(path));
    EXPECT_EQ(b.DirectoryOffset(), int32_t(4096 + 18645));
    ASSERT_EQ(b.CategoryCount(), 1u);
    EXPECT_EQ(b.Category(0)->Name(), "skin");
    EXPECT_EQ(b.EntryCount(), 1u);
    EXPECT_EQ(b.Category(0)->Entry(0)->Offset(), 4096u);  // first byte after the image
    EXPECT_EQ(b.EntrySize("menuskin.jpg"), 18645u);
    const uint8_t* data = b.EntryData("menuskin.jpg");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data[0], 0xFF);
    EXPECT_EQ(data[1], 0xD8);
    EXPECT_EQ(data[18643], 0xFF);
    EXPECT_EQ(data[18644], 0xD9);
    EXPECT_EQ(0, memcmp(data, skin.data(), skin.size()));
}

TEST_F(BundleTest, DirectoryBytesOfTheWorkedExample) {
    RawBundle raw;
    uint32_t at = raw.Blob(JpegLike(100));
    raw.Category("skin").Entry("menuskin.jpg", at, 100);
    std::vector<uint8_t> bytes = raw.Bytes();
    const uint8_t head[] = {0x3F, 0x73, 0x6B, 0x69, 0x6E, 0x00};
    ASSERT_EQ(0, memcmp(bytes.data() + 100, head, sizeof head));
    Bundle b;
    ASSERT_TRUE(b.Open(dir.Write("p.bdl", bytes)));
    EXPECT_NE(b.FindCategory("skin"), nullptr);
}

TEST_F(BundleTest, CategoryNamesIgnoreAsciiCaseButNotLength) {
    RawBundle raw;
    uint32_t at = raw.Blob(Text("pic"));
    raw.Category("image").Entry("a.jpg", at, 3).Category("dims").Entry("a.jpg", at, 3);
    Bundle b;
    ASSERT_TRUE(b.Open(dir.Write("i.bdl", raw.Bytes())));
    ASSERT_NE(b.FindCategory("IMAGE"), nullptr);
    EXPECT_EQ(b.FindCategory("IMAGE")->Name(), "image");
    EXPECT_EQ(b.FindCategory("Image"), b.FindCategory("image"));
    EXPECT_EQ(b.FindCategory("imag"), nullptr);
    EXPECT_EQ(b.FindCategory("images"), nullptr);
    EXPECT_EQ(b.FindCategory(""), nullptr);
    EXPECT_EQ(b.FindCategory(nullptr), nullptr);
    EXPECT_NE(b.FindCategory("DIMS")->FindEntry("A.JPG"), nullptr);
}

TEST_F(BundleTest, NonLettersAreComparedExactly) {
    EXPECT_TRUE(BundleNameMatches("song_1.ogg", "SONG_1.OGG"));
    // '@' (0x40) and '`' (0x60) differ by the case bit but are not letters.
    EXPECT_FALSE(BundleNameMatches("a@", "a`"));
    EXPECT_FALSE(BundleNameMatches("[x]", "{x}"));
    const std::string high = "\xC4pfel";
    EXPECT_FALSE(BundleNameMatches(high, "\xE4pfel"));
    EXPECT_TRUE(BundleNameMatches(high, "\xC4PFEL"));
    EXPECT_FALSE(BundleNameMatches("", ""));
}

TEST_F(BundleTest, NameInTwoCategoriesFirstCategoryWins) {
    RawBundle raw;
    uint32_t first = raw.Blob(Text("from-first"));
    uint32_t second = raw.Blob(Text("second!"));
    raw.Category("alpha").Entry("other", second, 7).Entry("shared.txt", first, 10);
    raw.Category("beta").Entry("SHARED.TXT", second, 7);
    Bundle b;
    ASSERT_TRUE(b.Open(dir.Write("two.bdl", raw.Bytes())));
    EXPECT_EQ(b.EntrySize("shared.txt"), 10u);
    EXPECT_EQ(AsText(b.EntryData("shared.txt"), 10), "from-first");
    EXPECT_EQ(AsText(b.EntryData("beta", "shared.txt"), 7), "second!");
    EXPECT_EQ(b.EntryCount(), 3u);
}

TEST_F(BundleTest, DirectoryNotStartingWithCategoryFails) {
    RawBundle raw;
    uint32_t at = raw.Blob(Text("x"));
    raw.Entry("orphan", at, 1).Category("late");
    Bundle b;
    EXPECT_FALSE(b.Open(dir.Write("orphan.bdl", raw.Bytes())));
    EXPECT_EQ(b.CategoryCount(), 0u);
    EXPECT_EQ(b.EntryCount(), 0u);
}

TEST_F(BundleTest, EmptyDirectoryFails) {
    RawBundle raw;
    raw.Blob(Text("payload only"));
    Bundle b;
    EXPECT_FALSE(b.Open(dir.Write("empty.bdl", raw.Bytes())));
    EXPECT_EQ(b.CategoryCount(), 0u);
}

TEST_F(BundleTest, FileShorterThanTrailerFails) {
    Bundle b;
    EXPECT_FALSE(b.Open(dir.Write("short.bdl", {0x3F, 0x00, 0x00})));
    EXPECT_EQ(b.DirectoryOffset(), -1);
    EXPECT_FALSE(b.Open(dir.Write("zero.bdl", {})));
    EXPECT_EQ(b.DirectoryOffset(), -1);
    EXPECT_EQ(b.EntryCount(), 0u);
}

TEST_F(BundleTest, MissingFileAndNullPathFail) {
    Bundle b;
    EXPECT_FALSE(b.Open(dir.Path("no-such.bdl")));
    EXPECT_EQ(b.Path(), dir.Path("no-such.bdl"));  // a failed Open keeps the path
    EXPECT_FALSE(b.Open(nullptr));
    EXPECT_EQ(b.DirectoryOffset(), -1);
}

TEST_F(BundleTest, DirectoryOffsetOutsideTheFileFails) {
    for (uint32_t bad : {0xFFFFFFFFu, 0x80000000u, 1000u, 14u, 13u}) {
        std::vector<uint8_t> bytes = Text(std::string("?c\0n\0\0\0\0\0\0\0\0\0", 13));
        bytes.push_back(uint8_t(bad));
        bytes.push_back(uint8_t(bad >> 8));
        bytes.push_back(uint8_t(bad >> 16));
        bytes.push_back(uint8_t(bad >> 24));
        Bundle b;
        EXPECT_FALSE(b.Open(dir.Write("off.bdl", bytes))) << bad;
        EXPECT_EQ(b.CategoryCount(), 0u);
    }
}

TEST_F(BundleTest, EntryBeyondEndOfFileIsUnreadableOthersStayReadable) {
    RawBundle raw;
    uint32_t good = raw.Blob(Text("good"));
    raw.Category("music")
        .Entry("far.ogg", 1u << 30, 16)
        .Entry("good.ogg", good, 4)
        .Entry("long.ogg", good, 4000)
        .Entry("huge.ogg", good, 0xFFFFFFFFu);
    Bundle b;
    ASSERT_TRUE(b.Open(dir.Write("far.bdl", raw.Bytes())));
    EXPECT_EQ(b.EntryData("far.ogg"), nullptr);
    EXPECT_EQ(b.CachedData("far.ogg"), nullptr);
    EXPECT_EQ(b.EntryData("long.ogg"), nullptr);
    EXPECT_EQ(b.EntryData("huge.ogg"), nullptr);
    EXPECT_EQ(b.FindCategory("music")->FindEntry("huge.ogg")->Data(), nullptr);
    EXPECT_EQ(AsText(b.EntryData("good.ogg"), 4), "good");
    EXPECT_FALSE(b.FindCategory("music")->ReadAll());
}

TEST_F(BundleTest, BlobIsCachedUntilFreed) {
    RawBundle raw;
    uint32_t at = raw.Blob(Text("first version"));
    raw.Category("quotes").Entry("q1", at, 13);
    std::vector<uint8_t> bytes = raw.Bytes();
    std::string path = dir.Write("cache.bdl", bytes);

    Bundle b;
    ASSERT_TRUE(b.Open(path));
    EXPECT_EQ(b.CachedData("q1"), nullptr);
    const uint8_t* p1 = b.EntryData("q1");
    ASSERT_NE(p1, nullptr);
    EXPECT_EQ(b.CachedData("q1"), p1);

    // Change the file on disk: a cached blob must not touch it.
    std::vector<uint8_t> changed = bytes;
    memcpy(changed.data(), "SECOND VERSIO", 13);
    dir.Write("cache.bdl", changed);
    EXPECT_EQ(b.EntryData("q1"), p1);
    EXPECT_EQ(AsText(b.EntryData("q1"), 13), "first version");

    b.FreeData();
    EXPECT_EQ(b.CachedData("q1"), nullptr);
    EXPECT_EQ(AsText(b.EntryData("q1"), 13), "SECOND VERSIO");
    EXPECT_EQ(b.EntryCount(), 1u);  // the directory stays
}

TEST_F(BundleTest, BlobIsCachedEvenWhenTheFileIsGone) {
    RawBundle raw;
    uint32_t at = raw.Blob(Text("kept"));
    raw.Category("c").Entry("e", at, 4);
    std::string path = dir.Write("gone.bdl", raw.Bytes());
    Bundle b;
    ASSERT_TRUE(b.Open(path));
    const uint8_t* p = b.EntryData("e");
    ASSERT_NE(p, nullptr);
    std::remove(path.c_str());
    EXPECT_EQ(b.EntryData("c", "e"), p);
    b.FindCategory("c")->FreeData();
    EXPECT_EQ(b.EntryData("e"), nullptr);  // now it has to read, and cannot
}

TEST_F(BundleTest, ReopenDropsOldDirectoryAndBlobs) {
    RawBundle one;
    uint32_t at = one.Blob(Text("one"));
    one.Category("old").Entry("a", at, 3);
    RawBundle two;
    uint32_t at2 = two.Blob(Text("two!"));
    two.Category("new").Entry("b", at2, 4).Entry("c", at2, 2);

    Bundle b;
    ASSERT_TRUE(b.Open(dir.Write("one.bdl", one.Bytes())));
    ASSERT_NE(b.EntryData("a"), nullptr);
    ASSERT_TRUE(b.Open(dir.Write("two.bdl", two.Bytes())));
    EXPECT_EQ(b.FindCategory("old"), nullptr);
    EXPECT_EQ(b.CachedData("a"), nullptr);
    EXPECT_EQ(b.EntrySize("a"), 0u);
    EXPECT_EQ(b.CategoryCount(), 1u);
    EXPECT_EQ(b.EntryCount(), 2u);
    EXPECT_EQ(b.Path(), dir.Path("two.bdl"));
    EXPECT_EQ(AsText(b.EntryData("b"), 4), "two!");

    // A failed re-open leaves nothing of the old bundle either.
    EXPECT_FALSE(b.Open(dir.Path("missing.bdl")));
    EXPECT_EQ(b.CategoryCount(), 0u);
    EXPECT_EQ(b.EntryCount(), 0u);
}

TEST_F(BundleTest, ReopenAfterBundleOfEmptyCategories) {
    RawBundle empty;
    empty.Category("nothing").Category("here");
    RawBundle full;
    uint32_t at = full.Blob(Text("x"));
    full.Category("c").Entry("x", at, 1);
    Bundle b;
    ASSERT_TRUE(b.Open(dir.Write("e.bdl", empty.Bytes())));
    EXPECT_EQ(b.EntryCount(), 0u);
    EXPECT_EQ(b.CategoryCount(), 2u);
    EXPECT_TRUE(b.FindCategory("here")->ReadAll());  // an empty category reads fine
    ASSERT_TRUE(b.Open(dir.Write("f.bdl", full.Bytes())));
    EXPECT_EQ(b.CategoryCount(), 1u);
    EXPECT_EQ(b.FindCategory("nothing"), nullptr);
}

TEST_F(BundleTest, CutShortRecordsFailOpen) {
    const std::vector<std::vector<uint8_t>> dirs = {
        {'?', 'c', 'a', 't'},                              // category name without NUL
        {'?', 'c', 0, 'n', 'a', 'm', 'e'},                 // entry name without NUL
        {'?', 'c', 0, 'n', 0, 1, 2, 3, 4, 5, 6, 7},        // 7 of 8 number bytes
        {'?', 'c', 0, 'n', 0},                             // no numbers at all
        {'?', 'c', 0, 'n', 0, 0, 0, 0, 0, 1, 0, 0, 0, '?'}, // header without NUL at the end
    };
    for (size_t i = 0; i < dirs.size(); ++i) {
        RawBundle raw;
        raw.Blob(Text("payload"));
        raw.RawDir(dirs[i]);
        Bundle b;
        EXPECT_FALSE(b.Open(dir.Write("cut.bdl", raw.Bytes()))) << "case " << i;
        EXPECT_EQ(b.CategoryCount(), 0u) << "case " << i;
        EXPECT_EQ(b.EntryCount(), 0u) << "case " << i;
        EXPECT_EQ(b.Path(), dir.Path("cut.bdl"));
    }
}

TEST_F(BundleTest, EmptyNamesAreKeptButNeverMatch) {
    RawBundle raw;
    uint32_t at = raw.Blob(Text("abc"));
    raw.RawDir({'?', 0}).Entry("", at, 3).Category("c").Entry("x", at, 3);
    Bundle b;
    ASSERT_TRUE(b.Open(dir.Write("empty-names.bdl", raw.Bytes())));
    EXPECT_EQ(b.CategoryCount(), 2u);
    EXPECT_EQ(b.EntryCount(), 2u);
    EXPECT_EQ(b.FindCategory(""), nullptr);
    EXPECT_EQ(b.EntryData(""), nullptr);
    EXPECT_EQ(AsText(b.EntryData("x"), 3), "abc");
}

TEST_F(BundleTest, ReadAllReadsEveryEntryInOrder) {
    RawBundle raw;
    uint32_t a = raw.Blob(Text("AAA"));
    uint32_t c = raw.Blob(Text("CC"));
    raw.Category("dims").Entry("a", a, 3).Entry("empty", a, 0).Entry("c", c, 2);
    Bundle b;
    ASSERT_TRUE(b.Open(dir.Write("all.bdl", raw.Bytes())));
    BundleCategory* cat = b.FindCategory("dims");
    ASSERT_NE(cat, nullptr);
    ASSERT_EQ(cat->EntryCount(), 3u);
    EXPECT_EQ(cat->Entry(0)->Name(), "a");
    EXPECT_EQ(cat->Entry(1)->Name(), "empty");
    EXPECT_EQ(cat->Entry(2)->Name(), "c");
    EXPECT_EQ(cat->Entry(3), nullptr);
    EXPECT_TRUE(cat->ReadAll());
    for (size_t i = 0; i < cat->EntryCount(); ++i) EXPECT_NE(cat->Entry(i)->Data(), nullptr) << i;
    EXPECT_EQ(AsText(cat->Entry(2)->Data(), 2), "CC");
    EXPECT_EQ(b.EntrySize("empty"), 0u);
    EXPECT_NE(b.EntryData("empty"), nullptr);  // an empty blob still counts as read
}

TEST_F(BundleTest, ReadAllStopsAtFirstUnreadableEntry) {
    RawBundle raw;
    uint32_t a = raw.Blob(Text("AAA"));
    raw.Category("image").Entry("a", a, 3).Entry("bad", 99999, 3).Entry("after", a, 3);
    Bundle b;
    ASSERT_TRUE(b.Open(dir.Write("stop.bdl", raw.Bytes())));
    BundleCategory* cat = b.FindCategory("image");
    EXPECT_FALSE(cat->ReadAll());
    EXPECT_NE(cat->Entry(0)->Data(), nullptr);
    EXPECT_EQ(cat->Entry(1)->Data(), nullptr);
    EXPECT_EQ(cat->Entry(2)->Data(), nullptr);  // not reached
    EXPECT_EQ(cat->ReadEntry("missing"), nullptr);
    EXPECT_EQ(cat->ReadEntry(static_cast<BundleEntry*>(nullptr)), nullptr);
}

TEST_F(BundleTest, CloseReturnsToClosedState) {
    RawBundle raw;
    uint32_t a = raw.Blob(Text("AAA"));
    raw.Category("c").Entry("a", a, 3);
    Bundle b;
    ASSERT_TRUE(b.Open(dir.Write("close.bdl", raw.Bytes())));
    ASSERT_NE(b.EntryData("a"), nullptr);
    b.Close();
    EXPECT_EQ(b.DirectoryOffset(), -1);
    EXPECT_EQ(b.EntryCount(), 0u);
    EXPECT_EQ(b.CategoryCount(), 0u);
    EXPECT_EQ(b.Path(), "");
    EXPECT_EQ(b.EntryData("a"), nullptr);
    b.Close();  // harmless twice
}

TEST_F(BundleTest, LookupsOnClosedBundleReturnNothing) {
    Bundle b;
    EXPECT_EQ(b.FindCategory("music"), nullptr);
    EXPECT_EQ(b.EntryData("x"), nullptr);
    EXPECT_EQ(b.EntryData("music", "x"), nullptr);
    EXPECT_EQ(b.CachedData("x"), nullptr);
    EXPECT_EQ(b.EntrySize("x"), 0u);
    b.FreeData();
}

}  // namespace
