#include "ui/uitask.h"

#include "base/log.h"
#include "base/log_system.h"

namespace uitask {
namespace {
UINT gDispatchMsg = 0;
HWND gDispatchWnd = nullptr;
}  // namespace

HWND DispatchWindow() {
    return gDispatchWnd;
}

UINT DispatchMessageId() {
    return gDispatchMsg;
}

// Posting and running tasks come with the window's controls, their only users; until
// then the window answers every message by default.
LRESULT CALLBACK WndProcTaskDispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(hwnd, msg, wp, lp);
}

bool Initialize() {
    gDispatchMsg = RegisterWindowMessageA("UITask_Msg_StdFunction");
    if (gDispatchMsg == 0) {
        Log("uitask::Initialize: RegisterWindowMessageA() failed\n");
        LogLastError();
        return false;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WndProcTaskDispatch;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
    wc.lpszClassName = L"UITask_Wnd_Class";
    if (!RegisterClassExW(&wc)) {
        Log("uitask::Initialize: RegisterClassExW() failed\n");
        LogLastError();
        return false;
    }
    gDispatchWnd = CreateWindowExW(0, L"UITask_Wnd_Class", L"UITask Dispatch Window", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                   nullptr, instance, nullptr);
    if (!gDispatchWnd) {
        Log("uitask::Initialize: CreateWindowExW() failed\n");
        LogLastError();
        return false;
    }
    return true;
}
}  // namespace uitask
