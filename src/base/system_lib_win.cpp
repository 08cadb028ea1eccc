#include "base/system_lib.h"

#include <wchar.h>

namespace {
OptionalPlatformFunctions loaded;
}  // namespace
const OptionalPlatformFunctions& gPlatform = loaded;

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

void RestrictLibrarySearchToSystem() {
    // Loading named libraries from the system directory alone keeps out copies planted beside
    // the program, which usually sits in a downloads folder: this covers the program's own
    // loads, the imports of what it loads and what system code loads later by name (the
    // theme library, for one). Resolved at run time: a Windows 7 without the update lacks it.
    using Fn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    Fn setDefault = kernel ? (Fn)(void*)GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        // At least the current directory is then left out of the search.
        SetDllDirectoryW(L"");
    }
}

template <typename Fn>
static void Resolve(HMODULE lib, const char* name, Fn* out) {
    *out = lib ? (Fn)(void*)GetProcAddress(lib, name) : nullptr;
}

void LoadOptionalPlatformFunctions() {
    HMODULE kernel = LoadSystemLibrary(L"kernel32.dll");
    HMODULE user = LoadSystemLibrary(L"user32.dll");
    HMODULE shcore = LoadSystemLibrary(L"shcore.dll");
    Resolve(kernel, "SetThreadDescription", &loaded.setThreadDescription);
    Resolve(user, "GetDpiForWindow", &loaded.getDpiForWindow);
    Resolve(user, "SystemParametersInfoForDpi", &loaded.systemParametersInfoForDpi);
    Resolve(shcore, "GetDpiForMonitor", &loaded.getDpiForMonitor);
}

HMODULE LoadCommonControls() {
    return LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

TaskDialogIndirectFunc GetTaskDialogIndirect() {
    HMODULE lib = LoadCommonControls();
    return lib ? (TaskDialogIndirectFunc)(void*)GetProcAddress(lib, "TaskDialogIndirect") : nullptr;
}
