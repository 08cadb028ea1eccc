#pragma once
// Progress of an installation in steps. Extraction advances it once per file; the window,
// when there is one, shows the count on its progress bar. Any thread may call it.
#include <stdint.h>

void ProgressStep();

// The window sets this while it exists; it runs on the calling thread with the new count.
extern void (*gProgressStepShow)(int32_t stepsTaken);
