#pragma once
// The painter over a GDI device context; anti-aliased shapes through GDI+.
#include <windows.h>

#include "ui/gdiplus_api.h"
#include "ui/painter.h"

class GdiPainter : public Painter {
  public:
    explicit GdiPainter(HDC dc);
    ~GdiPainter() override;

    void FillRect(Rect r, Color c) override;
    void FillRectsAlpha(const Rect* rects, int n, Color c, uint8_t alpha, float outlineWidth, Color outline) override;
    void FillQuads(const PointF* pts, int n, Color c, uint8_t alpha, Color outline) override;
    void DrawFrame(Rect r, int thickness, Color c) override;
    void DrawDashedRect(Rect r, Color c) override;
    void FillRoundedRect(Rect r, int radius, Color fill, Color outline) override;
    void FillEllipse(Rect r, Color c, uint8_t alpha) override;
    void DrawBar(int x, int y, int length, int thickness, bool horizontal, Color c) override;
    void DrawLine(PointF a, PointF b, float width, Color c, uint8_t alpha) override;
    void DrawFocusRect(Rect r) override;
    void DrawTextInRect(Rect r, StrView text, uint32_t flags, Font* font, Color c) override;
    void DrawTextAt(int x, int y, StrView text, Font* font, Color c) override;
    Size MeasureText(StrView text, uint32_t flags, Font* font, int maxWidth) override;
    TextSpan MeasureTextPart(StrView text, int32_t start, int32_t len, uint32_t flags, Font* font) override;
    void DrawBitmap(void* hbitmap, Rect dst) override;
    void PushClip(Rect r) override;
    void PopClip() override;
    void SetRtl(bool rtl) override;

    HDC dc;

  private:
    // A GDI+ graphics on the DC, anti-aliased, in pixels, mirrored on a right-to-left DC.
    gp::GpGraphics* Graphics();
    void ReleaseGraphics();

    gp::GpGraphics* graphics_ = nullptr;
    int clipDepth_ = 0;
    int savedDc_[16] = {};
};

// DrawTextW flags for painter text flags.
UINT ToDrawTextFlags(uint32_t flags);
