#pragma once
// Pauses of the retry loops and the millisecond clock they are measured against.
// Every pause goes through one process-wide pointer, so a test can put a recorder in its
// place and check a minute of retry cadence in a fraction of a second.
#include <stdint.h>

using SleepFunc = void (*)(uint32_t ms);

// Points to the system sleep by default.
extern SleepFunc gSleepMs;

void SleepMs(uint32_t ms);
void SystemSleepMs(uint32_t ms);

// Milliseconds since system start (monotonic, 64 bits: no wrap in practice).
uint64_t TickCountMs();
