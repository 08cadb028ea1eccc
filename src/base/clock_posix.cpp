#include <time.h>

#include "base/clock.h"

namespace {
constexpr int64_t kNsPerSecond = 1000000000;
// From 1601-01-01 (where a FILETIME counts from) to 1970-01-01.
constexpr uint64_t kFileTimeSecondsBeforeUnix = 11644473600ull;

int64_t MonotonicNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * kNsPerSecond + ts.tv_nsec;
}

uint64_t MonotonicMs() {
    return (uint64_t)(MonotonicNs() / 1000000);
}

uint64_t WallFileTime() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return ((uint64_t)ts.tv_sec + kFileTimeSecondsBeforeUnix) * 10000000 + (uint64_t)ts.tv_nsec / 100;
}

void SystemSleep(uint32_t ms) {
    timespec ts{(time_t)(ms / 1000), (long)(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}
}  // namespace

ClockSeam SystemClock() {
    return ClockSeam{MonotonicNs, MonotonicMs, WallFileTime, SystemSleep};
}

ClockSeam gClock = SystemClock();

int64_t PerfCounterFrequency() {
    return kNsPerSecond;
}
