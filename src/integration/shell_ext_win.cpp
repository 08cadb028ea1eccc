#include <windows.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/log.h"
#include "integration/registry.h"
#include "integration/shell_ext.h"

bool IsSearchFilterInstalled() {
    StrView v = ReadRegStrTemp(HKEY_CLASSES_ROOT, ".pdf\\PersistentHandler", "");
    bool isInstalled = str::EqI(v, kPersistentHandlerClsid);
    Logf("IsSearchFilterInstalled() isInstalled=%d\n", isInstalled ? 1 : 0);
    return isInstalled;
}

bool IsPreviewInstalled() {
    StrView v = ReadRegStrTemp(HKEY_CLASSES_ROOT, str::FormatTemp(".pdf\\shellex\\%s", kPreviewSlot), "");
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
