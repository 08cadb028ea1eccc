#pragma once
// Waiting for the installer window as a person would: visible, and its process done with
// what it queued before it first waited for input. The window shows before all of its page
// is made (the option check boxes follow its first paint), so visible alone is too early.
#include <windows.h>

// The window, or null when it did not show within ms.
inline HWND WaitForReadyInstallerWindow(DWORD ms) {
    HWND window = nullptr;
    for (DWORD waited = 0;; waited += 20) {
        window = FindWindowW(L"VLPDF_INSTALLER_FRAME", nullptr);
        if (window && IsWindowVisible(window)) break;
        if (waited >= ms) return nullptr;
        Sleep(20);
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, pid);
    if (process) {
        WaitForInputIdle(process, ms);
        CloseHandle(process);
    }
    return window;
}
