#pragma once
// HardwareId.dll, the closed library that gives the machine identifier and a description
// of the system. Both exports write a NUL-terminated UTF-16 text into a buffer of the
// given capacity and return 0 on success.
#include <windows.h>

#include "base/str.h"

using HwIdTextFn = int(__cdecl*)(wchar_t* buf, int cap);

struct HardwareIdLib {
    HMODULE module = nullptr;
    HwIdTextFn generate = nullptr;    // HwId_Generate
    HwIdTextFn systemInfo = nullptr;  // SystemInfo_Get
};

// Loads the first HardwareId.dll found in startDir (the program's own folder when empty),
// its parent or its grandparent, always by its full path so that the system's search
// order never picks another copy. Nothing is loaded when none exists.
HardwareIdLib LoadHardwareIdLib(StrView startDir);
void FreeHardwareIdLib(HardwareIdLib* lib);

// The export's text, or empty when it is missing, fails or gives nothing.
StrView CallHardwareIdTemp(HwIdTextFn fn, int cap);
