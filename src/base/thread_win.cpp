#include <process.h>
#include <windows.h>

#include <new>

#include "base/arena.h"
#include "base/str.h"
#include "base/system_lib.h"
#include "base/thread.h"

namespace {
struct ThreadStart {
    ThreadFunc fn;
    void* arg;
};

unsigned __stdcall ThreadMain(void* p) {
    ThreadStart start = *(ThreadStart*)p;
    delete (ThreadStart*)p;
    start.fn(start.arg);
    ReleaseThreadTempArena();
    return 0;
}

void DescribeThread(HANDLE thread, const char* name) {
    if (!name || !gPlatform.setThreadDescription) {
        return;
    }
    DWORD id = GetThreadId(thread);
    HANDLE h = OpenThread(THREAD_SET_LIMITED_INFORMATION, FALSE, id);
    if (!h) {
        return;
    }
    TempArenaScope scope;
    gPlatform.setThreadDescription(h, (PCWSTR)ToWStrTemp(name).s);
    CloseHandle(h);
}
}  // namespace

void* StartThread(ThreadFunc fn, void* arg, const char* name) {
    ThreadStart* start = new (std::nothrow) ThreadStart{fn, arg};
    if (!start) {
        return nullptr;
    }
    // Suspended, so the description is in place before the thread runs.
    uintptr_t h = _beginthreadex(nullptr, 0, ThreadMain, start, CREATE_SUSPENDED, nullptr);
    if (h == 0) {
        delete start;
        return nullptr;
    }
    DescribeThread((HANDLE)h, name);
    ResumeThread((HANDLE)h);
    return (void*)h;
}

void JoinThread(void* thread) {
    WaitForSingleObject((HANDLE)thread, INFINITE);
    CloseHandle((HANDLE)thread);
}

void DetachThread(void* thread) {
    CloseHandle((HANDLE)thread);
}
