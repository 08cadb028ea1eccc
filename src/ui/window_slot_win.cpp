#include "ui/window_slot.h"

Rect WindowRectInParent(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    HWND parent = GetParent(hwnd);
    // Two points: MapWindowPoints swaps left and right for a right-to-left parent.
    MapWindowPoints(HWND_DESKTOP, parent, (POINT*)&rc, 2);
    return Rect{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
}

Rect MirrorInRtlParent(HWND hwnd, Rect r, bool mirror) {
    HWND parent = GetParent(hwnd);
    if (mirror && parent && (GetWindowLongW(parent, GWL_EXSTYLE) & WS_EX_LAYOUTRTL)) {
        RECT client{};
        GetClientRect(parent, &client);
        r.x = client.right - r.x - r.dx;
    }
    return r;
}

void WindowSlot::SetBounds(Rect r) {
    lastBounds = r;
    if (!hwnd || visibility == Collapse) {
        return;
    }
    r = MirrorInRtlParent(hwnd, r, mirror);
    Rect cur = WindowRectInParent(hwnd);
    if (cur.x == r.x && cur.y == r.y && cur.dx == r.dx && cur.dy == r.dy) {
        return;
    }
    if (deferBatch && *deferBatch) {
        *deferBatch = DeferWindowPos(*deferBatch, hwnd, nullptr, r.x, r.y, r.dx, r.dy,
                                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
        return;
    }
    MoveWindow(hwnd, r.x, r.y, r.dx, r.dy, TRUE);
}
