#pragma once
#include <stdint.h>

// What RtlGetVersion tells: the version the system really has, not the one that
// compatibility shims show a program through GetVersionEx. All 0 when it cannot be asked.
struct PlatformVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
};
PlatformVersion GetPlatformVersion();

// The platform's true major version (not the one a manifest-less program is shown).
int GetPlatformMajorVersion();
// What the registrations ask; a test seam. Wine reports 6 (Windows 7) unless its prefix is
// configured otherwise, and the decisions for 10 and later must be shown too.
extern int (*gPlatformMajorVersion)();
