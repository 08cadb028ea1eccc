#include <windows.h>

#include "base/arena.h"
#include "base/log.h"
#include "integration/path_env.h"
#include "integration/registry.h"

void AddInstallDirToPath(bool allUsers, StrView installDir) {
    TempArenaScope scope;
    HKEY root = allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
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
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, (LPARAM)L"Environment", SMTO_ABORTIFHUNG, 5000, &result);
}
