// The yardstick for the installer window's start: an empty MinGW window that reports, at
// its first paint, the milliseconds since its process was created (as the installer logs
// them), then closes. With "stay <seconds>" it stays open and idle that long after its
// first paint instead: the yardstick for the idle window's cost.
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int64_t Ticks(FILETIME t) {
    return ((int64_t)t.dwHighDateTime << 32) | t.dwLowDateTime;
}

static UINT gStaySeconds = 0;

static void ReportFirstPaint() {
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimeAsFileTime(&now);
    printf("first paint %lld ms after the process started\n", (long long)((Ticks(now) - Ticks(created)) / 10000));
    fflush(stdout);
}

static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    static bool painted = false;
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        if (!painted) {
            painted = true;
            ReportFirstPaint();
            if (gStaySeconds) {
                SetTimer(hwnd, 1, gStaySeconds * 1000, nullptr);
            } else {
                DestroyWindow(hwnd);
            }
        }
        return 0;
    }
    if (msg == WM_TIMER) {
        DestroyWindow(hwnd);
        return 0;
    }
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "stay") == 0) {
        gStaySeconds = (UINT)atoi(argv[2]);
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"EMPTY_WINDOW";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, L"EMPTY_WINDOW", L"empty", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 460,
                                290, nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        DispatchMessageW(&m);
    }
    return 0;
}
