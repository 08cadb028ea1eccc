#include <windows.h>

#include "integration/platform_version.h"

PlatformVersion GetPlatformVersion() {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    auto fn = (RtlGetVersionFn)(void*)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof(v);
    if (!fn || fn(&v) != 0) {
        return {};
    }
    return {(uint32_t)v.dwMajorVersion, (uint32_t)v.dwMinorVersion, (uint32_t)v.dwBuildNumber};
}

int GetPlatformMajorVersion() {
    return (int)GetPlatformVersion().major;
}

int (*gPlatformMajorVersion)() = GetPlatformMajorVersion;
