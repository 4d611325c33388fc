// The bundle of a program file found in front of its certificate table: PE headers built
// byte by byte (PE32 and PE32+), unsigned, signed, padded, damaged and cut short.
#include "content/PeCertificate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/Bundle.h"
#include "content/BundleWriter.h"
#include "content/ScratchFolder.h"

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

const uint32_t kPeAt = 0x80;
const size_t kOptionalAt = kPeAt + 4 + 20;

// A program image of `imageSize` bytes with DOS and PE headers (no certificate yet).
std::vector<uint8_t> Image(bool pe32Plus, size_t imageSize = 1024) {
    std::vector<uint8_t> b(imageSize, 0xCC);
    std::fill(b.begin(), b.begin() + 0x200, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3C, kPeAt);
    b[kPeAt] = 'P';
    b[kPeAt + 1] = 'E';
    Put16(b, kPeAt + 4 + 16, pe32Plus ? 240 : 224);  // SizeOfOptionalHeader
    Put16(b, kOptionalAt, pe32Plus ? 0x20B : 0x10B);
    Put32(b, kOptionalAt + (pe32Plus ? 108 : 92), 16);  // NumberOfRvaAndSizes
    return b;
}
size_t SecurityEntryAt(const std::vector<uint8_t>& b) {
    return kOptionalAt + (b[kOptionalAt + 1] == 2 ? 112 : 96) + 4 * 8;
}

// Appends a bundle (category "skin", one entry) at the end of `file`; returns the blob.
std::vector<uint8_t> AppendBundle(std::vector<uint8_t>& file) {
    std::vector<uint8_t> skin = {0xFF, 0xD8, 'p', 'i', 'c', 0xFF, 0xD9};
    BundleWriter w(uint32_t(file.size()));
    w.BeginCategory("skin");
    w.AddEntry("menuskin.jpg", skin);
    std::vector<uint8_t> bundle = w.Finish();
    file.insert(file.end(), bundle.begin(), bundle.end());
    return skin;
}

// Signs as the signing tools do: zero padding to 8 bytes, the table at the end, and the
// security entry pointing at it.
void Sign(std::vector<uint8_t>& file, size_t tableSize = 1200) {
    while (file.size() % 8) file.push_back(0);
    uint32_t at = uint32_t(file.size());
    std::vector<uint8_t> table(tableSize, 0x30);
    Put32(table, 0, uint32_t(tableSize));
    file.insert(file.end(), table.begin(), table.end());
    Put32(file, SecurityEntryAt(file), at);
    Put32(file, SecurityEntryAt(file) + 4, uint32_t(tableSize));
}

uint64_t End(const std::vector<uint8_t>& f) {
    uint32_t peAt = 0;
    const uint8_t* pe = nullptr;
    size_t peCount = 0;
    if (PeHeaderOffset(f.data(), f.size(), f.size(), &peAt) && peAt < f.size()) {
        pe = f.data() + peAt;
        peCount = std::min(kPeHeaderBytes, f.size() - peAt);
    }
    return AppendedDataEnd(f.data(), f.size(), pe, peCount, f.size());
}

TEST(PeCertificate, BundleIsFoundBeforeTheCertificateTable) {
    struct Case {
        const char* what;
        bool pe32Plus;
        size_t imageSize;
        bool signedFile;
        bool bytesAfterTable;
        size_t padding;  // zero bytes between the bundle and the table
    } cases[] = {
        {"unsigned PE32", false, 1024, false, false, 0},
        {"signed PE32, no padding", false, 1026, true, false, 0},
        {"signed PE32, 3 bytes of padding", false, 1031, true, false, 3},
        {"signed PE32, 7 bytes of padding", false, 1027, true, false, 7},
        {"signed PE32+", true, 2048, true, false, 2},
        {"unsigned PE32+", true, 2048, false, false, 0},
        // A bundle appended after signing: the table no longer ends the file.
        {"bundle after the table", false, 1024, true, true, 0},
    };
    ScratchFolder dir;
    ASSERT_TRUE(dir.Ok());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> file = Image(c.pe32Plus, c.imageSize);
        std::vector<uint8_t> skin;
        if (c.bytesAfterTable) {
            Sign(file);
            skin = AppendBundle(file);
        } else {
            skin = AppendBundle(file);
            size_t unsignedSize = file.size();
            if (c.signedFile) {
                Sign(file);
                EXPECT_EQ(file.size() - 1200 - unsignedSize, c.padding);
            }
        }
        EXPECT_EQ(End(file) < file.size(), c.signedFile && !c.bytesAfterTable);
        Bundle b;
        ASSERT_TRUE(b.Open(dir.Write("program.scr", file)));
        EXPECT_EQ(b.Category(0)->Entry(0)->Offset(), c.bytesAfterTable ? (c.imageSize + 7) / 8 * 8 + 1200 : c.imageSize);
        const uint8_t* data = b.EntryData("menuskin.jpg");
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(std::vector<uint8_t>(data, data + b.EntrySize("menuskin.jpg")), skin);
    }
}

TEST(PeCertificate, DamagedHeadersMeanUnsigned) {
    std::vector<uint8_t> good = Image(false, 1024);
    AppendBundle(good);
    Sign(good);
    const size_t entry = SecurityEntryAt(good);
    const uint32_t tableAt = uint32_t(good.size() - 1200);
    ASSERT_EQ(End(good), tableAt);
    struct Case {
        const char* what;
        size_t at;
        int width;  // 2 or 4 bytes
        uint32_t value;
    } cases[] = {
        {"no MZ", 0, 2, 0x5A4E},
        {"e_lfanew past the end", 0x3C, 4, 0x7FFFFFF0},
        {"e_lfanew 0xFFFFFFFF", 0x3C, 4, 0xFFFFFFFF},
        {"e_lfanew 0", 0x3C, 4, 0},
        {"no PE signature", kPeAt, 2, 0x4550 + 1},
        {"unknown optional header magic", kOptionalAt, 2, 0x107},
        {"optional header too short for the entry", kPeAt + 4 + 16, 2, 100},
        {"only four data directories", kOptionalAt + 92, 4, 4},
        {"empty table", entry + 4, 4, 0},
        {"table offset 0", entry, 4, 0},
        {"table inside the headers", entry, 4, 16},
        {"table size wraps around", entry + 4, 4, 0xFFFFFFF0},
        {"table one byte short of the end", entry + 4, 4, 1199},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> f = good;
        if (c.width == 2) Put16(f, c.at, c.value); else Put32(f, c.at, c.value);
        EXPECT_EQ(End(f), f.size());
    }
}

TEST(PeCertificate, CutShortOrGarbageFilesNeverCrashTheReader) {
    std::vector<uint8_t> signedFile = Image(true, 2048);
    AppendBundle(signedFile);
    Sign(signedFile, 64);
    ScratchFolder dir;
    ASSERT_TRUE(dir.Ok());
    // Every length: headers, image, bundle and table cut anywhere.
    for (size_t n = 0; n <= signedFile.size(); ++n) {
        std::vector<uint8_t> f(signedFile.begin(), signedFile.begin() + n);
        EXPECT_LE(End(f), f.size());
        Bundle b;
        bool opened = b.Open(dir.Write("cut.scr", f));
        if (n == signedFile.size()) EXPECT_TRUE(opened);
    }
    // Seeded garbage around valid headers.
    uint32_t seed = 12345;
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> f = signedFile;
        for (int k = 0; k < 8; ++k) {
            seed = seed * 1103515245u + 12345u;
            f[(seed >> 8) % 0x200] = uint8_t(seed >> 24);
        }
        EXPECT_LE(End(f), f.size());
        Bundle b;
        b.Open(dir.Write("garbage.scr", f));
    }
    // The pieces alone, with no bytes at all.
    uint32_t offset = 0, size = 0;
    EXPECT_FALSE(PeHeaderOffset(nullptr, 0, 100, &offset));
    EXPECT_FALSE(PeSecurityDirectory(nullptr, 0, &offset, &size));
    EXPECT_FALSE(PeSecurityDirectory(signedFile.data() + kPeAt, 30, &offset, &size));
    EXPECT_EQ(AppendedDataEnd(nullptr, 0, nullptr, 0, 77), 77u);
}

}  // namespace
