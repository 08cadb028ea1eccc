#include <windows.h>

#include "integration/platform_version.h"

int GetPlatformMajorVersion() {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    auto fn = (RtlGetVersionFn)(void*)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof(v);
    if (!fn || fn(&v) != 0) {
        return 0;
    }
    return (int)v.dwMajorVersion;
}

int (*gPlatformMajorVersion)() = GetPlatformMajorVersion;
