// The main thread's message loop while the installer window lives.
#include <windows.h>

#include "installer/free_files.h"
#include "installer/installer_thread.h"
#include "installer/installer_window.h"
#include "installer/installer_window_internal.h"
#include "installer/window_rules.h"
#include "ui/header_anim.h"
#include "ui/window_geometry.h"

namespace {
constexpr int64_t kFramesPerSecond = 60;
constexpr int64_t kHolderCheckMs = 10000;

int64_t Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

// While the header's entrance runs, every frame repaints; afterwards frames cost nothing.
void FrameTick() {
    if (!gHeaderAnimation.animating) {
        return;
    }
    StopHeaderAnimationIfDone(gPaintClockMs());
    HWND hwnd = gWnd ? gWnd->hwnd : nullptr;
    if (hwnd && IsWindowVisible(hwnd)) {
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateWindow(hwnd);
    }
}

// False once WM_QUIT came, with its code in *exitCode.
bool HandleQueuedMessages(int* exitCode) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            *exitCode = (int)msg.wParam;
            return false;
        }
        HWND dialog = gWnd ? gWnd->hwnd : nullptr;
        if (dialog && IsDialogMessageW(dialog, &msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}
}  // namespace

int RunApp() {
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    int64_t ticksPerMs = freq.QuadPart / 1000;
    int64_t framePeriod = freq.QuadPart / kFramesPerSecond;
    int64_t lastFrame = Now();
    int64_t lastHolderCheck = lastFrame;
    int exitCode = 0;
    for (;;) {
        int64_t now = Now();
        int64_t msLeft = MsUntilNextFrame(now, lastFrame, framePeriod, ticksPerMs);
        if (msLeft == 0) {
            FrameTick();
            lastFrame += framePeriod;
        } else {
            DWORD res = MsgWaitForMultipleObjects(0, nullptr, TRUE, (DWORD)msLeft, QS_ALLINPUT);
            if (res == WAIT_TIMEOUT) {
                FrameTick();
                lastFrame += framePeriod;
            }
        }
        if (!HandleQueuedMessages(&exitCode)) {
            return exitCode;
        }
        now = Now();
        if (!gInstallStarted && (now - lastHolderCheck) / ticksPerMs > kHolderCheckMs) {
            CheckInstallUninstallPossible(gWnd ? gWnd->hwnd : nullptr, true);
            lastHolderCheck = now;
        }
    }
}
