#include "installer/installer_paint.h"

#include <math.h>

#include "base/clock.h"
#include "base/product.h"
#include "base/wide_win.h"
#include "i18n/lang.h"
#include "i18n/translations.h"
#include "installer/header_anim.h"
#include "installer/installer_message.h"
#include "installer/page_colors.h"
#include "ui/dpi.h"
#include "ui/gdiplus_api.h"
#include "ui/painter_gdi.h"
#include "ui/vc_host.h"

using gp::Api;
using gp::ARGB;
using gp::GpFont;
using gp::GpFontFamily;
using gp::GpGraphics;
using gp::GpPath;
using gp::GpRectF;
using gp::GpSolidFill;
using gp::GpStringFormat;
using gp::REAL;
using Gdiplus::Ok;

namespace {
// The face GDI really draws when asked for this one: GDI always finds a face, where GDI+
// may know neither the UI face nor a generic one (a plain Wine machine).
StrView GdiFaceForTemp(StrView face) {
    HDC dc = GetDC(nullptr);
    WStrView w = ToWStrTemp(face);
    HFONT font = CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, (LPCWSTR)w.s);
    HGDIOBJ old = SelectObject(dc, font);
    WCHAR real[LF_FACESIZE] = {};
    int n = GetTextFaceW(dc, LF_FACESIZE, real);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    return n > 0 ? U(real) : StrView();
}

GpFontFamily* FamilyNamed(const Api& api, StrView face) {
    GpFontFamily* f = nullptr;
    if (face.IsEmpty()) return nullptr;
    WStrView w = ToWStrTemp(face);
    if (api.GdipCreateFontFamilyFromName((const WCHAR*)w.s, nullptr, &f) == Ok && f) return f;
    return nullptr;
}

// The message font's face, which every machine has.
StrView MessageFontFaceTemp() {
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof(ncm);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) return StrView();
    return U(ncm.lfMessageFont.lfFaceName);
}

// What one paint needs from GDI+, released at its end.
struct PagePainter {
    const Api& api;
    GpGraphics* g;
    float k;  // DPI / 96
    bool rtl;
    GpFontFamily* family = nullptr;

    const PageColors& colors;

    PagePainter(const Api& a, GpGraphics* gr, float scale, bool isRtl, const PageColors& c)
        : api(a), g(gr), k(scale), rtl(isRtl), colors(c) {
        family = CreateHeaderFontFamily(a, GetUiFaceName());
    }
    ~PagePainter() {
        if (family) api.GdipDeleteFontFamily(family);
    }

    GpFont* MakeFont(float px, int style) {
        GpFont* font = nullptr;
        if (!family || api.GdipCreateFont(family, px, style, Gdiplus::UnitPixel, &font) != Ok) return nullptr;
        return font;
    }

    void Fill(ARGB c, REAL x, REAL y, REAL w, REAL h, bool ellipse = false) {
        GpSolidFill* b = nullptr;
        if (api.GdipCreateSolidFill(c, &b) != Ok) return;
        if (ellipse) {
            api.GdipFillEllipse(g, b, x, y, w, h);
        } else {
            api.GdipFillRectangle(g, b, x, y, w, h);
        }
        api.GdipDeleteBrush(b);
    }

    // Fills the path with one colour and deletes it.
    void FillPath(ARGB c, GpPath* path) {
        GpSolidFill* b = nullptr;
        if (api.GdipCreateSolidFill(c, &b) == Ok) {
            api.GdipFillPath(g, b, path);
            api.GdipDeleteBrush(b);
        }
        api.GdipDeletePath(path);
    }

    GpRectF Measure(StrView text, GpFont* font, GpStringFormat* fmt) {
        GpRectF out{0, 0, 0, 0};
        GpRectF layout{0, 0, 0, 0};
        WStrView w = ToWStrTemp(text);
        if (font) api.GdipMeasureString(g, (const WCHAR*)w.s, w.len, font, &layout, fmt, &out, nullptr, nullptr);
        return out;
    }

    void Text(StrView text, GpFont* font, GpStringFormat* fmt, ARGB c, REAL x, REAL y, REAL w, REAL h) {
        GpSolidFill* b = nullptr;
        if (!font || api.GdipCreateSolidFill(c, &b) != Ok) return;
        GpRectF r{x, y, w, h};
        WStrView ws = ToWStrTemp(text);
        api.GdipDrawString(g, (const WCHAR*)ws.s, ws.len, font, &r, fmt, b);
        api.GdipDeleteBrush(b);
    }

    void Logo(REAL x, REAL y, REAL size, float spinDegrees);
    // Draws all but the subtitle; returns the subtitle's top.
    REAL Header(int width, float a);
};

// Centred text drawn with GDI, which shapes and orders right-to-left scripts; GDI+ text
// under Wine leaves Arabic letters unjoined and in left-to-right order. The colour is
// blended over the header's blue when it is not opaque (only while the header fades in).
int CenteredText(HDC dc, StrView text, int px, ARGB argb, ARGB under, int y, int width, bool rtl) {
    unsigned alpha = argb >> 24;
    auto channel = [alpha](unsigned fg, unsigned bg) { return (fg * alpha + bg * (255 - alpha)) / 255; };
    COLORREF c = RGB(channel((argb >> 16) & 0xFF, (under >> 16) & 0xFF), channel((argb >> 8) & 0xFF, (under >> 8) & 0xFF),
                     channel(argb & 0xFF, under & 0xFF));
    WStrView face = ToWStrTemp(GetUiFaceName());
    HFONT font = CreateFontW(-px, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, (LPCWSTR)face.s);
    HGDIOBJ old = SelectObject(dc, font);
    WStrView w = ToWStrTemp(text);
    UINT flags = DT_CENTER | DT_NOPREFIX | DT_NOCLIP | DT_WORDBREAK | (rtl ? DT_RTLREADING : 0);
    RECT measure{0, y, width, y};
    DrawTextW(dc, (LPCWSTR)w.s, w.len, &measure, flags | DT_CALCRECT);
    RECT rc{0, y, width, measure.bottom};
    SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = SetTextColor(dc, c);
    DrawTextW(dc, (LPCWSTR)w.s, w.len, &rc, flags);
    SetTextColor(dc, oldColor);
    SelectObject(dc, old);
    DeleteObject(font);
    return measure.bottom - measure.top;
}

// The petal in the 64 x 64 design box, turned about its centre and placed.
void PagePainter::Logo(REAL x, REAL y, REAL size, float spinDegrees) {
    static const REAL petal[7][2] = {{32, 32}, {29, 19}, {38, 10}, {52, 13}, {43, 17}, {40, 26}, {45, 35}};
    REAL s = size / 64;
    for (int i = 0; i < 3; i++) {
        double rad = (i * 120.0 + spinDegrees) * 3.14159265358979323846 / 180.0;
        REAL cs = (REAL)cos(rad), sn = (REAL)sin(rad);
        gp::GpPointF p[7];
        for (int k2 = 0; k2 < 7; k2++) {
            REAL dx = petal[k2][0] - 32, dy = petal[k2][1] - 32;
            p[k2].X = x + (32 + dx * cs - dy * sn) * s;
            p[k2].Y = y + (32 + dx * sn + dy * cs) * s;
        }
        GpPath* path = nullptr;
        if (api.GdipCreatePath(Gdiplus::FillModeAlternate, &path) != Ok) continue;
        api.GdipAddPathBezier(path, p[0].X, p[0].Y, p[1].X, p[1].Y, p[2].X, p[2].Y, p[3].X, p[3].Y);
        api.GdipAddPathBezier(path, p[3].X, p[3].Y, p[4].X, p[4].Y, p[5].X, p[5].Y, p[6].X, p[6].Y);
        api.GdipClosePathFigure(path);
        FillPath(colors.headerTextArgb, path);
    }
    Fill(colors.headerArgb, x + 28.5f * s, y + 28.5f * s, 7 * s, 7 * s, true);
}

REAL PagePainter::Header(int width, float a) {
    REAL W = (REAL)width;
    REAL H = (REAL)Scale(150);
    Fill(colors.headerArgb, -1, 0, W + 2, H);
    if (colors.decorations) {
        api.GdipSetClipRect(g, -1, 0, W + 2, H, Gdiplus::CombineModeReplace);
        Fill(colors.ellipseTopLeftArgb, -60 * k, -90 * k, 190 * k, 190 * k, true);
        Fill(colors.ellipseBottomRightArgb, W - 110 * k, H - 70 * k, 150 * k, 150 * k, true);
        api.GdipResetClip(g);
    }

    ARGB textAlpha = (ARGB)HeaderTextAlpha(a) << 24;

    GpStringFormat* typographic = nullptr;
    GpStringFormat* generic = nullptr;
    if (api.GdipStringFormatGetGenericTypographic(&generic) == Ok &&
        api.GdipCloneStringFormat(generic, &typographic) == Ok) {
        int flags = 0;
        api.GdipGetStringFormatFlags(typographic, &flags);
        api.GdipSetStringFormatFlags(typographic, flags | Gdiplus::StringFormatFlagsNoWrap |
                                                      Gdiplus::StringFormatFlagsMeasureTrailingSpaces);
    }

    // Version badge.
    StrView version = str::FormatTemp("v%s", kProductVersion);
    GpFont* badgeFont = MakeFont(12 * k, Gdiplus::FontStyleRegular);
    GpRectF vm = Measure(version, badgeFont, typographic);
    REAL badgeW = vm.Width + 20 * k, badgeH = 20 * k;
    REAL bx = W - badgeW - 12 * k, by = 10 * k;
    GpPath* pill = nullptr;
    if (colors.decorations && api.GdipCreatePath(Gdiplus::FillModeAlternate, &pill) == Ok) {
        REAL d = 20 * k;
        api.GdipAddPathArc(pill, bx, by, d, d, 90, 180);
        api.GdipAddPathArc(pill, bx + badgeW - d, by, d, d, 270, 180);
        api.GdipClosePathFigure(pill);
        FillPath(colors.ellipseBottomRightArgb, pill);
    }
    Text(version, badgeFont, typographic, colors.headerTextArgb, bx + 10 * k, by + (badgeH - vm.Height) / 2, 0, 0);

    // Logo and name, centred as a group.
    GpFont* nameFont = MakeFont(40 * k, Gdiplus::FontStyleBold);
    GpRectF nm = Measure(kProductName, nameFont, typographic);
    REAL logo = 52 * k;
    REAL logoX = (W - (12 * k + logo + nm.Width)) / 2;
    REAL centre = H / 2 - 12 * k;
    Logo(logoX, centre - 26 * k, logo, LogoSpinDegrees(a));
    Text(kProductName, nameFont, typographic, textAlpha | (colors.headerTextArgb & 0xFFFFFF), logoX + logo + 12 * k, centre - nm.Height / 2, 0, 0);

    if (nameFont) api.GdipDeleteFont(nameFont);
    if (badgeFont) api.GdipDeleteFont(badgeFont);
    if (typographic) api.GdipDeleteStringFormat(typographic);
    return centre + 26 * k + 10 * k;
}
}  // namespace

GpFontFamily* CreateHeaderFontFamily(const Api& api, StrView face) {
    if (!api.ok) return nullptr;
    if (GpFontFamily* f = FamilyNamed(api, face)) return f;
    // Wine answers the generic family with null and success: check the family, not the status.
    GpFontFamily* f = nullptr;
    if (api.GdipGetGenericFontFamilySansSerif(&f) == Ok && f) return f;
    if ((f = FamilyNamed(api, GdiFaceForTemp(face)))) return f;
    return FamilyNamed(api, MessageFontFaceTemp());
}

StrView GetUiFaceName() {
    static const char* face = [] {
        const Api& api = gp::Get();
        GpFontFamily* f = nullptr;
        if (api.ok && api.GdipCreateFontFamilyFromName(L"Microsoft YaHei UI", nullptr, &f) == Ok && f) {
            api.GdipDeleteFontFamily(f);
            return "Microsoft YaHei UI";
        }
        return "Segoe UI";
    }();
    return face;
}

void DrawInstallerPage(HDC dc, int width, int height, bool notStarted, const PageMessage& message,
                       HeaderAnimation* header, const Api& api) {
    GpGraphics* g = nullptr;
    if (!api.ok || api.GdipCreateFromHDC(dc, &g) != Ok) {
        return;
    }
    api.GdipSetCompositingQuality(g, Gdiplus::CompositingQualityHighQuality);
    api.GdipSetSmoothingMode(g, Gdiplus::SmoothingModeAntiAlias);
    api.GdipSetPixelOffsetMode(g, Gdiplus::PixelOffsetModeHalf);
    api.GdipSetTextRenderingHint(g, Gdiplus::TextRenderingHintClearTypeGridFit);
    api.GdipSetPageUnit(g, Gdiplus::UnitPixel);

    StartHeaderAnimationOnce(header, (int64_t)TickCountMs());
    int dpi = gDpiX > 0 ? gDpiX : 96;
    float k = (float)dpi / 96.0f;
    float a = HeaderAnimationValue(*header, (int64_t)TickCountMs());
    bool rtl = IsCurrentLangRtl();
    PageColors colors = CurrentPageColors();
    REAL subtitleY = 0;
    {
        PagePainter page(api, g, k, rtl, colors);
        page.Fill(colors.pageArgb, -1, -1, (REAL)width + 2, (REAL)height + 2);
        subtitleY = page.Header(width, a);
    }
    api.GdipDeleteGraphics(g);

    // Subtitle: a message in white, else the tagline fading in with the name.
    StrView subtitle = message.HeaderSubtitle(notStarted);
    int subtitlePx = (int)(13 * k);
    if (subtitle.IsEmpty()) {
        ARGB alpha = (ARGB)HeaderTextAlpha(a) << 24;
        CenteredText(dc, GetTranslation(kProductTagline), subtitlePx, alpha | (colors.taglineArgb & 0xFFFFFF),
                     colors.headerArgb, (int)subtitleY, width, rtl);
    } else {
        CenteredText(dc, subtitle, subtitlePx, colors.headerTextArgb, colors.headerArgb, (int)subtitleY, width, rtl);
    }
    if (notStarted) {
        return;
    }
    // Messages below the header, the error text under the status message.
    int y = Scale(150) + Scale(26);
    int px = 15 * dpi / 96;
    StrView msg = message.Text();
    if (!msg.IsEmpty()) {
        y += CenteredText(dc, msg, px, MessageArgb(colors, message.Color()), colors.pageArgb, y, width, rtl) +
             Scale(5);
    }
    StrView err = message.Error();
    if (!err.IsEmpty()) {
        CenteredText(dc, err, px, colors.errorArgb, colors.pageArgb, y, width, rtl);
    }
}

void PaintInstallerWindow(HWND hwnd, bool notStarted, const PageMessage& message, HeaderAnimation* header,
                          VirtCtrlHost* host) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    int w = rc.right, h = rc.bottom;
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, w > 0 ? w : 1, h > 0 ? h : 1);
    HGDIOBJ oldBmp = SelectObject(mem, bmp);
    // The back buffer is drawn left to right; a right-to-left window gets its windowless
    // controls mirrored into it and the bits copied without mirroring them again.
    SetLayout(mem, 0);
    DrawInstallerPage(mem, w, h, notStarted, message, header);
    bool rtl = GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYOUTRTL;
    if (host) {
        SetBkMode(mem, TRANSPARENT);
        GdiPainter painter(mem);
        painter.SetRtl(rtl);
        painter.PushClip(Rect{0, 0, w, h});
        host->Paint(&painter);
        painter.PopClip();
        painter.SetRtl(false);
    }
    BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY | (rtl ? NOMIRRORBITMAP : 0));
    SelectObject(mem, oldBmp);
    DeleteObject(bmp);
    DeleteDC(mem);
    EndPaint(hwnd, &ps);
}
