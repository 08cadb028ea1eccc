#include "base/utf.h"

// Hosts without a system converter use the portable one; tests under Wine check that it
// agrees with the system's.
namespace utf {
int32_t Utf8ToUtf16(const char* s, int32_t len, char16_t* out) {
    return Utf8ToUtf16Portable(s, len, out);
}

int32_t Utf16ToUtf8(const char16_t* s, int32_t len, char* out) {
    return Utf16ToUtf8Portable(s, len, out);
}

// Good enough for hosts, where only tests and tools run: ASCII and Latin-1 letters.
void LowerCaseInPlace(char16_t* s, int32_t len) {
    for (int32_t i = 0; i < len; i++) {
        char16_t c = s[i];
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
            s[i] = (char16_t)(c + 0x20);
        }
    }
}
}  // namespace utf
