#include "base/utf.h"

namespace utf {

namespace {
constexpr char32_t kReplacement = 0xFFFD;

bool IsCont(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Decodes one code point at s[i]. On malformed input it consumes the longest prefix that
// could still have started a valid sequence (at least one byte) and yields U+FFFD.
char32_t DecodeUtf8(const unsigned char* s, int32_t len, int32_t* i) {
    unsigned char c = s[*i];
    if (c < 0x80) {
        (*i)++;
        return c;
    }
    int need;
    char32_t cp;
    unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        need = 1;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        need = 2;
        cp = c & 0x0F;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        need = 3;
        cp = c & 0x07;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
        (*i)++;
        return kReplacement;
    }
    (*i)++;
    for (int k = 0; k < need; k++) {
        if (*i >= len) {
            return kReplacement;
        }
        unsigned char cc = s[*i];
        bool ok = k == 0 ? (cc >= lo && cc <= hi) : IsCont(cc);
        if (!ok) {
            return kReplacement;
        }
        cp = (cp << 6) | (cc & 0x3F);
        (*i)++;
    }
    return cp;
}

int EncodeUtf8(char32_t cp, char* out) {
    if (cp < 0x80) {
        if (out) out[0] = (char)cp;
        return 1;
    }
    if (cp < 0x800) {
        if (out) {
            out[0] = (char)(0xC0 | (cp >> 6));
            out[1] = (char)(0x80 | (cp & 0x3F));
        }
        return 2;
    }
    if (cp < 0x10000) {
        if (out) {
            out[0] = (char)(0xE0 | (cp >> 12));
            out[1] = (char)(0x80 | ((cp >> 6) & 0x3F));
            out[2] = (char)(0x80 | (cp & 0x3F));
        }
        return 3;
    }
    if (out) {
        out[0] = (char)(0xF0 | (cp >> 18));
        out[1] = (char)(0x80 | ((cp >> 12) & 0x3F));
        out[2] = (char)(0x80 | ((cp >> 6) & 0x3F));
        out[3] = (char)(0x80 | (cp & 0x3F));
    }
    return 4;
}

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}

bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}
}  // namespace

int32_t Utf8ToUtf16Portable(const char* s, int32_t len, char16_t* out) {
    const unsigned char* u = (const unsigned char*)s;
    int32_t n = 0;
    int32_t i = 0;
    while (i < len) {
        char32_t cp = DecodeUtf8(u, len, &i);
        if (cp >= 0x10000) {
            if (out) {
                out[n] = (char16_t)(0xD800 + ((cp - 0x10000) >> 10));
                out[n + 1] = (char16_t)(0xDC00 + ((cp - 0x10000) & 0x3FF));
            }
            n += 2;
        } else {
            if (out) out[n] = (char16_t)cp;
            n++;
        }
    }
    return n;
}

int32_t Utf16ToUtf8Portable(const char16_t* s, int32_t len, char* out) {
    int32_t n = 0;
    for (int32_t i = 0; i < len; i++) {
        char32_t cp = s[i];
        if (IsHighSurrogate(s[i]) && i + 1 < len && IsLowSurrogate(s[i + 1])) {
            cp = 0x10000 + (((char32_t)s[i] - 0xD800) << 10) + ((char32_t)s[i + 1] - 0xDC00);
            i++;
        } else if (IsHighSurrogate(s[i]) || IsLowSurrogate(s[i])) {
            cp = kReplacement;
        }
        n += EncodeUtf8(cp, out ? out + n : nullptr);
    }
    return n;
}

}  // namespace utf
