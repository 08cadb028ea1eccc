#include <windows.h>

#include "base/arena.h"
#include "base/choice_table.h"
#include "base/durable.h"
#include "base/file.h"
#include "base/log.h"
#include "base/wide_win.h"
#include "integration/default_reader.h"
#include "integration/registry.h"
#include "integration/uninstall.h"

bool FlushUninstallEntry(HKEY root) {
    StrView key = str::FormatTemp("%s\\%s", RegKeyName(root), kUninstallRegKey);
    uint32_t err = FlushRegKeyStatus(root, kUninstallRegKey);
    if (err != ERROR_SUCCESS) {
        Logf("WriteUninstallerRegistryInfo: RegFlushKey failed err=%u\n", (unsigned)err);
        return false;
    }
    durable::Note(durable::Step::RegFlush, key);
    return true;
}

void ReadRecordedChoices(HKEY root, InstallChoices* out) {
    for (const ChoiceDef& def : kChoiceDefs) {
        uint32_t v = 0;
        if (def.read == RecordedRead::FromRoot) {
            continue;
        }
        if (ReadRegDWORD(root, kUninstallRegKey, def.recorded, &v)) {
            out->Set(def.choice, v != 0);
        } else if (def.read == RecordedRead::ElseOff) {
            out->Set(def.choice, false);
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
