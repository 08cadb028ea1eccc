#pragma once
// Fonts, cached for the life of the process: one record per (face, size, style) or per
// Win32 font they were made from. The cache is shared by all threads under one lock.
#include <windows.h>

#include "base/str.h"
#include "ui/gdiplus_api.h"

enum FontStyle { FontBold = 1, FontItalic = 2, FontUnderline = 4, FontStrikeOut = 8 };

struct Font {
    StrView name;           // UTF-8 face name
    float size = 0;         // points
    int style = 0;          // FontStyle bits
    HFONT source = nullptr;  // the Win32 font this record was made from, if any
    gp::GpFont* gdipFont = nullptr;
    int avgCharWidth = 1;
    Font* next = nullptr;

    // Made on first use from the GDI+ font's LOGFONTW (or the source font itself).
    HFONT GetHFONT();

  private:
    HFONT hfont_ = nullptr;
    friend Font* MakeFont(StrView, float, int, HFONT);
};

// Null only when not even a fallback family could make a font.
Font* GetFont(StrView name, float sizePt, int style);
Font* GetFontFromHFONT(HFONT hfont);
// The non-client message font at the current DPI.
Font* GetDefaultGuiFont();

// Text extent of UTF-8 text in a font, no prefix processing; single line.
SIZE MeasureTextSize(Font* f, StrView text);
