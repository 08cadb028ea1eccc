#include "base/md5.h"

#include <string.h>

#include "base/bytes.h"

namespace {
// Left-rotation amounts, four per round.
const uint8_t kShifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// The sine-derived additive constants, 16 per round.
const uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

uint32_t Rotl(uint32_t v, int n) {
    return (v << n) | (v >> (32 - n));
}

void Md5Block(uint32_t state[4], const uint8_t block[64]) {
    uint32_t x[16];
    for (int i = 0; i < 16; i++) {
        x[i] = LoadLe32(block + 4 * i);
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; i++) {
        int round = i / 16;
        uint32_t f;
        int word;
        switch (round) {
            case 0:
                f = (b & c) | (~b & d);
                word = i;
                break;
            case 1:
                f = (d & b) | (~d & c);
                word = (5 * i + 1) % 16;
                break;
            case 2:
                f = b ^ c ^ d;
                word = (3 * i + 5) % 16;
                break;
            default:
                f = c ^ (b | ~d);
                word = (7 * i) % 16;
                break;
        }
        uint32_t rotated = b + Rotl(a + f + kSines[i] + x[word], kShifts[round][i % 4]);
        a = d;
        d = c;
        c = b;
        b = rotated;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}
}  // namespace

void Md5(const uint8_t* data, size_t len, uint8_t digest[16]) {
    uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    size_t whole = len - len % 64;
    for (size_t i = 0; i < whole; i += 64) {
        Md5Block(state, data + i);
    }
    // The tail, the 0x80 marker, zeros and the length in bits fill one or two last blocks.
    uint8_t tail[128] = {};
    size_t rest = len - whole;
    if (rest) {
        memcpy(tail, data + whole, rest);
    }
    tail[rest] = 0x80;
    size_t tailLen = rest < 56 ? 64 : 128;
    uint64_t bits = (uint64_t)len * 8;
    StoreLe32((uint32_t)bits, tail + tailLen - 8);
    StoreLe32((uint32_t)(bits >> 32), tail + tailLen - 4);
    for (size_t i = 0; i < tailLen; i += 64) {
        Md5Block(state, tail + i);
    }
    for (int i = 0; i < 4; i++) {
        StoreLe32(state[i], digest + 4 * i);
    }
}
