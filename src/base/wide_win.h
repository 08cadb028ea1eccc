#pragma once
// Text at system calls: the program keeps UTF-8, and converts to UTF-16 only here.
#include <windows.h>

#include "base/str.h"

// s as a NUL-terminated UTF-16 string in the calling thread's temporary arena.
inline const WCHAR* W(StrView s) {
    return (const WCHAR*)ToWStrTemp(s).s;
}
