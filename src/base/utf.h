#pragma once
// The raw UTF-8 <-> UTF-16 step under ToWStr/ToUtf8. With out == null only the length is
// computed. The program uses the system converter; the portable one serves hosts without
// it and is checked against the system's under Wine.
#include <stdint.h>

namespace utf {
int32_t Utf8ToUtf16(const char* s, int32_t len, char16_t* out);
int32_t Utf16ToUtf8(const char16_t* s, int32_t len, char* out);
void LowerCaseInPlace(char16_t* s, int32_t len);

int32_t Utf8ToUtf16Portable(const char* s, int32_t len, char16_t* out);
int32_t Utf16ToUtf8Portable(const char16_t* s, int32_t len, char* out);
}  // namespace utf
