#pragma once
// Colours are COLORREF values, 0x00BBGGRR. Three values above any real colour mean "no
// colour": inherit, or draw nothing.
#include <stdint.h>

using Color = uint32_t;

constexpr Color kColorUnset = 0xFEFFFFFF;

inline bool IsNoColor(Color c) {
    return c == 0xFEFFFFFF || c == 0xFCFFFFFF || c == 0xFDFFFFFF;
}

// 0xAARRGGBB (GDI+) to a COLORREF; the alpha goes.
inline Color ColorFromArgb(uint32_t argb) {
    return ((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16);
}
