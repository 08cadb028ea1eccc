#include "ui/dpi.h"

#include <string.h>

int gDpiX = 96;
int gDpiY = 96;

DpiOverride ParseDpiOverride(const char* value) {
    DpiOverride none;
    if (!value || !*value || strlen(value) >= 16) {
        return none;
    }
    DpiOverride res;
    const char* p = value;
    if (strncmp(p, "legacy:", 7) == 0) {
        res.legacy = true;
        p += 7;
    }
    if (!*p) {
        return none;
    }
    int v = 0;
    for (; *p; p++) {
        if (*p < '0' || *p > '9') {
            return none;
        }
        v = v * 10 + (*p - '0');  // at most 15 digits: bounded below by the range check
        if (v > 500) {
            return none;
        }
    }
    if (v < 50) {
        return none;
    }
    res.percent = v;
    return res;
}

int RoundDpiForStore(int dpi) {
    return dpi < 1 ? 96 : (dpi + 3) / 4 * 4;
}

int DpiForPercent(int percent) {
    // MulDiv rounds half away from zero.
    return (96 * percent + 50) / 100;
}


// v * dpi / 96 rounded as MulDiv does, half away from zero; 96 when dpi is not positive.
static int MulDiv96(int v, int dpi) {
    long long n = (long long)v * (dpi > 0 ? dpi : 96);
    return (int)(n >= 0 ? (n + 48) / 96 : -((-n + 48) / 96));
}

int Scale(int v) {
    return MulDiv96(v, gDpiX);
}

ScaledSize ScaleSize(int dx, int dy) {
    return ScaledSize{MulDiv96(dx, gDpiX), MulDiv96(dy, gDpiY)};
}
