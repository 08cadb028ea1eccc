#include <windows.h>

#include "base/arena.h"
#include "base/durable.h"
#include "base/file.h"
#include "base/log.h"
#include "base/wide_win.h"
#include "integration/default_reader.h"
#include "integration/registry.h"
#include "integration/uninstall.h"

namespace {
bool IsVistaOrLater() {
    OSVERSIONINFOEXW v{};
    v.dwOSVersionInfoSize = sizeof(v);
    v.dwMajorVersion = 6;
    v.dwMinorVersion = 0;
    v.wServicePackMajor = 0;
    DWORDLONG mask = 0;
    mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&v, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask);
}

bool FlushUninstallEntry(HKEY root, StrView key) {
    uint32_t err = FlushRegKeyStatus(root, kUninstallRegKey);
    if (err != ERROR_SUCCESS) {
        Logf("WriteUninstallerRegistryInfo: RegFlushKey failed err=%u\n", (unsigned)err);
        return false;
    }
    durable::Note(durable::Step::RegFlush, key);
    return true;
}
}  // namespace

void ReadRecordedChoices(HKEY root, InstallChoices* out) {
    for (const RecordedChoice& c : kRecordedChoices) {
        uint32_t v = 0;
        if (ReadRegDWORD(root, kUninstallRegKey, c.valueName, &v)) {
            out->Set(c.choice, v != 0);
        } else if (!c.keptWhenAbsent) {
            out->Set(c.choice, false);
        }
    }
}

// A directory walk of its own until the file helpers have one: files only, one level.
uint64_t GetDirSize(StrView dir) {
    Logf("GetDirSize(%s)\n", dir.CStr());
    uint64_t total = 0;
    dir::WalkEntry e;
    for (dir::Walk walk(dir, true, false, false); walk.Next(&e);) {
        total += (uint64_t)e.size;
    }
    return total;
}

bool WriteUninstallerRegistryInfo(HKEY root, bool allUsers, StrView installDir) {
    Logf("WriteUninstallerRegistryInfo(hKey: %s, allUsers: %d, installDir: '%s')\n", RegKeyName(root),
         allUsers ? 1 : 0, installDir.CStr());
    TempArenaScope scope;
    SYSTEMTIME now;
    GetSystemTime(&now);
    UninstallEntryInputs in;
    in.installDir = installDir;
    in.allUsers = allUsers;
    in.year = now.wYear;
    in.month = now.wMonth;
    in.day = now.wDay;
    in.nameWithVersion = !IsVistaOrLater();
    Vec<RegValue> values(GetTempArena());
    BuildUninstallValues(in, &values);
    // The directory is measured right before its size is written, as the log shows it.
    bool ok = true;
    StrView key = str::FormatTemp("%s\\%s", RegKeyName(root), kUninstallRegKey);
    for (int32_t i = 0; i < values.len; i++) {
        RegValue& v = values.els[i];
        if (str::Eq(v.name, "EstimatedSize")) {
            v.dword = EstimatedSizeKb(GetDirSize(installDir));
        }
        bool written = WriteRegValue(root, v);
        if (written) {
            durable::Note(durable::Step::RegWrite, key);
        }
        ok &= written;
    }
    // The earlier entry goes once this one is written: the new one must be on the disk
    // first, or a power cut in between would leave no installation registered at all.
    ok &= FlushUninstallEntry(root, key);
    if (!ok) {
        Log("WriteUninstallerRegistryInfo() failed\n");
    }
    return ok;
}
