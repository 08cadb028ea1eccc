#include "base/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string HexOf(const std::string& data, size_t piece) {
    Sha256 h;
    for (size_t at = 0; at < data.size(); at += piece) {
        size_t n = data.size() - at < piece ? data.size() - at : piece;
        h.Add((const uint8_t*)data.data() + at, n);
    }
    uint8_t digest[kSha256Size];
    h.Finish(digest);
    char hex[2 * kSha256Size + 1];
    Sha256Hex(digest, hex);
    return hex;
}

// The published test vectors, and lengths on each side of the padding's two cases (55, 56
// and 64 bytes), each fed whole and in pieces that straddle the 64-byte blocks.
TEST(Sha256, KnownDigestsWholeAndInPieces) {
    const struct {
        std::string data;
        const char* hex;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        for (size_t piece : {(size_t)1 << 30, (size_t)1, (size_t)63, (size_t)65}) {
            EXPECT_EQ(HexOf(c.data, piece), c.hex) << c.data.size() << " bytes in pieces of " << piece;
        }
    }
}

}  // namespace
