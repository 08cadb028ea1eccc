#include "base/progress.h"

#include <atomic>

namespace {
std::atomic<int32_t> gSteps{0};
ProgressObserver gObserver;
}  // namespace

void SetProgressObserver(ProgressObserver observer) {
    gObserver = observer;
}

void ProgressStep() {
    int32_t n = ++gSteps;
    if (gObserver.show) {
        gObserver.show(gObserver.ctx, n);
    }
}
