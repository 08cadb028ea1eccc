#include "ui/painter_gdi.h"

#include <usp10.h>

#include "base/system_lib.h"
#include "ui/font.h"

using gp::Api;
using gp::ARGB;
using gp::GpGraphics;
using gp::GpPath;
using gp::GpPen;
using gp::GpPointF;
using gp::GpRectF;
using gp::GpSolidFill;
using gp::REAL;
using Gdiplus::FillModeAlternate;
using Gdiplus::MatrixOrderAppend;
using Gdiplus::Ok;
using Gdiplus::SmoothingModeAntiAlias;
using Gdiplus::UnitPixel;

namespace {
ARGB Argb(Color c, uint8_t alpha) {
    return gp::ToArgb(c, alpha);
}

GpRectF ToRectF(Rect r) {
    return GpRectF{(REAL)r.x, (REAL)r.y, (REAL)r.dx, (REAL)r.dy};
}

int DcTargetWidth(HDC dc) {
    BITMAP bm{};
    HGDIOBJ bmp = GetCurrentObject(dc, OBJ_BITMAP);
    if (bmp && GetObjectW(bmp, sizeof(bm), &bm) && bm.bmWidth > 1) {
        return bm.bmWidth;
    }
    RECT rc{};
    GetClipBox(dc, &rc);
    return rc.right;
}

// A rounded rectangle as one closed path.
GpPath* RoundedPath(const Api& api, Rect r, int radius) {
    GpPath* path = nullptr;
    if (api.GdipCreatePath(FillModeAlternate, &path) != Ok) {
        return nullptr;
    }
    REAL d = (REAL)(2 * radius);
    REAL x = (REAL)r.x, y = (REAL)r.y, w = (REAL)r.dx, h = (REAL)r.dy;
    if (d > w) d = w;
    if (d > h) d = h;
    api.GdipAddPathArc(path, x, y, d, d, 180, 90);
    api.GdipAddPathArc(path, x + w - d, y, d, d, 270, 90);
    api.GdipAddPathArc(path, x + w - d, y + h - d, d, d, 0, 90);
    api.GdipAddPathArc(path, x, y + h - d, d, d, 90, 90);
    api.GdipClosePathFigure(path);
    return path;
}
}  // namespace

UINT ToDrawTextFlags(uint32_t flags) {
    UINT f = DT_NOPREFIX;
    bool multiLine = flags & TextWordWrap;
    bool ellipsis = flags & (TextEndEllipsis | TextPathEllipsis);
    if (multiLine) f |= DT_WORDBREAK;
    if (flags & TextEndEllipsis) f |= multiLine ? DT_WORD_ELLIPSIS : DT_END_ELLIPSIS;
    if (flags & TextPathEllipsis) f |= DT_PATH_ELLIPSIS;
    if ((ellipsis || (flags & TextVCenter)) && !multiLine) f |= DT_SINGLELINE;
    if (flags & TextVCenter) f |= DT_VCENTER;
    if (flags & TextCenter) f |= DT_CENTER;
    if (flags & TextRight) f |= DT_RIGHT;
    if (flags & TextRtlReading) f |= DT_RTLREADING;
    if (!(ellipsis || multiLine) || (flags & TextNoClip)) f |= DT_NOCLIP;
    return f;
}

GdiPainter::GdiPainter(HDC d) : dc(d) {}

GdiPainter::~GdiPainter() {
    ReleaseGraphics();
    while (clipDepth_ > 0) PopClip();
}

gp::GpGraphics* GdiPainter::Graphics() {
    const Api& api = gp::Get();
    if (graphics_ || !api.ok) {
        return graphics_;
    }
    if (api.GdipCreateFromHDC(dc, &graphics_) != Ok) {
        graphics_ = nullptr;
        return nullptr;
    }
    api.GdipSetSmoothingMode(graphics_, SmoothingModeAntiAlias);
    api.GdipSetPageUnit(graphics_, UnitPixel);
    if (GetLayout(dc) & LAYOUT_RTL) {
        api.GdipScaleWorldTransform(graphics_, -1, 1, MatrixOrderAppend);
        api.GdipTranslateWorldTransform(graphics_, (REAL)DcTargetWidth(dc), 0, MatrixOrderAppend);
    }
    return graphics_;
}

void GdiPainter::ReleaseGraphics() {
    if (graphics_) {
        gp::Get().GdipDeleteGraphics(graphics_);
        graphics_ = nullptr;
    }
}

void GdiPainter::FillRect(Rect r, Color c) {
    if (IsNoColor(c)) return;
    RECT rc{r.x, r.y, r.x + r.dx, r.y + r.dy};
    HBRUSH br = CreateSolidBrush(c);
    ::FillRect(dc, &rc, br);
    DeleteObject(br);
}

void GdiPainter::FillRectsAlpha(const Rect* rects, int n, Color c, uint8_t alpha, float outlineWidth, Color outline) {
    GpGraphics* g = Graphics();
    if (!g) return;
    const Api& api = gp::Get();
    GpSolidFill* brush = nullptr;
    GpPen* pen = nullptr;
    if (!IsNoColor(c)) api.GdipCreateSolidFill(Argb(c, alpha), &brush);
    if (!IsNoColor(outline) && outlineWidth > 0) api.GdipCreatePen1(Argb(outline, alpha), outlineWidth, UnitPixel, &pen);
    for (int i = 0; i < n; i++) {
        GpRectF f = ToRectF(rects[i]);
        if (brush) api.GdipFillRectangle(g, brush, f.X, f.Y, f.Width, f.Height);
        if (pen) api.GdipDrawRectangle(g, pen, f.X, f.Y, f.Width, f.Height);
    }
    if (brush) api.GdipDeleteBrush(brush);
    if (pen) api.GdipDeletePen(pen);
}

void GdiPainter::FillQuads(const PointF* pts, int n, Color c, uint8_t alpha, Color outline) {
    GpGraphics* g = Graphics();
    if (!g) return;
    const Api& api = gp::Get();
    GpSolidFill* brush = nullptr;
    GpPen* pen = nullptr;
    if (!IsNoColor(c)) api.GdipCreateSolidFill(Argb(c, alpha), &brush);
    if (!IsNoColor(outline)) api.GdipCreatePen1(Argb(outline, alpha), 1, UnitPixel, &pen);
    for (int i = 0; i < n; i++) {
        GpPointF q[4];
        for (int k = 0; k < 4; k++) q[k] = GpPointF{pts[i * 4 + k].x, pts[i * 4 + k].y};
        if (brush) api.GdipFillPolygon(g, brush, q, 4, FillModeAlternate);
        if (pen) api.GdipDrawPolygon(g, pen, q, 4);
    }
    if (brush) api.GdipDeleteBrush(brush);
    if (pen) api.GdipDeletePen(pen);
}

void GdiPainter::DrawFrame(Rect r, int t, Color c) {
    FillRect(Rect{r.x, r.y, r.dx, t}, c);
    FillRect(Rect{r.x, r.y + r.dy - t, r.dx, t}, c);
    FillRect(Rect{r.x, r.y + t, t, r.dy - 2 * t}, c);
    FillRect(Rect{r.x + r.dx - t, r.y + t, t, r.dy - 2 * t}, c);
}

void GdiPainter::DrawDashedRect(Rect r, Color c) {
    if (IsNoColor(c)) return;
    HPEN pen = CreatePen(PS_DOT, 1, c);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, r.x, r.y, r.x + r.dx, r.y + r.dy);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

void GdiPainter::FillRoundedRect(Rect r, int radius, Color fill, Color outline) {
    if (radius <= 0) {
        FillRect(r, fill);
        if (!IsNoColor(outline)) DrawFrame(r, 1, outline);
        return;
    }
    GpGraphics* g = Graphics();
    if (!g) return;
    const Api& api = gp::Get();
    GpPath* path = RoundedPath(api, r, radius);
    if (!path) return;
    if (!IsNoColor(fill)) {
        GpSolidFill* brush = nullptr;
        if (api.GdipCreateSolidFill(Argb(fill, 255), &brush) == Ok) {
            api.GdipFillPath(g, brush, path);
            api.GdipDeleteBrush(brush);
        }
    }
    if (!IsNoColor(outline)) {
        GpPen* pen = nullptr;
        if (api.GdipCreatePen1(Argb(outline, 255), 1, UnitPixel, &pen) == Ok) {
            api.GdipDrawPath(g, pen, path);
            api.GdipDeletePen(pen);
        }
    }
    api.GdipDeletePath(path);
}

void GdiPainter::FillEllipse(Rect r, Color c, uint8_t alpha) {
    GpGraphics* g = Graphics();
    if (!g || IsNoColor(c)) return;
    const Api& api = gp::Get();
    GpSolidFill* brush = nullptr;
    if (api.GdipCreateSolidFill(Argb(c, alpha), &brush) == Ok) {
        api.GdipFillEllipse(g, brush, (REAL)r.x, (REAL)r.y, (REAL)r.dx, (REAL)r.dy);
        api.GdipDeleteBrush(brush);
    }
}

void GdiPainter::DrawBar(int x, int y, int length, int thickness, bool horizontal, Color c) {
    if (IsNoColor(c)) c = GetTextColor(dc);
    FillRect(horizontal ? Rect{x, y, length, thickness} : Rect{x, y, thickness, length}, c);
}

void GdiPainter::DrawLine(PointF a, PointF b, float width, Color c, uint8_t alpha) {
    GpGraphics* g = Graphics();
    if (!g || IsNoColor(c)) return;
    const Api& api = gp::Get();
    GpPen* pen = nullptr;
    if (api.GdipCreatePen1(Argb(c, alpha), width, UnitPixel, &pen) == Ok) {
        api.GdipDrawLine(g, pen, a.x, a.y, b.x, b.y);
        api.GdipDeletePen(pen);
    }
}

void GdiPainter::DrawFocusRect(Rect r) {
    RECT rc{r.x, r.y, r.x + r.dx, r.y + r.dy};
    ::DrawFocusRect(dc, &rc);
}

void GdiPainter::DrawTextInRect(Rect r, StrView text, uint32_t flags, Font* font, Color c) {
    RECT rc{r.x, r.y, r.x + r.dx, r.y + r.dy};
    HGDIOBJ old = font ? SelectObject(dc, font->GetHFONT()) : nullptr;
    COLORREF oldColor = IsNoColor(c) ? 0 : SetTextColor(dc, c);
    WStrView w = ToWStrTemp(text);
    ::DrawTextW(dc, (const WCHAR*)w.s, w.len, &rc, ToDrawTextFlags(flags));
    if (!IsNoColor(c)) SetTextColor(dc, oldColor);
    if (old) SelectObject(dc, old);
}

void GdiPainter::DrawTextAt(int x, int y, StrView text, Font* font, Color c) {
    DrawTextInRect(Rect{x, y, 0, 0}, text, TextNoClip, font, c);
}

Size GdiPainter::MeasureText(StrView text, uint32_t flags, Font* font, int maxWidth) {
    RECT rc{0, 0, maxWidth > 0 ? maxWidth : 0, 0};
    HGDIOBJ old = font ? SelectObject(dc, font->GetHFONT()) : nullptr;
    WStrView w = ToWStrTemp(text);
    UINT f = (ToDrawTextFlags(flags) | DT_CALCRECT) & ~(UINT)(DT_VCENTER | DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS);
    if (maxWidth <= 0) f &= ~(UINT)DT_WORDBREAK;
    if (w.len > 0) {
        ::DrawTextW(dc, (const WCHAR*)w.s, w.len, &rc, f);
    } else {
        ::DrawTextW(dc, L"M", 1, &rc, f);
        rc.right = rc.left;
    }
    if (old) SelectObject(dc, old);
    return Size{rc.right - rc.left, rc.bottom - rc.top};
}

namespace {
#define VL_USP10_FUNCTIONS(X) X(ScriptStringAnalyse) X(ScriptStringCPtoX) X(ScriptString_pSize) X(ScriptStringFree)
VL_SYSTEM_API(UniscribeApi, L"usp10.dll", VL_USP10_FUNCTIONS)

// The part's left and right edges, in pixels from the visual left of the whole text, laid out
// as GDI draws it right to left: reordered by the bidirectional rules on a right-to-left base.
bool RtlPartEdges(HDC dc, WStrView w, int first, int n, int* left, int* right, int* whole) {
    const UniscribeApi& usp = UniscribeApi::Get();
    if (!usp.ok) {
        return false;
    }
    SCRIPT_STRING_ANALYSIS ssa = nullptr;
    SCRIPT_STATE state{};
    state.uBidiLevel = 1;
    HRESULT hr = usp.ScriptStringAnalyse(dc, w.s, w.len, w.len * 3 / 2 + 16, -1,
                                         SSA_GLYPHS | SSA_FALLBACK | SSA_RTL, 0, nullptr, &state, nullptr, nullptr,
                                         nullptr, &ssa);
    if (FAILED(hr)) {
        return false;
    }
    int a = 0, b = 0;
    bool ok = SUCCEEDED(usp.ScriptStringCPtoX(ssa, first, FALSE, &a)) &&
              SUCCEEDED(usp.ScriptStringCPtoX(ssa, first + n - 1, TRUE, &b));
    const SIZE* size = usp.ScriptString_pSize(ssa);
    *whole = size ? size->cx : 0;
    *left = a < b ? a : b;
    *right = a < b ? b : a;
    usp.ScriptStringFree(&ssa);
    return ok && size;
}
}  // namespace

TextSpan GdiPainter::MeasureTextPart(StrView text, int32_t start, int32_t len, uint32_t flags, Font* font) {
    StrView before(text.s, start);
    StrView part = str::DupTemp(StrView(text.s + start, len));
    if (!(flags & TextRtlReading)) {
        // Left to right the part starts where the text before it ends.
        return TextSpan{MeasureText(before, 0, font, 0).dx, MeasureText(part, 0, font, 0).dx};
    }
    // Right to left the text before the part is not what lies to its left: Latin runs inside
    // Arabic keep their own order, so the part is found in the reordered line.
    WStrView w = ToWStrTemp(text);
    int first = ToWStrTemp(before).len;
    int n = ToWStrTemp(part).len;
    HGDIOBJ old = font ? SelectObject(dc, font->GetHFONT()) : nullptr;
    int left = 0, right = 0, whole = 0;
    bool ok = n > 0 && RtlPartEdges(dc, w, first, n, &left, &right, &whole);
    if (old) SelectObject(dc, old);
    if (!ok) {
        return TextSpan{};
    }
    // A mirrored context starts the text at its right edge: count from there.
    if (GetLayout(dc) & LAYOUT_RTL) return TextSpan{whole - right, right - left};
    return TextSpan{left, right - left};
}

// Stretched to the destination.
void GdiPainter::DrawBitmap(void* hbitmap, Rect dst) {
    if (!hbitmap) return;
    BITMAP bm{};
    if (!GetObjectW((HBITMAP)hbitmap, sizeof(bm), &bm)) return;
    HDC src = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(src, (HBITMAP)hbitmap);
    SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, dst.x, dst.y, dst.dx, dst.dy, src, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
    SelectObject(src, old);
    DeleteDC(src);
}

void GdiPainter::PushClip(Rect r) {
    ReleaseGraphics();
    int saved = SaveDC(dc);
    if (clipDepth_ < (int)(sizeof(savedDc_) / sizeof(savedDc_[0]))) {
        savedDc_[clipDepth_] = saved;
    }
    clipDepth_++;
    IntersectClipRect(dc, r.x, r.y, r.x + r.dx, r.y + r.dy);
}

void GdiPainter::PopClip() {
    if (clipDepth_ == 0) return;
    ReleaseGraphics();
    clipDepth_--;
    if (clipDepth_ < (int)(sizeof(savedDc_) / sizeof(savedDc_[0]))) {
        RestoreDC(dc, savedDc_[clipDepth_]);
    }
}

void GdiPainter::SetRtl(bool rtl) {
    ReleaseGraphics();
    SetLayout(dc, rtl ? LAYOUT_RTL : 0);
}
