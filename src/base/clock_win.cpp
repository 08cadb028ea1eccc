#include <windows.h>

#include "base/clock.h"

namespace {
int64_t SystemPerfCounter() {
    LARGE_INTEGER v;
    QueryPerformanceCounter(&v);
    return v.QuadPart;
}

uint64_t SystemTickMs() {
    return GetTickCount64();
}

uint64_t SystemFileTime() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return ((uint64_t)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
}

void SystemSleep(uint32_t ms) {
    Sleep(ms);
}
}  // namespace

ClockSeam SystemClock() {
    return ClockSeam{SystemPerfCounter, SystemTickMs, SystemFileTime, SystemSleep};
}

ClockSeam gClock = SystemClock();

int64_t PerfCounterFrequency() {
    static const int64_t freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return freq;
}
