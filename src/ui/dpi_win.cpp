#include "ui/dpi_win.h"

#include <stdlib.h>

#include "base/system_lib.h"
#include "ui/dpi.h"

namespace {
constexpr int kMonitorDpiEffective = 0;  // MDT_EFFECTIVE_DPI

const DpiOverride& Override() {
    static const DpiOverride o = ParseDpiOverride(getenv("TOVARIN_DPI_OVERRIDE"));
    return o;
}

// Step c of the query: the monitor's effective DPI, when the platform has it.
bool MonitorDpi(HMONITOR monitor, WindowDpi* out) {
    UINT x = 0, y = 0;
    if (!gPlatform.getDpiForMonitor || !monitor || FAILED(gPlatform.getDpiForMonitor(monitor, kMonitorDpiEffective, &x, &y)) ||
        x < 72) {
        return false;
    }
    out->x = (int)x;
    out->y = y >= 72 ? (int)y : (int)x;
    return true;
}

WindowDpi DeviceContextDpi(HWND hwnd) {
    WindowDpi d;
    HDC dc = GetDC(hwnd);
    if (dc) {
        d.x = GetDeviceCaps(dc, LOGPIXELSX);
        d.y = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(hwnd, dc);
    }
    const DpiOverride& o = Override();
    if (o.legacy && o.percent > 0) {
        d.x = d.y = DpiForPercent(o.percent);
    }
    if (d.x < 72) {
        HDC screen = GetDC(nullptr);
        d.x = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
        d.y = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
        if (screen) ReleaseDC(nullptr, screen);
        if (d.x < 72) {
            d.x = d.y = 96;
        }
    }
    if (d.y < 72) {
        d.y = d.x;
    }
    return d;
}
}  // namespace

WindowDpi QueryWindowDpi(HWND hwnd) {
    const DpiOverride& o = Override();
    if (hwnd && hwnd != GetDesktopWindow()) {
        if (o.percent > 0) {
            int d = DpiForPercent(o.percent);
            return {d, d};
        }
        HWND root = GetAncestor(hwnd, GA_ROOT);
        if (root && !IsWindowVisible(root)) {
            int x = gDpiX > 0 ? gDpiX : 96;
            return {x, gDpiY > 0 ? gDpiY : x};
        }
        WindowDpi d;
        if (!o.legacy && MonitorDpi(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &d)) {
            return d;
        }
        if (gPlatform.getDpiForWindow) {
            int v = (int)gPlatform.getDpiForWindow(hwnd);
            if (v >= 72) {
                return {v, v};
            }
        }
    }
    return DeviceContextDpi(hwnd);
}

int UpdateDpiForWindow(HWND hwnd) {
    HWND w = hwnd;
    if (w && w != GetDesktopWindow()) {
        w = GetAncestor(hwnd, GA_ROOT);
    }
    WindowDpi d = QueryWindowDpi(w);
    gDpiX = RoundDpiForStore(d.x > 0 ? d.x : 96);
    gDpiY = RoundDpiForStore(d.y > 0 ? d.y : d.x);
    return gDpiX;
}

void InitDpiAtStartup() {
    POINT cursor;
    if (!GetCursorPos(&cursor)) {
        UpdateDpiForWindow(GetDesktopWindow());
        return;
    }
    const DpiOverride& o = Override();
    int d = 0;
    WindowDpi monitor;
    if (o.percent > 0 && !o.legacy) {
        d = DpiForPercent(o.percent);
    } else if (!o.legacy && MonitorDpi(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor)) {
        d = monitor.x;
    } else {
        d = QueryWindowDpi(nullptr).x;
    }
    gDpiX = gDpiY = RoundDpiForStore(d);
}

DpiScope::DpiScope(HWND hwnd) : savedX_(gDpiX), savedY_(gDpiY) {
    UpdateDpiForWindow(hwnd);
}

DpiScope::~DpiScope() {
    if (!keep_) {
        gDpiX = savedX_;
        gDpiY = savedY_;
    }
}
