#include <windows.h>

#include "base/sleep.h"

SleepFunc gSleepMs = SystemSleepMs;

void SystemSleepMs(uint32_t ms) {
    Sleep(ms);
}

void SleepMs(uint32_t ms) {
    gSleepMs(ms);
}

uint64_t TickCountMs() {
    return GetTickCount64();
}
