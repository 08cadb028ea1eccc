#pragma once
// SHA-256 of a byte string: what a patch names its base and result files by, and what an
// installation is checked against before a patch touches it.
#include <stddef.h>
#include <stdint.h>

constexpr int kSha256Size = 32;

// Fed in pieces, so that a large file need not be in memory at once.
struct Sha256 {
    uint32_t state[8];
    uint64_t length = 0;  // bytes fed so far
    uint8_t pending[64];
    uint32_t pendingLen = 0;

    Sha256();
    void Add(const uint8_t* data, size_t len);
    void Finish(uint8_t digest[kSha256Size]);
};

void Sha256Of(const uint8_t* data, size_t len, uint8_t digest[kSha256Size]);

// The digest as 64 lower-case hexadecimal digits and a NUL.
void Sha256Hex(const uint8_t digest[kSha256Size], char out[2 * kSha256Size + 1]);
