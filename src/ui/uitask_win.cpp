#include "ui/uitask.h"

#include <stdlib.h>

#include <atomic>

#include "base/clock.h"
#include "base/log.h"
#include "base/log_system.h"
#include "ui/uitask_kinds.h"
#include "ui/window_class.h"

namespace uitask {
namespace {
UINT gDispatchMsg = 0;
HWND gDispatchWnd = nullptr;

// The heap record that travels as the message's lParam.
struct UITask {
    void (*fn)(void*);
    void* arg;
    const char* kind;
    int64_t enqueueTime;
};

// One cleared record kept for reuse; touched only by atomic exchange, so a record never
// has two users. A burst of posts allocates; only the record released last stays.
std::atomic<UITask*> gSpare{nullptr};

UITask* TakeRecord() {
    UITask* t = gSpare.exchange(nullptr);
    return t ? t : (UITask*)calloc(1, sizeof(UITask));
}

void ReleaseRecord(UITask* t) {
    *t = UITask{};
    free(gSpare.exchange(t));
}

void Run(UITask* t) {
    double ms = QueueTimeMs(t->enqueueTime, PerfCounterNow(), PerfCounterFrequency());
    const char* kind = KindText(t->kind);
    if (!IsQuietKind(kind)) {
        Logf("uitask::WndProcTaskDispatch: will execute '%s', 0x%p, queued for %.3f ms\n", kind, (void*)t, ms);
        if (t->fn) t->fn(t->arg);
        Logf("uitask::WndProcTaskDispatch: did execute 0x%p\n", (void*)t);
        return;
    }
    if (ms >= kSlowDispatchMs) {
        Logf("uitask::WndProcTaskDispatch: slow dispatch of '%s', queued for %.3f ms\n", kind, ms);
    }
    if (t->fn) t->fn(t->arg);
}
}  // namespace

HWND DispatchWindow() {
    return gDispatchWnd;
}

const void* SpareRecord() {
    return gSpare.load();
}

void Post(TaskFunc fn, const char* kind) {
    if (!gDispatchWnd) {
        return;
    }
    UITask* t = TakeRecord();
    if (!t) {
        return;
    }
    t->fn = fn.fn;
    t->arg = fn.arg;
    t->kind = kind;
    t->enqueueTime = PerfCounterNow();
    if (!PostMessageW(gDispatchWnd, gDispatchMsg, 0, (LPARAM)t)) {
        ReleaseRecord(t);
    }
}

LRESULT CALLBACK WndProcTaskDispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != gDispatchMsg || gDispatchMsg == 0) {
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    UITask* t = (UITask*)lp;
    if (t) {
        Run(t);
        ReleaseRecord(t);
    }
    return 0;
}

bool Initialize() {
    gDispatchMsg = RegisterWindowMessageA("UITask_Msg_StdFunction");
    if (gDispatchMsg == 0) {
        Log("uitask::Initialize: RegisterWindowMessageA() failed\n");
        LogLastError();
        return false;
    }
    WNDCLASSEXW wc = StandardWindowClass(L"UITask_Wnd_Class", WndProcTaskDispatch);
    if (!RegisterClassExW(&wc)) {
        Log("uitask::Initialize: RegisterClassExW() failed\n");
        LogLastError();
        return false;
    }
    gDispatchWnd = CreateWindowExW(0, L"UITask_Wnd_Class", L"UITask Dispatch Window", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                   nullptr, wc.hInstance, nullptr);
    if (!gDispatchWnd) {
        Log("uitask::Initialize: CreateWindowExW() failed\n");
        LogLastError();
        return false;
    }
    return true;
}
}  // namespace uitask
