#include "base/install_failure.h"

#include <mutex>

#include "base/arena.h"
#include "base/log.h"

namespace {
// Written from the installation's thread, the extraction's and the window's.
struct OutcomeRecord {
    std::mutex lock;
    InstallOutcome outcome = InstallOutcome::NotStarted;
    StrView firstFailure;
};

OutcomeRecord& Record() {
    static OutcomeRecord record;
    return record;
}
}  // namespace

void SetInstallOutcome(InstallOutcome outcome) {
    OutcomeRecord& r = Record();
    std::lock_guard<std::mutex> guard(r.lock);
    if (r.outcome != InstallOutcome::Aborted) {
        r.outcome = outcome;
    }
}

InstallOutcome GetInstallOutcome() {
    OutcomeRecord& r = Record();
    std::lock_guard<std::mutex> guard(r.lock);
    return r.outcome;
}

bool InstallationFailed() {
    InstallOutcome o = GetInstallOutcome();
    return o != InstallOutcome::NotStarted && o != InstallOutcome::Installed;
}

void NotifyFailed(StrView message) {
    {
        OutcomeRecord& r = Record();
        std::lock_guard<std::mutex> guard(r.lock);
        if (r.firstFailure.IsEmpty()) {
            r.firstFailure = str::Dup(GetProcessArena(), message);
        }
    }
    Logf("NotifyFailed: %s\n", message.CStr());
}

StrView GetFirstFailureMessage() {
    OutcomeRecord& r = Record();
    std::lock_guard<std::mutex> guard(r.lock);
    return r.firstFailure;
}

void ResetInstallOutcome() {
    OutcomeRecord& r = Record();
    std::lock_guard<std::mutex> guard(r.lock);
    r.outcome = InstallOutcome::NotStarted;
    r.firstFailure = {};
}
