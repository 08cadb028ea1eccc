#include "base/install_failure.h"

#include <mutex>

#include "base/arena.h"
#include "base/log.h"

namespace {
std::mutex gFailureLock;
StrView gFirstFailure;
}  // namespace

void NotifyFailed(StrView message) {
    {
        std::lock_guard<std::mutex> guard(gFailureLock);
        if (gFirstFailure.IsEmpty()) {
            gFirstFailure = str::Dup(GetProcessArena(), message);
        }
    }
    Logf("NotifyFailed: %s\n", message.CStr());
}

StrView GetFirstFailureMessage() {
    std::lock_guard<std::mutex> guard(gFailureLock);
    return gFirstFailure;
}
