#include "stats/hardware_id.h"

#include "base/arena.h"
#include "base/file.h"
#include "integration/registry.h"
#include "stats/stats.h"

namespace {
StrView WithoutTrailingSeparatorTemp(StrView dir) {
    bool root = dir.len <= 1 || (dir.len == 3 && dir.s[1] == ':');
    if (!root && path::IsSep(dir.s[dir.len - 1])) {
        return str::DupTemp(StrView(dir.s, dir.len - 1));
    }
    return dir;
}

// The first of dir, its parent and its grandparent that holds the library; empty when none.
StrView FindLibraryTemp(StrView dir) {
    for (int level = 0; level < 3 && !dir.IsEmpty(); level++) {
        StrView candidate = path::JoinTemp(dir, kHardwareIdDll);
        if (file::Exists(candidate)) {
            return candidate;
        }
        dir = path::GetDirTemp(WithoutTrailingSeparatorTemp(dir));
    }
    return {};
}
}  // namespace

HardwareIdLib LoadHardwareIdLib(StrView startDir) {
    HardwareIdLib lib;
    StrView dir = startDir.IsEmpty() ? path::GetDirTemp(GetModulePathTemp()) : startDir;
    if (dir.IsEmpty()) {
        return lib;
    }
    StrView found = FindLibraryTemp(path::NormalizeTemp(dir));
    if (found.IsEmpty()) {
        return lib;
    }
    // A full path, and its own folder first for anything it imports.
    lib.module = LoadLibraryExW((const WCHAR*)ToWStrTemp(found).s, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (lib.module) {
        lib.generate = (HwIdTextFn)(void*)GetProcAddress(lib.module, "HwId_Generate");
        lib.systemInfo = (HwIdTextFn)(void*)GetProcAddress(lib.module, "SystemInfo_Get");
    }
    return lib;
}

void FreeHardwareIdLib(HardwareIdLib* lib) {
    if (lib->module) {
        FreeLibrary(lib->module);
    }
    *lib = HardwareIdLib();
}

StrView CallHardwareIdTemp(HwIdTextFn fn, int cap) {
    wchar_t buf[64] = {};
    if (!fn || cap <= 0 || cap > (int)ARRAYSIZE(buf) || fn(buf, cap) != 0) {
        return {};
    }
    // A library that forgets the terminator still gives no more than its buffer.
    buf[cap - 1] = 0;
    return ToUtf8Temp(WStrView((const char16_t*)buf));
}
