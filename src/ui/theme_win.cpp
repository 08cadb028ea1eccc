#include "ui/theme.h"

#include <windows.h>

namespace {
// Moves each channel a step toward black (amount < 0) or white (amount > 0).
Color Shade(Color c, int amount) {
    auto ch = [amount](int v) {
        v += amount;
        return v < 0 ? 0 : v > 255 ? 255 : v;
    };
    return RGB(ch(GetRValue(c)), ch(GetGValue(c)), ch(GetBValue(c)));
}

ThemeColors ReadTheme() {
    ThemeColors t;
    t.text = GetSysColor(COLOR_WINDOWTEXT);
    t.link = GetSysColor(COLOR_HOTLIGHT);
    t.editBorder = GetSysColor(COLOR_WINDOWFRAME);
    t.buttonFace = GetSysColor(COLOR_BTNFACE);
    t.buttonHover = Shade(t.buttonFace, 16);
    t.buttonPressed = Shade(t.buttonFace, -24);
    t.buttonText = GetSysColor(COLOR_BTNTEXT);
    t.grayText = GetSysColor(COLOR_GRAYTEXT);
    t.window = GetSysColor(COLOR_WINDOW);
    return t;
}

ThemeColors gTheme;
bool gThemeRead = false;
}  // namespace

ThemeColors* GetTheme() {
    if (!gThemeRead) {
        gTheme = ReadTheme();
        gThemeRead = true;
    }
    return &gTheme;
}

void RefreshTheme() {
    gTheme = ReadTheme();
    gThemeRead = true;
}
