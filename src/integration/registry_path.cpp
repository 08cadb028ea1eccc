#include "integration/registry.h"

#include "base/file.h"

StrView ParentRegPath(StrView path) {
    for (int32_t i = path.len - 1; i >= 0; i--) {
        if (path.s[i] == '\\') {
            return str::DupTemp(StrView(path.s, i));
        }
    }
    return {};
}

StrView ClsidKeyTemp(StrView clsid) {
    return path::JoinTemp(kClsidListKey, clsid);
}

StrView ClassesRootPathTemp(StrView classesKey) {
    StrView classes = "Software\\Classes\\";
    if (!str::StartsWithI(classesKey, classes)) {
        return str::DupTemp(classesKey);
    }
    return str::DupTemp(StrView(classesKey.s + classes.len, classesKey.len - classes.len));
}
