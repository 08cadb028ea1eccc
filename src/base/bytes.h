#pragma once
// 32-bit words in little-endian byte order, for formats that fix it whatever the host's.
#include <stdint.h>

inline uint32_t LoadLe32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

inline void StoreLe32(uint32_t v, uint8_t* p) {
    for (int i = 0; i < 4; i++) {
        p[i] = (uint8_t)(v >> (8 * i));
    }
}
