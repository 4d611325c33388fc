// Where a program file's Authenticode certificate table lies, read from the PE headers'
// bytes (no Windows headers: built and tested on every platform). Signing appends that
// table after everything else, so the program's own bundle ends where the table starts.
#pragma once

#include <cstddef>
#include <cstdint>

// The DOS header's first bytes this needs, and the most bytes the PE headers need from
// the "PE" signature up to the end of a PE32+ optional header's security directory.
const size_t kDosHeaderBytes = 64;
const size_t kPeHeaderBytes = 4 + 20 + 112 + 5 * 8;

// The file offset of the PE signature from the DOS header (`bytes` from file offset 0);
// false when the bytes are not a DOS header ("MZ") or the offset cannot be in the file.
bool PeHeaderOffset(const uint8_t* bytes, size_t count, uint64_t fileSize, uint32_t* offset);

// The certificate table (IMAGE_DIRECTORY_ENTRY_SECURITY: a file offset and a size) from
// the bytes at the PE signature. False when they are no PE headers, the optional header
// has no security entry, or the entry is empty (an unsigned program).
bool PeSecurityDirectory(const uint8_t* bytes, size_t count, uint32_t* tableOffset, uint32_t* tableSize);

// Where the data appended to a program file ends: the certificate table's offset when the
// table is the end of the file (as signing leaves it), else the file size. `dos` holds the
// file's first bytes, `pe` the bytes at the PE signature (either may be short or null).
uint64_t AppendedDataEnd(const uint8_t* dos, size_t dosCount, const uint8_t* pe, size_t peCount,
                         uint64_t fileSize);
