#include "base/str.h"

#include <stdio.h>
#include <stdlib.h>

#include "base/arena.h"
#include "base/utf.h"

WStrView::WStrView(const char16_t* str) : s(str) {
    while (str && str[len]) {
        len++;
    }
}

namespace {
char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? (char)(c + 32) : c;
}

void* Alloc(Arena* a, size_t size) {
    return a ? ArenaAlloc(a, size, false) : malloc(size);
}
}  // namespace

namespace str {

bool Eq(StrView a, StrView b) {
    return a.len == b.len && (a.len == 0 || memcmp(a.s, b.s, (size_t)a.len) == 0);
}

bool EqI(StrView a, StrView b) {
    if (a.len != b.len) {
        return false;
    }
    for (int32_t i = 0; i < a.len; i++) {
        if (AsciiLower(a.s[i]) != AsciiLower(b.s[i])) {
            return false;
        }
    }
    return true;
}

bool StartsWith(StrView s, StrView prefix) {
    return s.len >= prefix.len && Eq(StrView(s.s, prefix.len), prefix);
}

int HexDigitValue(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

bool StartsWithI(StrView s, StrView prefix) {
    return s.len >= prefix.len && EqI(StrView(s.s, prefix.len), prefix);
}

bool EndsWithI(StrView s, StrView suffix) {
    return s.len >= suffix.len && EqI(StrView(s.s + s.len - suffix.len, suffix.len), suffix);
}

StrView Dup(Arena* a, StrView s) {
    if (!s.s) {
        return {};
    }
    char* p = (char*)Alloc(a, (size_t)s.len + 1);
    if (!p) {
        return {};
    }
    memcpy(p, s.s, (size_t)s.len);
    p[s.len] = 0;
    return {p, s.len};
}

StrView DupTemp(StrView s) {
    return Dup(GetTempArena(), s);
}

StrView FormatV(Arena* a, const char* fmt, va_list args) {
    va_list probe;
    va_copy(probe, args);
    int n = vsnprintf(nullptr, 0, fmt, probe);
    va_end(probe);
    if (n < 0) {
        return {};
    }
    char* p = (char*)Alloc(a, (size_t)n + 1);
    if (!p) {
        return {};
    }
    vsnprintf(p, (size_t)n + 1, fmt, args);
    return {p, n};
}

StrView Format(Arena* a, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    StrView res = FormatV(a, fmt, args);
    va_end(args);
    return res;
}

StrView FormatTemp(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    StrView res = FormatV(GetTempArena(), fmt, args);
    va_end(args);
    return res;
}

bool Append(Str& dst, StrView s) {
    return dst.Append(s.s, s.len);
}

StrView View(const Str& s) {
    return {s.els, s.len};
}

StrView Trim(StrView s) {
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
    int32_t b = 0, e = s.len;
    while (b < e && isSpace(s.s[b])) b++;
    while (e > b && isSpace(s.s[e - 1])) e--;
    return {s.s ? s.s + b : nullptr, e - b};
}

bool Parts::Next(StrView* part) {
    if (pos_ > s_.len) {
        return false;
    }
    int32_t end = pos_;
    while (end < s_.len && s_.s[end] != sep_) {
        end++;
    }
    *part = StrView(s_.s + pos_, end - pos_);
    pos_ = end + 1;
    return true;
}

}  // namespace str

WStrView ToWStr(StrView s, Arena* a) {
    if (!s.s) {
        return {};
    }
    int32_t n = utf::Utf8ToUtf16(s.s, s.len, nullptr);
    char16_t* p = (char16_t*)Alloc(a, ((size_t)n + 1) * sizeof(char16_t));
    if (!p) {
        return {};
    }
    utf::Utf8ToUtf16(s.s, s.len, p);
    p[n] = 0;
    return {p, n};
}

StrView ToUtf8(WStrView s, Arena* a) {
    if (!s.s) {
        return {};
    }
    int32_t n = utf::Utf16ToUtf8(s.s, s.len, nullptr);
    char* p = (char*)Alloc(a, (size_t)n + 1);
    if (!p) {
        return {};
    }
    utf::Utf16ToUtf8(s.s, s.len, p);
    p[n] = 0;
    return {p, n};
}

WStrView ToWStrTemp(StrView s) {
    return ToWStr(s, GetTempArena());
}

StrView ToUtf8Temp(WStrView s) {
    return ToUtf8(s, GetTempArena());
}

void LowerCaseInPlace(WStrView s) {
    char16_t* p = (char16_t*)s.s;
    utf::LowerCaseInPlace(p, s.len);
    for (int32_t i = 0; i < s.len; i++) {
        if (p[i] == 0x130) {
            p[i] = 0x69;
        }
    }
}
