#include "base/file.h"

#include <stdlib.h>

namespace dir {
bool CreateAll(StrView path) {
    if (path.IsEmpty() || Exists(path)) {
        return true;
    }
    StrView parent = path::GetDirTemp(path);
    if (!parent.IsEmpty() && parent.len < path.len && !CreateAll(parent)) {
        return false;
    }
    return CreateOne(path);
}

bool CreateForFile(StrView filePath) {
    return CreateAll(path::GetDirTemp(filePath));
}
}  // namespace dir

namespace dir {
bool IsNameSurrogate(uint32_t attrs, uint32_t reparseTag) {
    return (attrs & kAttrReparsePoint) && (reparseTag & 0x20000000);
}

bool IsWalkFile(uint32_t attrs, uint32_t reparseTag) {
    if (attrs & (kAttrDirectory | kAttrDevice | kAttrTemporary)) {
        return false;
    }
    if (attrs & kAttrReparsePoint) {
        return !IsNameSurrogate(attrs, reparseTag);
    }
    return !(attrs & kAttrOffline);
}
}  // namespace dir

namespace dir {
Walk::Walk(StrView dir, bool yieldFiles, bool yieldDirs, bool recurse)
    : files_(yieldFiles), dirs_(yieldDirs), recurse_(recurse) {
    Push(dir);
}

void Walk::Push(StrView dir) {
    StrView copy = str::Dup(nullptr, dir);
    if (copy.s && !stack_.Append((char*)copy.s)) {
        free((void*)copy.s);
    }
}

bool Walk::PopDirectory() {
    free(current_);
    current_ = nullptr;
    if (stack_.len == 0) {
        return false;
    }
    current_ = stack_.els[--stack_.len];
    return true;
}

// A listing that cannot be opened ends the walk.
void Walk::DropPending() {
    for (int32_t i = 0; i < stack_.len; i++) {
        free(stack_.els[i]);
    }
    stack_.len = 0;
}
}  // namespace dir
