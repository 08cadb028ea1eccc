#pragma once
// What windowless controls draw with. Colours are COLORREFs; a no-colour value draws
// nothing (for text: keeps the current text colour). Alpha comes separately.
#include <stdint.h>

#include "base/str.h"
#include "ui/color.h"
#include "ui/layout.h"

struct Font;

struct PointF {
    float x;
    float y;
};

// Text flags of DrawTextInRect and MeasureText.
enum PainterTextFlags : uint32_t {
    TextCenter = 0x01,
    TextRight = 0x02,
    TextEndEllipsis = 0x04,  // word ellipsis when multi-line
    TextRtlReading = 0x08,
    TextPathEllipsis = 0x10,
    TextVCenter = 0x40,
    TextNoClip = 0x80,
    TextWordWrap = 0x100,  // multi-line
};

// A horizontal stretch of a drawn text: from its offset to offset + dx.
struct TextSpan {
    int x = 0;
    int dx = 0;
};

class Painter {
  public:
    virtual ~Painter() = default;
    virtual void FillRect(Rect r, Color c) = 0;
    virtual void FillRectsAlpha(const Rect* rects, int n, Color c, uint8_t alpha, float outlineWidth, Color outline) = 0;
    // n quadrilaterals of four points each.
    virtual void FillQuads(const PointF* pts, int n, Color c, uint8_t alpha, Color outline) = 0;
    virtual void DrawFrame(Rect r, int thickness, Color c) = 0;
    virtual void DrawDashedRect(Rect r, Color c) = 0;
    // A plain rectangle when radius is not positive.
    virtual void FillRoundedRect(Rect r, int radius, Color fill, Color outline) = 0;
    virtual void FillEllipse(Rect r, Color c, uint8_t alpha) = 0;
    // A bar from (x, y) of the given length and thickness; no colour: the text colour.
    virtual void DrawBar(int x, int y, int length, int thickness, bool horizontal, Color c) = 0;
    virtual void DrawLine(PointF a, PointF b, float width, Color c, uint8_t alpha) = 0;
    virtual void DrawFocusRect(Rect r) = 0;
    virtual void DrawTextInRect(Rect r, StrView text, uint32_t flags, Font* font, Color c) = 0;
    virtual void DrawTextAt(int x, int y, StrView text, Font* font, Color c) = 0;
    // maxWidth <= 0: unbounded (single line).
    virtual Size MeasureText(StrView text, uint32_t flags, Font* font, int maxWidth) = 0;
    // Where the bytes [start, start + len) of a single-line text land when it is drawn with
    // these flags: the offset from the side the text starts on (its left in this painter's
    // coordinates, like MeasureText's width) and the width.
    virtual TextSpan MeasureTextPart(StrView text, int32_t start, int32_t len, uint32_t flags, Font* font) = 0;
    virtual void DrawBitmap(void* hbitmap, Rect dst) = 0;
    virtual void PushClip(Rect r) = 0;
    virtual void PopClip() = 0;
    virtual void SetRtl(bool rtl) = 0;
};
