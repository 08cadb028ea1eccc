#include "base/dotted_version.h"

#include <stdint.h>

namespace {
constexpr int32_t kMaxDigits = 9;

// The number starting at *at, moving past it and the dot after it; 0 past the end.
uint32_t NextNumber(StrView v, int32_t* at) {
    uint32_t n = 0;
    while (*at < v.len && v.s[*at] != '.') {
        n = n * 10 + (uint32_t)(v.s[(*at)++] - '0');
    }
    (*at)++;
    return n;
}
}  // namespace

bool IsDottedVersion(StrView v) {
    int32_t digits = 0;
    for (int32_t i = 0; i < v.len; i++) {
        if (v.s[i] == '.') {
            if (digits == 0) {
                return false;
            }
            digits = 0;
        } else if (v.s[i] >= '0' && v.s[i] <= '9' && digits < kMaxDigits) {
            digits++;
        } else {
            return false;
        }
    }
    return digits > 0;
}

int CompareDottedVersions(StrView a, StrView b) {
    int32_t i = 0, j = 0;
    while (i < a.len || j < b.len) {
        uint32_t x = NextNumber(a, &i), y = NextNumber(b, &j);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return 0;
}
