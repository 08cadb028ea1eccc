#pragma once
// Window geometry as (x, y, width, height) rectangles.
#include <windows.h>

#include "base/str.h"
#include "ui/layout.h"

Rect ClientRect(HWND hwnd);
Rect WindowRect(HWND hwnd);  // screen coordinates
// Sets the client area's size through the window's styles; the position stays.
void SetClientSize(HWND hwnd, int dx, int dy);
// Centres over the parent (the owner), or over the desktop without one.
void CenterWindow(HWND hwnd);
// The rectangle moved (not resized, unless larger) into the work area of its monitor.
Rect MoveIntoWorkArea(Rect r);
// Moves the window so that it lies inside its monitor's work area.
void PullIntoWorkArea(HWND hwnd);
// Invalidates without erasing and updates, only when the window exists and is visible.
void RepaintWindow(HWND hwnd);
StrView GetWindowTextUtf8Temp(HWND hwnd);
