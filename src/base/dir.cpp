#include "base/file.h"

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
