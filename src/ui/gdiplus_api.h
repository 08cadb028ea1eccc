#pragma once
// GDI+ through the copy of gdiplus.dll that start-up loads from the system directory: the
// flat functions are looked up by name instead of imported, so the loader never searches
// the program's own folder for the library.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#define VL_GDIPLUS_FUNCTIONS(X)                                                                              \
    X(GdipCreateFromHDC) X(GdipDeleteGraphics) X(GdipSetCompositingQuality) X(GdipSetSmoothingMode)          \
    X(GdipSetPixelOffsetMode) X(GdipSetTextRenderingHint) X(GdipSetPageUnit) X(GdipCreateSolidFill)         \
    X(GdipDeleteBrush) X(GdipFillRectangle) X(GdipDrawRectangle) X(GdipFillEllipse) X(GdipSetClipRect)      \
    X(GdipResetClip) X(GdipCreatePath) X(GdipDeletePath) X(GdipAddPathBezier) X(GdipAddPathArc)             \
    X(GdipClosePathFigure) X(GdipFillPath) X(GdipDrawPath) X(GdipTranslateWorldTransform)                    \
    X(GdipRotateWorldTransform) X(GdipScaleWorldTransform) X(GdipResetWorldTransform)                        \
    X(GdipCreateFontFamilyFromName) X(GdipGetGenericFontFamilySansSerif) X(GdipDeleteFontFamily)           \
    X(GdipCreateFont) X(GdipDeleteFont) X(GdipGetLogFontW) X(GdipStringFormatGetGenericTypographic)         \
    X(GdipCloneStringFormat) X(GdipCreateStringFormat) X(GdipSetStringFormatAlign)                           \
    X(GdipSetStringFormatFlags) X(GdipGetStringFormatFlags) X(GdipDeleteStringFormat) X(GdipMeasureString) \
    X(GdipDrawString) X(GdipCreatePen1) X(GdipDeletePen) X(GdipDrawLine) X(GdipFillPolygon)                  \
    X(GdipDrawPolygon)

namespace gp {
using namespace Gdiplus;

struct Api {
#define VL_GDIPLUS_MEMBER(name) decltype(&DllExports::name) name = nullptr;
    VL_GDIPLUS_FUNCTIONS(VL_GDIPLUS_MEMBER)
#undef VL_GDIPLUS_MEMBER
    bool ok = false;  // every function was found
};

// Resolved on first use from the loaded gdiplus.dll (loaded from the system directory if
// nothing has loaded it yet). Callers check ok, or the one function they use.
const Api& Get();

// Starts GDI+ once for the process, before any window exists; false when it cannot.
bool Startup();
void Shutdown();

// ARGB from a COLORREF (0x00BBGGRR) and an alpha.
inline ARGB ToArgb(COLORREF c, BYTE alpha) {
    return ((ARGB)alpha << 24) | ((ARGB)GetRValue(c) << 16) | ((ARGB)GetGValue(c) << 8) | GetBValue(c);
}
}  // namespace gp
