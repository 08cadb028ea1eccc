#include "ui/mnemonic.h"

#include "base/arena.h"

namespace {
// Bytes of the UTF-8 sequence that starts with b, at most what is left.
int32_t Utf8Len(unsigned char b, int32_t left) {
    int32_t n = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    return n > left ? left : n;
}

uint32_t DecodeUtf8(const char* s, int32_t n) {
    unsigned char b = (unsigned char)s[0];
    if (n == 1) return b;
    uint32_t cp = b & (0xFF >> (n + 1));
    for (int32_t i = 1; i < n; i++) cp = (cp << 6) | ((unsigned char)s[i] & 0x3F);
    return cp;
}
}  // namespace

MnemonicText ParseMnemonicTemp(StrView text) {
    MnemonicText res;
    char* out = (char*)ArenaAlloc(GetTempArena(), (size_t)text.len + 1, true);
    if (!out) {
        return res;
    }
    int32_t o = 0;
    for (int32_t i = 0; i < text.len; i++) {
        char c = text.s[i];
        if (c != '&') {
            out[o++] = c;
            continue;
        }
        if (i + 1 < text.len && text.s[i + 1] == '&') {
            out[o++] = '&';
            i++;
            continue;
        }
        if (res.underlineStart >= 0) {
            out[o++] = '&';  // only the first single ampersand marks a key
            continue;
        }
        if (i + 1 < text.len) {
            res.underlineStart = o;
            res.underlineLen = Utf8Len((unsigned char)text.s[i + 1], text.len - i - 1);
            res.key = DecodeUtf8(text.s + i + 1, res.underlineLen);
        }
    }
    out[o] = 0;
    res.display = StrView(out, o);
    return res;
}
