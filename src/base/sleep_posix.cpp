#include <time.h>

#include "base/sleep.h"

SleepFunc gSleepMs = SystemSleepMs;

void SystemSleepMs(uint32_t ms) {
    timespec ts{(time_t)(ms / 1000), (long)(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

void SleepMs(uint32_t ms) {
    gSleepMs(ms);
}

uint64_t TickCountMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint64_t)ts.tv_sec * 1000 + (uint64_t)ts.tv_nsec / 1000000;
}
