#include <time.h>

#include "base/clock.h"

int64_t PerfCounterNow() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

int64_t PerfCounterFrequency() {
    return 1000000000;
}
