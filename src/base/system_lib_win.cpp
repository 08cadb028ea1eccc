#include "base/system_lib.h"

#include <wchar.h>

OptionalPlatformFunctions gPlatform;

HMODULE LoadSystemLibrary(const WCHAR* name) {
    WCHAR dir[MAX_PATH];
    UINT n = GetSystemDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return nullptr;
    }
    WCHAR full[MAX_PATH * 2];
    swprintf(full, MAX_PATH * 2, L"%ls\\%ls", dir, name);
    return LoadLibraryW(full);
}

template <typename Fn>
static void Resolve(HMODULE lib, const char* name, Fn* out) {
    *out = lib ? (Fn)(void*)GetProcAddress(lib, name) : nullptr;
}

void LoadOptionalPlatformFunctions() {
    HMODULE kernel = LoadSystemLibrary(L"kernel32.dll");
    HMODULE user = LoadSystemLibrary(L"user32.dll");
    HMODULE shcore = LoadSystemLibrary(L"shcore.dll");
    Resolve(kernel, "SetThreadDescription", &gPlatform.setThreadDescription);
    Resolve(user, "GetDpiForWindow", &gPlatform.getDpiForWindow);
    Resolve(user, "SystemParametersInfoForDpi", &gPlatform.systemParametersInfoForDpi);
    Resolve(shcore, "GetDpiForMonitor", &gPlatform.getDpiForMonitor);
}
