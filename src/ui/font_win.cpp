#include "ui/font.h"

#include <math.h>
#include <new>
#include <mutex>

#include "base/arena.h"
#include "base/log.h"
#include "base/system_lib.h"
#include "base/wide_win.h"
#include "ui/dpi.h"

namespace {
std::mutex gFontLock;
Font* gFonts = nullptr;

bool SameFont(Font* f, StrView name, float size, int style) {
    return !f->source && f->size == size && f->style == style && str::Eq(f->name, name);
}

gp::GpFontFamily* FamilyWithFallback(const gp::Api& api, StrView name) {
    gp::GpFontFamily* family = nullptr;
    WStrView wname = ToWStrTemp(name);
    if (api.GdipCreateFontFamilyFromName((const WCHAR*)wname.s, nullptr, &family) == gp::Ok && family) {
        return family;
    }
    // Wine answers the generic family with null and success: check the family, not the status.
    family = nullptr;
    if (api.GdipGetGenericFontFamilySansSerif(&family) == gp::Ok && family) {
        return family;
    }
    family = nullptr;
    if (api.GdipCreateFontFamilyFromName(L"Times New Roman", nullptr, &family) == gp::Ok && family) {
        return family;
    }
    return nullptr;
}

gp::GpFont* CreateGdipFont(StrView name, float size, int style) {
    const gp::Api& api = gp::Get();
    if (!api.ok) {
        return nullptr;
    }
    gp::GpFontFamily* family = FamilyWithFallback(api, name);
    if (!family) {
        Logf("CreateGdipFont: no font family for '%s'\n", name.CStr());
        return nullptr;
    }
    gp::GpFont* font = nullptr;
    if (api.GdipCreateFont(family, size, style, gp::UnitPoint, &font) != gp::Ok) {
        font = nullptr;
    }
    api.GdipDeleteFontFamily(family);
    return font;
}

int AverageCharWidth(Font* f) {
    SIZE s = MeasureTextSize(f, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    int w = (s.cx + 25) / 52;
    if (w < 1) {
        w = (int)(f->size * 0.55f);
        w = w < 1 ? 1 : w;
    }
    return w;
}
}  // namespace

Font* MakeFont(StrView name, float size, int style, HFONT source) {
    Font* f = new (std::nothrow) Font;
    if (!f) {
        return nullptr;
    }
    f->name = str::Dup(GetProcessArena(), name);
    f->size = size;
    f->style = style;
    f->source = source;
    f->gdipFont = CreateGdipFont(name, size, style);
    f->hfont_ = source;
    f->avgCharWidth = AverageCharWidth(f);
    return f;
}

HFONT Font::GetHFONT() {
    if (hfont_) {
        return hfont_;
    }
    const gp::Api& api = gp::Get();
    LOGFONTW lf{};
    HDC dc = GetDC(nullptr);
    gp::GpGraphics* g = nullptr;
    bool ok = gdipFont && api.ok && api.GdipCreateFromHDC(dc, &g) == gp::Ok &&
              api.GdipGetLogFontW(gdipFont, g, &lf) == gp::Ok;
    if (g) api.GdipDeleteGraphics(g);
    ReleaseDC(nullptr, dc);
    if (!ok) {
        // Without GDI+ the font is made by GDI from the record itself.
        lf = LOGFONTW{};
        lf.lfHeight = -(LONG)lroundf(size * 96.0f / 72.0f);
        lf.lfWeight = (style & FontBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (style & FontItalic) != 0;
        lf.lfUnderline = (style & FontUnderline) != 0;
        lf.lfStrikeOut = (style & FontStrikeOut) != 0;
        WStrView w = ToWStrTemp(name);
        lstrcpynW(lf.lfFaceName, (const WCHAR*)w.s, LF_FACESIZE);
    }
    lf.lfQuality = CLEARTYPE_QUALITY;
    hfont_ = CreateFontIndirectW(&lf);
    return hfont_;
}

Font* GetFont(StrView name, float sizePt, int style) {
    std::lock_guard<std::mutex> lock(gFontLock);
    for (Font* f = gFonts; f; f = f->next) {
        if (SameFont(f, name, sizePt, style)) return f;
    }
    Font* f = MakeFont(name, sizePt, style, nullptr);
    if (f) {
        f->next = gFonts;
        gFonts = f;
    }
    return f;
}

Font* GetFontFromHFONT(HFONT hfont) {
    if (!hfont) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(gFontLock);
    for (Font* f = gFonts; f; f = f->next) {
        if (f->source == hfont) return f;
    }
    LOGFONTW lf{};
    if (!GetObjectW(hfont, sizeof(lf), &lf)) {
        return nullptr;
    }
    int style = (lf.lfWeight >= 700 ? FontBold : 0) | (lf.lfItalic ? FontItalic : 0) |
                (lf.lfUnderline ? FontUnderline : 0) | (lf.lfStrikeOut ? FontStrikeOut : 0);
    float size = (float)labs(lf.lfHeight) * 72.0f / 96.0f;
    StrView name = U(lf.lfFaceName);
    Font* f = MakeFont(name, size, style, hfont);
    if (f) {
        f->next = gFonts;
        gFonts = f;
    }
    return f;
}

Font* GetDefaultGuiFont() {
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof(ncm);
    bool ok = false;
    if (gPlatform.systemParametersInfoForDpi) {
        ok = gPlatform.systemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0, (UINT)gDpiX);
    }
    if (!ok) {
        if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) {
            return GetFont("Segoe UI", 9, 0);
        }
        HDC dc = GetDC(nullptr);
        int sysDpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
        if (dc) ReleaseDC(nullptr, dc);
        ncm.lfMessageFont.lfHeight = MulDiv(ncm.lfMessageFont.lfHeight, gDpiX, sysDpi > 0 ? sysDpi : 96);
    }
    // One Win32 font per height: the cache finds it again by face, size and style.
    LOGFONTW& lf = ncm.lfMessageFont;
    int style = (lf.lfWeight >= 700 ? FontBold : 0) | (lf.lfItalic ? FontItalic : 0);
    float size = (float)labs(lf.lfHeight) * 72.0f / 96.0f;
    StrView name = U(lf.lfFaceName);
    return GetFont(name, size, style);
}

SIZE MeasureTextSize(Font* f, StrView text) {
    SIZE s{};
    if (!f) {
        return s;
    }
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, f->GetHFONT());
    WStrView w = ToWStrTemp(text);
    if (w.len == 0) {
        // The height of an empty text is the line height.
        GetTextExtentPoint32W(dc, L"M", 1, &s);
        s.cx = 0;
    } else {
        GetTextExtentPoint32W(dc, (const WCHAR*)w.s, w.len, &s);
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return s;
}
