#pragma once
// The program's clocks and its pauses, behind one seam. Code reads the time and pauses only
// through the functions below; a test puts a fixed clock or a recorder into one member of
// gClock (a minute of retry cadence checked in a fraction of a second, an exact moment of
// the header animation painted) and puts the saved one back.
#include <stdint.h>

struct ClockSeam {
    int64_t (*perfCounter)();       // high-resolution monotonic ticks, PerfCounterFrequency a second
    uint64_t (*tickMs)();           // milliseconds since the system started (monotonic, no wrap)
    uint64_t (*wallFileTime)();     // the wall clock in 100 ns units since 1601 (a FILETIME)
    void (*sleepMs)(uint32_t ms);   // a pause of the calling thread
};

// The system's clocks and pause.
ClockSeam SystemClock();
// A test seam: every clock and pause goes through it; SystemClock() outside tests.
extern ClockSeam gClock;

inline int64_t PerfCounterNow() {
    return gClock.perfCounter();
}
int64_t PerfCounterFrequency();  // ticks per second
inline uint64_t TickCountMs() {
    return gClock.tickMs();
}
inline uint64_t WallClockFileTime() {
    return gClock.wallFileTime();
}
inline void SleepMs(uint32_t ms) {
    gClock.sleepMs(ms);
}
