#pragma once
// Progress of an installation in steps. Extraction advances it once per file; the window,
// when there is one, shows the count on its progress bar. Any thread may call it.
#include <stdint.h>

void ProgressStep();

// Whoever shows the count (the window, while it exists) sets an observer; show runs on the
// thread that took the step, with the new count.
struct ProgressObserver {
    void (*show)(void* ctx, int32_t stepsTaken) = nullptr;
    void* ctx = nullptr;
};
// The observer is set before the steps' threads start and cleared after they ended.
void SetProgressObserver(ProgressObserver observer);
