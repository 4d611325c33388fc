// Bundle reader: directory at Open, blobs read lazily per entry and cached until freed.
// Plain C stdio so that it builds and is tested on any platform.
#include "content/Bundle.h"

#include "content/PeCertificate.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

const uint8_t kCategoryMark = 0x3F;  // "?"

#ifdef _WIN32
// The C runtime's access hints: the directory is read with one seek, blobs front to back.
const char* const kRandomAccessMode = "rbR";
const char* const kSequentialMode = "rbS";
#else
const char* const kRandomAccessMode = "rb";
const char* const kSequentialMode = "rb";
#endif

struct FileCloser {
    void operator()(FILE* f) const { if (f) fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

uint32_t ReadU32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

}  // namespace

bool BundleNameMatches(const std::string& a, const char* b) {
    if (!b || a.empty()) return false;
    size_t n = strlen(b);
    if (n != a.size()) return false;
    for (size_t i = 0; i < n; ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

// ---- BundleCategory ----

BundleEntry* BundleCategory::FindEntry(const char* name) const {
    for (const auto& e : m_entries)
        if (BundleNameMatches(e->m_name, name)) return e.get();
    return nullptr;
}

const uint8_t* BundleCategory::ReadEntry(const char* name) {
    return ReadEntry(FindEntry(name));
}

const uint8_t* BundleCategory::ReadEntry(BundleEntry* entry) {
    if (!entry) return nullptr;
    if (entry->m_data) return entry->m_data.get();

    FilePtr file(fopen(m_path.c_str(), kSequentialMode));
    if (!file) return nullptr;
    // A directory may claim any size: refuse what the file cannot hold before allocating,
    // so that a corrupt record cannot ask for gigabytes.
    if (fseek(file.get(), 0, SEEK_END) != 0) return nullptr;
    long length = ftell(file.get());
    if (length < 0 || uint64_t(entry->m_offset) + entry->m_size > uint64_t(length)) return nullptr;
    if (fseek(file.get(), long(entry->m_offset), SEEK_SET) != 0 ||
        ftell(file.get()) != long(entry->m_offset))
        return nullptr;

    // At least one byte so that an empty blob still counts as read.
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[entry->m_size ? entry->m_size : 1]);
    if (!data) return nullptr;
    if (entry->m_size && fread(data.get(), 1, entry->m_size, file.get()) != entry->m_size)
        return nullptr;
    entry->m_data = std::move(data);
    return entry->m_data.get();
}

bool BundleCategory::ReadAll() {
    for (const auto& e : m_entries)
        if (!ReadEntry(e.get())) return false;
    return true;
}

void BundleCategory::FreeData() {
    for (const auto& e : m_entries) e->m_data.reset();
}

// ---- Bundle ----

bool Bundle::Open(const char* path) {
    // Also when the open bundle holds no entries (a directory of empty categories), so
    // that nothing of the old directory survives.
    Close();
    if (!path) return false;
    m_path = path;

    FilePtr file(fopen(path, kRandomAccessMode));
    if (!file) return false;
    if (fseek(file.get(), 0, SEEK_END) != 0) return false;
    long fileSize = ftell(file.get());
    if (fileSize < 4) return false;

    // A signed program file ends with its certificate table; its bundle ends where that
    // table begins. Any other file's bundle ends with the file.
    uint8_t dos[kDosHeaderBytes] = {}, pe[kPeHeaderBytes] = {};
    size_t dosCount = 0, peCount = 0;
    uint32_t peAt = 0;
    if (fseek(file.get(), 0, SEEK_SET) == 0) dosCount = fread(dos, 1, sizeof dos, file.get());
    if (PeHeaderOffset(dos, dosCount, uint64_t(fileSize), &peAt) && fseek(file.get(), long(peAt), SEEK_SET) == 0)
        peCount = fread(pe, 1, sizeof pe, file.get());
    const long end = long(AppendedDataEnd(dos, dosCount, pe, peCount, uint64_t(fileSize)));
    if (ReadDirectory(file.get(), end)) return true;
    if (end == fileSize) return false;

    // Signing pads the signed bytes with up to 7 zero bytes, so that the table starts on an
    // 8-byte boundary: the trailer may end a little before the table.
    uint8_t tail[7] = {};
    const long tailAt = end - long(sizeof tail) >= 0 ? end - long(sizeof tail) : 0;
    const size_t tailCount = size_t(end - tailAt);
    if (fseek(file.get(), tailAt, SEEK_SET) != 0 || fread(tail, 1, tailCount, file.get()) != tailCount)
        return false;
    for (size_t pad = 1; pad <= tailCount && tail[tailCount - pad] == 0 && end - long(pad) >= 4; ++pad)
        if (ReadDirectory(file.get(), end - long(pad))) return true;
    return false;
}

bool Bundle::ReadDirectory(FILE* file, long end) {
    m_categories.clear();
    m_entryCount = 0;
    m_directoryOffset = -1;
    uint8_t trailer[4];
    const long trailerPos = end - 4;
    if (trailerPos < 0 || fseek(file, trailerPos, SEEK_SET) != 0 || fread(trailer, 1, 4, file) != 4) return false;
    m_directoryOffset = int32_t(ReadU32(trailer));

    if (m_directoryOffset < 0 || long(m_directoryOffset) >= trailerPos) return false;
    size_t dirSize = size_t(trailerPos - m_directoryOffset);
    std::unique_ptr<uint8_t[]> dir(new (std::nothrow) uint8_t[dirSize]);
    if (!dir) return false;
    if (fseek(file, m_directoryOffset, SEEK_SET) != 0 || fread(dir.get(), 1, dirSize, file) != dirSize)
        return false;

    if (!ParseDirectory(dir.get(), dirSize)) {
        m_categories.clear();
        m_entryCount = 0;
        return false;
    }
    return true;
}

bool Bundle::ParseDirectory(const uint8_t* dir, size_t size) {
    if (size == 0 || dir[0] != kCategoryMark) return false;
    const uint8_t* end = dir + size;
    const uint8_t* p = dir;
    BundleCategory* current = nullptr;
    while (p < end) {
        bool header = *p == kCategoryMark;
        const uint8_t* nameStart = header ? p + 1 : p;
        const uint8_t* nul = nameStart < end
            ? static_cast<const uint8_t*>(memchr(nameStart, 0, size_t(end - nameStart)))
            : nullptr;
        if (!nul) return false;  // name runs into the trailer
        std::string name(reinterpret_cast<const char*>(nameStart), size_t(nul - nameStart));
        p = nul + 1;
        if (header) {
            m_categories.push_back(std::make_unique<BundleCategory>(std::move(name), m_path));
            current = m_categories.back().get();
            continue;
        }
        if (end - p < 8) return false;  // offset or size cut short
        current->AddEntry(std::make_unique<BundleEntry>(std::move(name), ReadU32(p), ReadU32(p + 4)));
        ++m_entryCount;
        p += 8;
    }
    return true;
}

void Bundle::Close() {
    m_categories.clear();
    m_entryCount = 0;
    m_directoryOffset = -1;
    m_path.clear();
}

BundleCategory* Bundle::FindCategory(const char* name) const {
    for (const auto& c : m_categories)
        if (BundleNameMatches(c->Name(), name)) return c.get();
    return nullptr;
}

BundleEntry* Bundle::FindFirstEntry(const char* name, BundleCategory** category) const {
    for (const auto& c : m_categories) {
        if (BundleEntry* e = c->FindEntry(name)) {
            if (category) *category = c.get();
            return e;
        }
    }
    return nullptr;
}

const uint8_t* Bundle::EntryData(const char* name) {
    BundleCategory* category = nullptr;
    BundleEntry* entry = FindFirstEntry(name, &category);
    return entry ? category->ReadEntry(entry) : nullptr;
}

const uint8_t* Bundle::EntryData(const char* categoryName, const char* entryName) {
    BundleCategory* category = FindCategory(categoryName);
    return category ? category->ReadEntry(entryName) : nullptr;
}

const uint8_t* Bundle::CachedData(const char* name) const {
    BundleEntry* entry = FindFirstEntry(name, nullptr);
    return entry ? entry->Data() : nullptr;
}

uint32_t Bundle::EntrySize(const char* name) const {
    BundleEntry* entry = FindFirstEntry(name, nullptr);
    return entry ? entry->Size() : 0;
}

void Bundle::FreeData() {
    for (const auto& c : m_categories) c->FreeData();
}
