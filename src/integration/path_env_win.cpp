#include <windows.h>

#include "base/arena.h"
#include "base/log.h"
#include "integration/path_env.h"
#include "integration/registry.h"

namespace {
// Running programs (Explorer first) read the environment again.
void BroadcastEnvironmentChange() {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, (LPARAM)L"Environment", SMTO_ABORTIFHUNG, 5000, &result);
}
}  // namespace

void AddInstallDirToPath(bool allUsers, StrView installDir) {
    TempArenaScope scope;
    HKEY root = RootFor(allUsers);
    const char* key = allUsers ? kMachineEnvKey : kUserEnvKey;
    StrView value = PathWithDirTemp(ReadRegStr(root, key, "Path"), installDir);
    if (value.IsEmpty()) {
        Logf("AddInstallDirToPath: '%s' already in PATH\n", installDir.CStr());
        return;
    }
    if (!WriteRegExpandSz(root, key, "Path", value)) {
        return;
    }
    Logf("AddInstallDirToPath: added '%s' to PATH\n", installDir.CStr());
    BroadcastEnvironmentChange();
}

void RemoveInstallDirFromPath(bool allUsers, StrView installDir) {
    TempArenaScope scope;
    HKEY root = RootFor(allUsers);
    const char* key = allUsers ? kMachineEnvKey : kUserEnvKey;
    bool found = false;
    StrView value = PathWithoutDirTemp(ReadRegStr(root, key, "Path"), installDir, &found);
    if (!found) {
        Logf("RemoveInstallDirFromPath: '%s' not in PATH\n", installDir.CStr());
        return;
    }
    // An empty value is what the installation made where there was none.
    bool ok = value.IsEmpty() ? DeleteRegValue(root, key, "Path") : WriteRegExpandSz(root, key, "Path", value);
    if (!ok) {
        return;
    }
    Logf("RemoveInstallDirFromPath: removed '%s' from PATH\n", installDir.CStr());
    BroadcastEnvironmentChange();
}
