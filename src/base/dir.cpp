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
