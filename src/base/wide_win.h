#pragma once
// Text at system calls: the program keeps UTF-8, and converts to and from UTF-16 only here.
#include <windows.h>

#include "base/str.h"

// s as a NUL-terminated UTF-16 string in the calling thread's temporary arena.
inline const WCHAR* W(StrView s) {
    return (const WCHAR*)ToWStrTemp(s).s;
}

// A UTF-16 string from the system as UTF-8 in the temporary arena: NUL-terminated, or its
// first n characters.
inline StrView U(const WCHAR* s) {
    return ToUtf8Temp(WStrView((const char16_t*)s));
}
inline StrView U(const WCHAR* s, size_t n) {
    return ToUtf8Temp(WStrView((const char16_t*)s, (int32_t)n));
}
