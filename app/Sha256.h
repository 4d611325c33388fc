// SHA-256 of a byte stream, for the installed-file check. Plain C++, no system calls:
// every Windows version the program runs on hashes the same way, also those whose crypto
// providers know no SHA-256 (Windows 95 to 2000, XP before SP3).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class Sha256 {
public:
    Sha256();
    // Adds `length` bytes to the message; `data` may be null only when `length` is 0.
    void Add(const void* data, size_t length);
    // The digest of everything added; the object is spent afterwards.
    std::array<uint8_t, 32> Finish();

private:
    void Block(const uint8_t* block);

    uint32_t m_state[8];
    uint8_t m_buffer[64];
    size_t m_buffered = 0;
    uint64_t m_totalBytes = 0;
};
