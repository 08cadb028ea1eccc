#pragma once
// HardwareId.dll, the closed library that gives the machine identifier and a description
// of the system. Both exports write a NUL-terminated UTF-16 text into a buffer of the
// given capacity and return 0 on success.
#include <windows.h>

#include "base/str.h"

struct InstallerArchive;

using HwIdTextFn = int(__cdecl*)(wchar_t* buf, int cap);

struct HardwareIdLib {
    HMODULE module = nullptr;
    HwIdTextFn generate = nullptr;    // HwId_Generate
    HwIdTextFn systemInfo = nullptr;  // SystemInfo_Get
};

// The archive's copy of the library, decoded into a new malloc'd buffer (free bytes->s);
// false when the archive has none or it cannot be decoded.
bool DecodeArchivedHardwareId(const InstallerArchive* archive, StrView* bytes);

// Writes bytes as dir\HardwareId.dll, a file made new: whatever stood at that name goes
// first and is never written through.
bool WriteHardwareIdCopy(StrView dir, StrView bytes);

// Loads dir\HardwareId.dll by its full path, and only when the file holds exactly
// expected: the bytes this run put there. The file is held against every change from that
// check until it is loaded, and its own imports come from the system directory only, so a
// copy someone else swapped in, or a library beside it, is never run. Nothing is loaded
// when dir or expected is empty or the file differs.
HardwareIdLib LoadHardwareIdLib(StrView dir, StrView expected);
void FreeHardwareIdLib(HardwareIdLib* lib);

// The export's text, or empty when it is missing, fails or gives nothing.
StrView CallHardwareIdTemp(HwIdTextFn fn, int cap);
