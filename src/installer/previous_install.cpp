#include "installer/previous_install.h"

#include "base/arena.h"
#include "base/file.h"
#include "base/log.h"

StrView InstallDirFromLocationTemp(StrView location) {
    if (str::EndsWithI(location, ".exe")) {
        return path::GetDirTemp(location);
    }
    return location;
}

bool NeedsElevation(StrView path, bool allUsers, bool isElevated, const DirProbe& probe) {
    if (allUsers) {
        return true;
    }
    if (probe.isUnderProgramFiles(path)) {
        return true;
    }
    if (isElevated) {
        return false;
    }
    return !probe.canWrite(path);
}

StrView FindSelfOrAncestorTemp(StrView path, bool (*fn)(StrView dir, void* ctx), void* ctx) {
    StrView cur = str::DupTemp(path);
    while (!cur.IsEmpty()) {
        if (fn(cur, ctx)) {
            return cur;
        }
        StrView parent = path::GetDirTemp(cur);
        if (parent.IsEmpty() || parent.len >= cur.len) {
            break;
        }
        cur = parent;
    }
    return {};
}
