#pragma once
// String views, owned UTF-8 strings and the UTF-8/UTF-16 conversions.
// Inside the program every string is UTF-8; UTF-16 appears only at system calls.
#include <stdarg.h>
#include <stdint.h>
#include <string.h>

#include "base/vec.h"

struct Arena;

// Our formatting is C99 printf on every host (MinGW's own, not the system runtime's).
#if defined(__MINGW32__)
#define VL_PRINTF(fmtIdx, argIdx) __attribute__((format(gnu_printf, fmtIdx, argIdx)))
#else
#define VL_PRINTF(fmtIdx, argIdx) __attribute__((format(printf, fmtIdx, argIdx)))
#endif

// A pointer and a length in bytes; null with length 0 is the empty view. Views made by
// the functions below are NUL-terminated one past their length.
struct StrView {
    const char* s = nullptr;
    int32_t len = 0;

    StrView() = default;
    StrView(const char* str) : s(str), len(str ? (int32_t)strlen(str) : 0) {}
    StrView(const char* str, int32_t n) : s(str), len(n) {}

    bool IsEmpty() const { return len == 0; }
    char operator[](int32_t i) const { return s[i]; }
    // Never null, so it can go straight to "%s"; only for views that end in a NUL at len
    // (a sub-view such as Trim's result needs DupTemp first).
    const char* CStr() const { return s ? s : ""; }
};

// UTF-16 units; char16_t so that the same code builds where wchar_t is 32 bits.
struct WStrView {
    const char16_t* s = nullptr;
    int32_t len = 0;

    WStrView() = default;
    WStrView(const char16_t* str, int32_t n) : s(str), len(n) {}
    explicit WStrView(const char16_t* str);

    bool IsEmpty() const { return len == 0; }
};

// An owned UTF-8 string: a Vec of bytes, always NUL-terminated.
using Str = Vec<char>;

namespace str {
bool Eq(StrView a, StrView b);
// ASCII letters compare without case; every other byte must match.
bool EqI(StrView a, StrView b);
bool StartsWith(StrView s, StrView prefix);
// The value of a hexadecimal digit (either case), or -1.
int HexDigitValue(char c);
bool StartsWithI(StrView s, StrView prefix);
bool EndsWithI(StrView s, StrView suffix);

// Copies into the arena (the heap when it is null); the empty view on failure.
StrView Dup(Arena* a, StrView s);
StrView DupTemp(StrView s);

// printf-style formatting into the arena; the empty view on failure.
StrView FormatV(Arena* a, const char* fmt, va_list args);
StrView Format(Arena* a, const char* fmt, ...) VL_PRINTF(2, 3);
StrView FormatTemp(const char* fmt, ...) VL_PRINTF(1, 2);

bool Append(Str& dst, StrView s);
StrView View(const Str& s);

// Drops leading and trailing whitespace (space, tab, CR, LF, VT, FF); a sub-view, not
// NUL-terminated at its length.
StrView Trim(StrView s);

// The parts of s between the bytes `sep`, in order, empty ones included: "a;;b" gives "a",
// "" and "b", the empty view one empty part. Sub-views of s, not NUL-terminated.
//   str::Parts parts(s, ';');
//   for (StrView part; parts.Next(&part);) ...
class Parts {
  public:
    Parts(StrView s, char sep) : s_(s), sep_(sep) {}
    bool Next(StrView* part);

  private:
    StrView s_;
    char sep_;
    int32_t pos_ = 0;
};
}  // namespace str

// Conversions allocate length + 1 units from the arena (the heap when it is null) and
// NUL-terminate; a null input or an allocation failure gives the empty view. Malformed
// input becomes U+FFFD, as the system converter does.
WStrView ToWStr(StrView s, Arena* a);
StrView ToUtf8(WStrView s, Arena* a);
WStrView ToWStrTemp(StrView s);
StrView ToUtf8Temp(WStrView s);

// System lower-casing in place, then any remaining U+0130 becomes U+0069, so that a
// dotted capital I compares equal to a plain i in path comparisons.
void LowerCaseInPlace(WStrView s);
