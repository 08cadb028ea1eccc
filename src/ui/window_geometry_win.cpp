#include "ui/window_geometry.h"

#include "base/arena.h"
#include "base/wide_win.h"

namespace {
Rect FromRECT(RECT rc) {
    return Rect{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
}
}  // namespace

Rect ClientRect(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return FromRECT(rc);
}

Rect WindowRect(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    return FromRECT(rc);
}

void SetClientSize(HWND hwnd, int dx, int dy) {
    RECT rc{0, 0, dx, dy};
    DWORD style = (DWORD)GetWindowLongW(hwnd, GWL_STYLE);
    DWORD exStyle = (DWORD)GetWindowLongW(hwnd, GWL_EXSTYLE);
    AdjustWindowRectEx(&rc, style, GetMenu(hwnd) != nullptr, exStyle);
    SetWindowPos(hwnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Rect MoveIntoWorkArea(Rect r) {
    RECT want{r.x, r.y, r.x + r.dx, r.y + r.dy};
    HMONITOR mon = MonitorFromRect(&want, MONITOR_DEFAULTTONEAREST);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    if (!GetMonitorInfoW(mon, &mi)) {
        return r;
    }
    Rect work = FromRECT(mi.rcWork);
    if (r.x + r.dx > work.x + work.dx) r.x = work.x + work.dx - r.dx;
    if (r.y + r.dy > work.y + work.dy) r.y = work.y + work.dy - r.dy;
    if (r.x < work.x) r.x = work.x;
    if (r.y < work.y) r.y = work.y;
    return r;
}

void PullIntoWorkArea(HWND hwnd) {
    Rect r = WindowRect(hwnd);
    Rect moved = MoveIntoWorkArea(r);
    if (moved.x != r.x || moved.y != r.y) {
        SetWindowPos(hwnd, nullptr, moved.x, moved.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CenterWindow(HWND hwnd) {
    HWND parent = GetWindow(hwnd, GW_OWNER);
    Rect outer = parent ? WindowRect(parent) : WindowRect(GetDesktopWindow());
    Rect r = WindowRect(hwnd);
    int x = outer.x + (outer.dx - r.dx) / 2;
    int y = outer.y + (outer.dy - r.dy) / 2;
    SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void RepaintWindow(HWND hwnd) {
    if (hwnd && IsWindow(hwnd) && IsWindowVisible(hwnd)) {
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateWindow(hwnd);
    }
}

StrView GetWindowTextUtf8Temp(HWND hwnd) {
    if (!hwnd) {
        return StrView();
    }
    int n = GetWindowTextLengthW(hwnd);
    if (n <= 0) {
        return StrView("");
    }
    WCHAR* buf = (WCHAR*)ArenaAlloc(GetTempArena(), sizeof(WCHAR) * (size_t)(n + 1), true);
    if (!buf) {
        return StrView();
    }
    int got = GetWindowTextW(hwnd, buf, n + 1);
    return U(buf, got);
}
