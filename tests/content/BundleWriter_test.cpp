// Tests of the bundle writer: exact bytes, refused names, and that the reader reads back
// what it wrote.
#include "content/BundleWriter.h"

#include <gtest/gtest.h>

#include <cstring>

#include "content/Bundle.h"
#include "content/ScratchFolder.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(BundleWriter, WritesPayloadDirectoryAndTrailer) {
    BundleWriter w;
    ASSERT_TRUE(w.BeginCategory("music"));
    ASSERT_TRUE(w.AddEntry("a.ogg", Bytes("AB")));
    ASSERT_TRUE(w.AddEntry("b", Bytes("CDE")));
    std::vector<uint8_t> out = w.Finish();
    const uint8_t expected[] = {
        'A', 'B', 'C', 'D', 'E',
        '?', 'm', 'u', 's', 'i', 'c', 0,
        'a', '.', 'o', 'g', 'g', 0, 0, 0, 0, 0, 2, 0, 0, 0,
        'b', 0, 2, 0, 0, 0, 3, 0, 0, 0,
        5, 0, 0, 0};
    ASSERT_EQ(out.size(), sizeof expected);
    EXPECT_EQ(0, memcmp(out.data(), expected, sizeof expected));
}

TEST(BundleWriter, BaseOffsetMakesOffsetsAbsolute) {
    BundleWriter w(0x12345);
    ASSERT_TRUE(w.BeginCategory("skin"));
    ASSERT_TRUE(w.AddEntry("menuskin.jpg", Bytes("JPEG")));
    std::vector<uint8_t> out = w.Finish();
    // entry offset right after "?skin\0menuskin.jpg\0"
    size_t at = 4 + 6 + 13;
    EXPECT_EQ(out[at] | (out[at + 1] << 8) | (out[at + 2] << 16), 0x12345);
    size_t t = out.size() - 4;
    EXPECT_EQ(out[t] | (out[t + 1] << 8) | (out[t + 2] << 16) | (out[t + 3] << 24), 0x12345 + 4);
}

TEST(BundleWriter, RefusesWhatTheReaderCouldNotRead) {
    BundleWriter w;
    EXPECT_FALSE(w.AddEntry("early", Bytes("x")));  // before any category
    EXPECT_TRUE(w.Finish().empty());
    EXPECT_FALSE(w.BeginCategory(""));
    EXPECT_FALSE(w.BeginCategory(std::string("a\0b", 3)));
    ASSERT_TRUE(w.BeginCategory("c"));
    EXPECT_FALSE(w.AddEntry("", Bytes("x")));
    EXPECT_FALSE(w.AddEntry("?question", Bytes("x")));
    EXPECT_FALSE(w.AddEntry(std::string("n\0m", 3), Bytes("x")));
    EXPECT_FALSE(w.AddEntry("null", nullptr, 5));
    EXPECT_TRUE(w.AddEntry("empty", nullptr, 0));
    EXPECT_EQ(w.EntryCount(), 1u);
    EXPECT_EQ(w.CategoryCount(), 1u);
}

TEST(BundleWriter, RefusesBundlesBeyondTwoGigabytes) {
    BundleWriter w(0x7FFFFFF0u);
    ASSERT_TRUE(w.BeginCategory("c"));
    EXPECT_FALSE(w.AddEntry("big", Bytes("0123456789abcdef")));
    EXPECT_EQ(w.EntryCount(), 0u);
}

TEST(BundleWriter, ReaderReadsBackEveryEntry) {
    ScratchFolder dir;
    ASSERT_TRUE(dir.Ok());
    BundleWriter w;
    ASSERT_TRUE(w.BeginCategory("image"));
    ASSERT_TRUE(w.AddEntry("one.jpg", Bytes("first blob")));
    ASSERT_TRUE(w.AddEntry("two.jpg", Bytes("")));
    ASSERT_TRUE(w.BeginCategory("dims"));
    ASSERT_TRUE(w.AddEntry("one.jpg", Bytes("dims of one")));
    std::string path = dir.Path("rt.bdl");
    ASSERT_TRUE(WriteWholeFile(path, w.Finish()));

    Bundle b;
    ASSERT_TRUE(b.Open(path));
    EXPECT_EQ(b.EntryCount(), 3u);
    ASSERT_EQ(b.CategoryCount(), 2u);
    EXPECT_EQ(b.Category(0)->Name(), "image");
    EXPECT_EQ(b.Category(1)->Name(), "dims");
    const uint8_t* p = b.EntryData("dims", "one.jpg");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), b.FindCategory("dims")->FindEntry("one.jpg")->Size()),
              "dims of one");
    EXPECT_EQ(b.EntrySize("one.jpg"), 10u);
    EXPECT_TRUE(b.FindCategory("image")->ReadAll());
}

TEST(BundleWriter, WholeFileHelpers) {
    ScratchFolder dir;
    ASSERT_TRUE(dir.Ok());
    std::vector<uint8_t> data(200000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 31);
    std::string path = dir.Path("big.bin");
    ASSERT_TRUE(WriteWholeFile(path, data));
    std::vector<uint8_t> back;
    ASSERT_TRUE(ReadWholeFile(path, back));
    EXPECT_EQ(back, data);
    EXPECT_FALSE(ReadWholeFile(dir.Path("missing"), back));
    EXPECT_TRUE(back.empty());
    EXPECT_FALSE(WriteWholeFile(dir.Path("no/such/folder/x"), data));
}

}  // namespace
