// Test helper that drives another process's window the way a user would.
//   ui_driver <class> <title> <action> [timeoutMs]
// Waits for a top-level window of that class and title, prints "found", then every child
// window as "<class>|<text>" (texts read with WM_GETTEXT, line breaks as \n), then acts:
//   escape   presses Escape in the window's focused control and waits for the window to go
//   wait     waits for the window to go by itself
// and prints "closed" once it is gone. Exit code 0 when all of that happened, else 1.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string>

#include "command_groups.h"


static BOOL CALLBACK PrintChild(HWND hwnd, LPARAM) {
    wchar_t cls[128] = {};
    GetClassNameW(hwnd, cls, 128);
    static wchar_t text[16384];
    text[0] = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 16384, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, nullptr);
    std::string t = Utf8(text);
    std::string escaped;
    for (char c : t) {
        if (c == '\n') {
            escaped += "\\n";
        } else if (c != '\r') {
            escaped += c;
        }
    }
    printf("%s|%s\n", Utf8(cls).c_str(), escaped.c_str());
    return TRUE;
}

static bool WaitGone(HWND hwnd, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) {
            return true;
        }
        Sleep(50);
    }
    return false;
}

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        return 2;
    }
    DWORD timeoutMs = argc > 4 ? (DWORD)_wtoi(argv[4]) : 20000;
    std::wstring action = argv[3];
    HWND hwnd = nullptr;
    for (DWORD waited = 0; !hwnd && waited < timeoutMs; waited += 50) {
        hwnd = FindWindowW(argv[1], argv[2]);
        if (!hwnd || !IsWindowVisible(hwnd)) {
            hwnd = nullptr;
            Sleep(50);
        }
    }
    if (!hwnd) {
        printf("not found\n");
        return 1;
    }
    printf("found\n");
    EnumChildWindows(hwnd, PrintChild, 0);
    fflush(stdout);
    if (action == L"escape") {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
        HWND target = (GetGUIThreadInfo(thread, &info) && info.hwndFocus) ? info.hwndFocus : hwnd;
        PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    }
    if (!WaitGone(hwnd, timeoutMs)) {
        printf("still open\n");
        return 1;
    }
    printf("closed\n");
    return 0;
}
