#include "base/progress.h"

#include <atomic>

void (*gProgressStepShow)(int32_t) = nullptr;

namespace {
std::atomic<int32_t> gSteps{0};
}

void ProgressStep() {
    int32_t n = ++gSteps;
    if (gProgressStepShow) {
        gProgressStepShow(n);
    }
}
