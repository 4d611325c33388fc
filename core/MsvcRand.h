// MsvcRand: the C runtime's rand()/srand() of the Microsoft compilers, so that a seed
// shuffles a list into the same order on every platform.
#pragma once

#include <cstdint>

class MsvcRand {
public:
    explicit MsvcRand(uint32_t seed = 1) : m_state(seed) {}
    void Seed(uint32_t seed) { m_state = seed; }
    int Next() {  // 0..32767
        m_state = m_state * 214013u + 2531011u;
        return int((m_state >> 16) & 0x7FFF);
    }

private:
    uint32_t m_state;
};
