#pragma once
// Default colours of the controls, filled from the system colours when the first control
// is made. Controls point at entries, so changing an entry changes every control using it.
#include "ui/color.h"

struct ThemeColors {
    Color text;          // COLOR_WINDOWTEXT: text controls
    Color link;          // COLOR_HOTLIGHT: links
    Color editBorder;    // COLOR_WINDOWFRAME: edit frames
    Color buttonFace;    // COLOR_BTNFACE, and two shades of it for owner-drawn buttons
    Color buttonHover;
    Color buttonPressed;
    Color buttonText;    // COLOR_BTNTEXT
    Color grayText;      // COLOR_GRAYTEXT
    Color window;        // COLOR_WINDOW
};

// Fills the table on first call.
ThemeColors* GetTheme();
// Reads the system colours again (they changed: high contrast, another scheme); every
// control pointing at an entry paints with the new colour at its next paint.
void RefreshTheme();
