// PE header reading for the certificate table: every field is bounds-checked against the
// bytes given, so that damaged or foreign files only ever give "not signed".
#include "content/PeCertificate.h"

namespace {

const uint16_t kPe32Magic = 0x10B;
const uint16_t kPe32PlusMagic = 0x20B;
const uint32_t kSecurityDirectory = 4;  // IMAGE_DIRECTORY_ENTRY_SECURITY

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

}  // namespace

bool PeHeaderOffset(const uint8_t* bytes, size_t count, uint64_t fileSize, uint32_t* offset) {
    if (!bytes || count < kDosHeaderBytes || bytes[0] != 'M' || bytes[1] != 'Z') return false;
    uint32_t at = U32(bytes + 0x3C);  // e_lfanew
    if (at < 4 || uint64_t(at) + 4 + 20 > fileSize) return false;
    *offset = at;
    return true;
}

bool PeSecurityDirectory(const uint8_t* bytes, size_t count, uint32_t* tableOffset, uint32_t* tableSize) {
    const size_t optionalAt = 4 + 20;
    if (!bytes || count < optionalAt + 2) return false;
    if (bytes[0] != 'P' || bytes[1] != 'E' || bytes[2] != 0 || bytes[3] != 0) return false;
    const size_t optionalSize = U16(bytes + 4 + 16);  // SizeOfOptionalHeader
    const uint16_t magic = U16(bytes + optionalAt);
    size_t countAt, directoriesAt;
    if (magic == kPe32Magic) {
        countAt = 92;
        directoriesAt = 96;
    } else if (magic == kPe32PlusMagic) {
        countAt = 108;
        directoriesAt = 112;
    } else {
        return false;
    }
    const size_t entryAt = directoriesAt + kSecurityDirectory * 8;
    if (optionalSize < entryAt + 8 || count < optionalAt + entryAt + 8) return false;
    if (U32(bytes + optionalAt + countAt) <= kSecurityDirectory) return false;  // NumberOfRvaAndSizes
    // The security entry alone holds a file offset, not a virtual address.
    uint32_t offset = U32(bytes + optionalAt + entryAt);
    uint32_t size = U32(bytes + optionalAt + entryAt + 4);
    if (offset == 0 || size == 0) return false;
    *tableOffset = offset;
    *tableSize = size;
    return true;
}

uint64_t AppendedDataEnd(const uint8_t* dos, size_t dosCount, const uint8_t* pe, size_t peCount,
                         uint64_t fileSize) {
    uint32_t peAt = 0, offset = 0, size = 0;
    if (!PeHeaderOffset(dos, dosCount, fileSize, &peAt)) return fileSize;
    if (!PeSecurityDirectory(pe, peCount, &offset, &size)) return fileSize;
    // A table that does not end the file (or lies in the headers) is not the signature
    // this program was given: the data then ends with the file, as it was written.
    if (uint64_t(offset) + size != fileSize || offset <= uint64_t(peAt) + 4 + 20) return fileSize;
    return offset;
}
