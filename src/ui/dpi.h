#pragma once
// The DPI model of the UI: which DPI applies, how it is overridden and rounded, and how
// DPI-independent lengths are scaled.

// From TOVARIN_DPI_OVERRIDE: a percentage from 50 to 500, optionally after "legacy:".
struct DpiOverride {
    int percent = 0;  // 0: none
    bool legacy = false;
};

DpiOverride ParseDpiOverride(const char* value);
// Stored DPIs are multiples of 4; 0 and below become 96.
int RoundDpiForStore(int dpi);
int DpiForPercent(int percent);  // MulDiv(96, percent, 100)

// The stored DPI, initially 96 x 96. Process-wide on purpose, as the system's DPI awareness
// is: every length of the toolkit scales by it, and each window procedure stores its own
// window's DPI here for the length of one message (DpiScope), so that no layout or paint
// call needs a DPI handed down to it. Read and written on the windows' thread only.
extern int gDpiX;
extern int gDpiY;

// v scaled by the stored horizontal DPI over 96.
int Scale(int v);

struct ScaledSize {
    int dx;
    int dy;
};
// Width by the horizontal, height by the vertical stored DPI.
ScaledSize ScaleSize(int dx, int dy);
