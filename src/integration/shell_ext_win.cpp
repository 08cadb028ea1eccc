#include <windows.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/install_failure.h"
#include "base/log.h"
#include "i18n/translations.h"
#include "integration/install_file_path.h"
#include "integration/registry.h"
#include "integration/shell_ext.h"

namespace {
const HKEY kBothRoots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};

// Deletes key in both roots; false when the per-user delete failed.
bool DeleteInBothRoots(StrView key) {
    bool ok = true;
    for (HKEY root : kBothRoots) {
        bool res = DeleteRegKey(root, key, false);
        if (root == HKEY_CURRENT_USER) {
            ok &= res;
        }
    }
    return ok;
}

// A shell-extension slot of ours lived in "<ext>\shellex"; those two keys go too once empty.
void DeleteEmptyExtKeys(const char* ext) {
    if (!ext) {
        return;
    }
    StrView shellex = str::FormatTemp("Software\\Classes\\%s\\shellex", ext);
    for (HKEY root : kBothRoots) {
        if (DeleteRegKeyIfEmpty(root, shellex)) {
            DeleteRegKeyIfEmpty(root, ParentRegPath(shellex));
        }
    }
}

void DeleteSlot(const PreviewerRow& row, const char* slot, bool* ok) {
    for (const char* ext : {row.ext, row.ext2}) {
        if (ext) {
            *ok &= DeleteInBothRoots(str::FormatTemp("Software\\Classes\\%s\\shellex\\%s", ext, slot));
        }
    }
}
}  // namespace

void RegisterSearchFilter(bool allUsers, StrView installDir) {
    TempArenaScope scope;
    StrView dll = GetInstallationFilePath(installDir, "PdfFilter.dll");
    Logf("RegisterSearchFilter() dllPath=%s\n", dll.CStr());
    HKEY root = allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    Vec<RegValue> values(GetTempArena());
    BuildSearchFilterValues(dll, &values);
    bool ok = true;
    for (int32_t i = 0; i < values.len && ok; i++) {
        ok = WriteRegValue(root, values.els[i]);
    }
    if (ok) {
        Log("  did register\n");
        return;
    }
    Log("  failed to register\n");
    NotifyFailed(GetTranslation("Couldn't install PDF search filter"));
}

void RegisterPreviewer(bool allUsers, StrView installDir) {
    TempArenaScope scope;
    StrView dll = path::JoinTemp(installDir, "PdfPreview.dll");
    Logf("RegisterPreviewer() dllPath=%s\n", dll.CStr());
    HKEY root = allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    bool ok = true;
    for (const PreviewerRow& row : kPreviewerTable) {
        Vec<RegValue> values(GetTempArena());
        BuildPreviewerRowValues(row, dll, &values);
        if (!WriteRegValues(root, values)) {
            ok = false;
            break;
        }
    }
    if (ok) {
        ok = WriteRegDWORD(root, kInternetZoneKey, "180F", 0);
    }
    if (ok) {
        Log("  did register\n");
        return;
    }
    Log("  failed to register\n");
    NotifyFailed(GetTranslation("Couldn't install PDF previewer"));
}

bool UninstallSearchFilter() {
    TempArenaScope scope;
    bool ok = DeleteInBothRoots(str::FormatTemp("Software\\Classes\\CLSID\\%s", kSearchFilterClsid));
    ok &= DeleteInBothRoots(str::FormatTemp("Software\\Classes\\CLSID\\%s", kPersistentHandlerClsid));
    ok &= DeleteInBothRoots("Software\\Classes\\.pdf\\PersistentHandler");
    for (HKEY root : kBothRoots) {
        DeleteRegKeyIfEmpty(root, "Software\\Classes\\.pdf");
    }
    return ok;
}

bool UninstallPreviewDll() {
    constexpr const char* kThumbnailSlot = "{e357fccd-a995-4576-b01f-234630154e96}";
    constexpr const char* kImageExtractorSlot = "{bb2e617c-0920-11d1-9a0b-00c04fc2d6c1}";
    constexpr const char* kPreviewSlot = "{8895b1c6-b41f-4c1c-a562-0d564250836f}";
    TempArenaScope scope;
    bool ok = true;
    for (const PreviewerRow& row : kPreviewerTable) {
        for (HKEY root : kBothRoots) {
            DeleteRegValueQuiet(root, kPreviewHandlersKey, row.clsid);
        }
        ok &= DeleteInBothRoots(str::FormatTemp("Software\\Classes\\CLSID\\%s", row.clsid));
        DeleteSlot(row, kThumbnailSlot, &ok);
        DeleteSlot(row, kImageExtractorSlot, &ok);
        DeleteSlot(row, kPreviewSlot, &ok);
        DeleteEmptyExtKeys(row.ext);
        DeleteEmptyExtKeys(row.ext2);
        Logf("UninstallPreviewDll: removed '%s'\n", row.ext);
    }
    for (HKEY root : kBothRoots) {
        DeleteRegValue(root, kInternetZoneKey, "180F");
    }
    return ok;
}

bool IsSearchFilterInstalled() {
    StrView v = ReadRegStrTemp(HKEY_CLASSES_ROOT, ".pdf\\PersistentHandler", "");
    bool isInstalled = str::EqI(v, kPersistentHandlerClsid);
    Logf("IsSearchFilterInstalled() isInstalled=%d\n", isInstalled ? 1 : 0);
    return isInstalled;
}

bool IsPreviewInstalled() {
    StrView v = ReadRegStrTemp(HKEY_CLASSES_ROOT, ".pdf\\shellex\\{8895b1c6-b41f-4c1c-a562-0d564250836f}", "");
    bool isInstalled = str::EqI(v, kPdfPreviewClsid);
    Logf("IsPreviewInstalled() isInstalled=%d\n", isInstalled ? 1 : 0);
    return isInstalled;
}

bool EnableExplorerPreviewPane() {
    const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Modules\\GlobalSettings\\DetailsContainer";
    uint32_t res = CreateRegKeyStatus(HKEY_CURRENT_USER, key);
    if (res != ERROR_SUCCESS) {
        Logf("EnableExplorerPreviewPane: RegCreateKeyEx failed (%d)\n", (int)res);
        return false;
    }
    // Two little-endian 32-bit words: 2, then 1 (the pane shown).
    const uint8_t data[8] = {2, 0, 0, 0, 1, 0, 0, 0};
    res = SetRegValueStatus(HKEY_CURRENT_USER, key, "DetailsContainer", REG_BINARY, data, sizeof(data), 0,
                            RegKeyMissing::Fail);
    Logf("EnableExplorerPreviewPane: res=%d\n", (int)res);
    return res == ERROR_SUCCESS;
}
