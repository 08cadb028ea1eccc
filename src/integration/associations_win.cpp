#include <windows.h>
#include <shlobj.h>

#include "base/arena.h"
#include "base/log.h"
#include "base/product.h"
#include "integration/associations.h"
#include "integration/default_reader.h"
#include "integration/platform_version.h"
#include "integration/registry.h"

namespace {
void NotifyAssociationsChanged() {
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

// Removes a key of ours, then its parents while they are left empty.
void DeleteKeyAndEmptyParents(HKEY root, StrView key, int levels) {
    StrView k = key;
    for (int i = 0; i < levels && !k.IsEmpty(); i++) {
        if (!DeleteRegKeyIfEmpty(root, k)) {
            return;
        }
        k = ParentRegPath(k);
    }
}
}  // namespace

bool WriteExtendedFileExtensionInfo(HKEY root, StrView exePath) {
    Logf("WriteExtendedFileExtensionInfo('%s')\n", RegKeyName(root));
    TempArenaScope scope;
    bool ok = true;
    if (gPlatformMajorVersion() >= 10) {
        Vec<RegValue> caps(GetTempArena());
        BuildAppCapabilitiesValues(exePath, &caps);
        ok &= WriteRegValues(root, caps);
    }
    Vec<RegValue> values(GetTempArena());
    BuildProgIdValues(exePath, &values);
    BuildMimeValues(&values);
    ok &= WriteRegValues(root, values);
    if (!ok) {
        Log("WriteExtendedFileExtensionInfo() failed\n");
    }
    NotifyAssociationsChanged();
    return ok;
}

void RemoveInstallRegistryKeys(HKEY root) {
    Logf("RemoveInstallRegistryKeys(%s)\n", RegKeyName(root));
    TempArenaScope scope;
    UnregisterFromBeingDefaultViewer(root);
    DeleteRegKey(root, str::FormatTemp("Software\\Classes\\%s", kProductId));
    DeleteRegKey(root, str::FormatTemp("Software\\Classes\\Applications\\%s", kReaderExeName));
    DeleteRegValue(root, "Software\\Classes\\.pdf\\OpenWithProgids", kProductId);
    if (root == HKEY_LOCAL_MACHINE) {
        DeleteRegKey(root, str::FormatTemp("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\%s", kReaderExeName));
    }
    for (const char* ext : kSupportedExts) {
        StrView openWith = str::FormatTemp("Software\\Classes\\%s\\OpenWithProgids", ext);
        DeleteRegValue(root, openWith, kProductId);
        DeleteRegKeyIfEmpty(root, openWith);
        StrView list = str::FormatTemp("Software\\Classes\\%s\\OpenWithList\\%s", ext, kReaderExeName);
        if (DeleteRegKey(root, list)) {
            DeleteKeyAndEmptyParents(root, ParentRegPath(list), 2);
        }
    }
    for (const char* ext : kSupportedExts) {
        DeleteRegKey(root, str::FormatTemp("Software\\Classes\\%s", ProgIdTemp(ext).CStr()));
        StrView openWith = str::FormatTemp("Software\\Classes\\%s\\OpenWithProgids", ext);
        DeleteRegValue(root, openWith, ProgIdTemp(ext));
        // Our ProgID value was the last thing in these keys: without this the first removal
        // after an installation would leave them behind, empty.
        DeleteKeyAndEmptyParents(root, openWith, 2);
    }
    DeleteRegValue(root, "SOFTWARE\\RegisteredApplications", kProductId);
    DeleteRegKey(root, kCapabilitiesKey);
    NotifyAssociationsChanged();
}

void RemoveMimeValues(HKEY root) {
    TempArenaScope scope;
    Vec<RegValue> values(GetTempArena());
    BuildMimeValues(&values);
    for (const RegValue& v : values) {
        if (str::Eq(ReadRegStr(root, v.key, v.name), v.text)) {
            DeleteRegValue(root, v.key, v.name);
        }
    }
}
