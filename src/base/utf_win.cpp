#include "base/utf.h"

#include <windows.h>

namespace utf {
int32_t Utf8ToUtf16(const char* s, int32_t len, char16_t* out) {
    if (len <= 0) {
        return 0;
    }
    return MultiByteToWideChar(CP_UTF8, 0, s, len, (WCHAR*)out, out ? len : 0);
}

int32_t Utf16ToUtf8(const char16_t* s, int32_t len, char* out) {
    if (len <= 0) {
        return 0;
    }
    // A UTF-16 unit becomes at most three bytes.
    int outCap = out ? (int)((int64_t)len * 3 > 0x7FFFFFFF ? 0x7FFFFFFF : len * 3) : 0;
    return WideCharToMultiByte(CP_UTF8, 0, (const WCHAR*)s, len, out, outCap, nullptr, nullptr);
}

void LowerCaseInPlace(char16_t* s, int32_t len) {
    if (len > 0) {
        CharLowerBuffW((WCHAR*)s, (DWORD)len);
    }
}
}  // namespace utf
