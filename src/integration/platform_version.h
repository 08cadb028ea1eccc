#pragma once
// The platform's true major version (not the one a manifest-less program is shown).
int GetPlatformMajorVersion();
// What the registrations ask. Tests stand in for it: Wine reports 6 (Windows 7) unless its
// prefix is configured otherwise, and the decisions for 10 and later must be shown too.
extern int (*gPlatformMajorVersion)();
