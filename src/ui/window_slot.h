#pragma once
// A layout slot that places one native child window at a fixed size.
#include <windows.h>

#include "ui/layout.h"

struct WindowSlot : Spacer {
    HWND hwnd = nullptr;
    // When set and *deferBatch is a live BeginDeferWindowPos batch, moves join the batch and
    // the handle DeferWindowPos returns is stored back.
    HDWP* deferBatch = nullptr;
    bool mirror = false;

    WindowSlot(HWND w, int dx, int dy) : Spacer("hwnd-slot", dx, dy), hwnd(w) {}
    void SetBounds(Rect r) override;
};

// The window's rectangle in its parent's client coordinates (right-to-left parents
// included), as x, y, width, height.
Rect WindowRectInParent(HWND hwnd);
// With mirror set and a right-to-left parent, x counted from the parent's right edge.
Rect MirrorInRtlParent(HWND hwnd, Rect r, bool mirror);
