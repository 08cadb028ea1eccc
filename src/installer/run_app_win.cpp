// The main thread's message loop while the installer window lives.
#include <windows.h>

#include "base/clock.h"
#include "installer/free_files.h"
#include "installer/header_anim.h"
#include "installer/installation.h"
#include "installer/installer_window.h"
#include "installer/installer_window_internal.h"
#include "installer/window_rules.h"
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
void FrameTick(HWND hwnd, HeaderAnimation* header) {
    if (!header->animating) {
        return;
    }
    StopHeaderAnimationIfDone(header, (int64_t)TickCountMs());
    if (IsWindowVisible(hwnd)) {
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateWindow(hwnd);
    }
}

// False once WM_QUIT came, with its code in *exitCode.
bool HandleQueuedMessages(const InstallerRun& run, int* exitCode) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            *exitCode = (int)msg.wParam;
            return false;
        }
        // Null once the window was destroyed, before the loop sees WM_QUIT.
        HWND dialog = run.window;
        if (dialog && IsDialogMessageW(dialog, &msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}
}  // namespace

// The loop sleeps whenever nothing moves: frames run only while the header animates, and
// otherwise it wakes for a message or for the next check that no program holds the
// installation's files (every 10 seconds until the installation starts). An idle window
// that woke sixty times a second kept the Wine server busy for nothing.
int RunApp(const InstallerRun& run) {
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    int64_t ticksPerMs = freq.QuadPart / 1000;
    int64_t framePeriod = freq.QuadPart / kFramesPerSecond;
    int64_t lastFrame = Now();
    int64_t lastHolderCheck = lastFrame;
    bool framesRunning = false;
    int exitCode = 0;
    for (;;) {
        if (!HandleQueuedMessages(run, &exitCode)) {
            return exitCode;
        }
        int64_t now = Now();
        bool checking = !run.started;
        if (checking && (now - lastHolderCheck) / ticksPerMs >= kHolderCheckMs) {
            CheckInstallUninstallPossible(run.window, &InstallerWndFromHwnd(run.window)->page, true);
            lastHolderCheck = now;
            continue;  // the check may have shown or hidden something: messages first
        }
        // The window's record goes with the window, before the loop ends.
        InstallerWnd* wnd = InstallerWndFromHwnd(run.window);
        bool animating = wnd && wnd->header.animating;
        if (!animating || !framesRunning) {
            lastFrame = now;  // the first frame of an animation comes one period after it starts
        }
        framesRunning = animating;
        int64_t frameMs = MsUntilNextFrame(now, lastFrame, framePeriod, ticksPerMs);
        if (animating && frameMs == 0) {
            FrameTick(run.window, &wnd->header);
            lastFrame += framePeriod;
            continue;
        }
        int64_t sleep = LoopSleepMs(animating, frameMs, checking, (now - lastHolderCheck) / ticksPerMs, kHolderCheckMs);
        MsgWaitForMultipleObjectsEx(0, nullptr, sleep == kSleepUntilMessage ? INFINITE : (DWORD)sleep, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}
