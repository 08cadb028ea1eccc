#pragma once
// The class record every window class of the UI is registered with, and the system
// cursors, loaded once each.
#include <windows.h>

// CS_HREDRAW | CS_VREDRAW, the program's instance, the arrow cursor; no background brush,
// no menu, no icon (the caller may set one).
WNDCLASSEXW StandardWindowClass(const WCHAR* className, WNDPROC proc);

// A system cursor (IDC_ARROW, IDC_HAND, ...), loaded on first use.
HCURSOR GetCachedCursor(LPCWSTR id);
