#pragma once
// The high-resolution monotonic counter (performance counter on Windows).
#include <stdint.h>

int64_t PerfCounterNow();
int64_t PerfCounterFrequency();  // ticks per second
