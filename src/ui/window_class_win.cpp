#include "ui/window_class.h"

namespace {
struct CachedCursor {
    LPCWSTR id;
    HCURSOR cursor;
};
CachedCursor gCursors[16];
}  // namespace

HCURSOR GetCachedCursor(LPCWSTR id) {
    for (CachedCursor& c : gCursors) {
        if (c.id == id) {
            return c.cursor;
        }
        if (!c.id) {
            c.cursor = LoadCursorW(nullptr, id);
            if (c.cursor) c.id = id;
            return c.cursor;
        }
    }
    return LoadCursorW(nullptr, id);
}

WNDCLASSEXW StandardWindowClass(const WCHAR* className, WNDPROC proc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = GetCachedCursor(IDC_ARROW);
    wc.lpszClassName = className;
    return wc;
}
