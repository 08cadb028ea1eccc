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

// Every window procedure of the UI keeps the stored DPI of the window it handles for the
// length of one message and then puts back what was there, so one window's message never
// leaves its DPI behind for another.
class DpiScope {
  public:
    explicit DpiScope(HWND hwnd);
    ~DpiScope();
    DpiScope(const DpiScope&) = delete;
    DpiScope& operator=(const DpiScope&) = delete;
    // The values stored during the message stay (a DPI change the window was told about).
    void Keep() { keep_ = true; }

  private:
    int savedX_;
    int savedY_;
    bool keep_ = false;
};
