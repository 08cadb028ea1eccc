#pragma once
#include <windows.h>

struct WindowDpi {
    int x = 0;
    int y = 0;
};

// Unrounded DPI of a window (null: no window).
WindowDpi QueryWindowDpi(HWND hwnd);
// Stores and returns the rounded DPI of the window's root window.
int UpdateDpiForWindow(HWND hwnd);
void InitDpiAtStartup();
