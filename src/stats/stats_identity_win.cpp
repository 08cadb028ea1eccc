#include "stats/stats_identity.h"

#include <stdlib.h>
#include <windows.h>

#include "base/arena.h"
#include "integration/registration.h"
#include "integration/registry.h"
#include "archive/extract.h"
#include "stats/hardware_id.h"
#include "stats/stats.h"

namespace {
// Cut like a buffer of maxChars + 1 UTF-16 units would cut it, but never inside a pair.
StrView FirstCharsTemp(StrView s, int32_t maxChars) {
    WStrView w = ToWStrTemp(s);
    if (w.len <= maxChars) {
        return s;
    }
    int32_t n = maxChars;
    if (n > 0 && w.s[n - 1] >= 0xD800 && w.s[n - 1] <= 0xDBFF) {
        n--;
    }
    return ToUtf8Temp(WStrView(w.s, n));
}
}  // namespace

StrView ReadStatsIdentityTemp(StrView valueName, int32_t maxChars) {
    StrView v = ReadRegStrInView(HKEY_LOCAL_MACHINE, kStatsIdentityKey, valueName, kRegView32);
    if (v.IsEmpty()) {
        v = ReadRegStrInView(HKEY_CURRENT_USER, kStatsIdentityKey, valueName, kRegView32);
    }
    return FirstCharsTemp(v, maxChars);
}

void RecordInstallIdentity(StrView installDir, StrView packageName) {
    TempArenaScope scope;
    StrView installed;
    bool decoded = DecodeArchivedHardwareId(GetOpenedArchive(), &installed);
    HardwareIdLib lib = LoadHardwareIdLib(installDir, installed);
    StrView id = CallHardwareIdTemp(lib.generate, kHwIdChars);
    WriteStatsIdentity(packageName, id.IsEmpty() ? StrView("empty") : id);
    FreeHardwareIdLib(&lib);
    if (decoded) {
        free((void*)installed.s);
    }
}
