#include <windows.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/log.h"
#include "integration/registry.h"
#include "integration/shell_ext.h"

bool IsSearchFilterInstalled() {
    StrView v = ReadRegStrTemp(HKEY_CLASSES_ROOT, ClassesRootPathTemp(kPdfPersistentHandlerKey), "");
    bool isInstalled = str::EqI(v, kPersistentHandlerClsid);
    Logf("IsSearchFilterInstalled() isInstalled=%d\n", isInstalled ? 1 : 0);
    return isInstalled;
}

bool IsPreviewInstalled() {
    StrView v = ReadRegStrTemp(HKEY_CLASSES_ROOT, ClassesRootPathTemp(ShellexSlotKeyTemp(".pdf", kPreviewSlot)), "");
    bool isInstalled = str::EqI(v, kPdfPreviewClsid);
    Logf("IsPreviewInstalled() isInstalled=%d\n", isInstalled ? 1 : 0);
    return isInstalled;
}

bool EnableExplorerPreviewPane(const RegValue& pane) {
    uint32_t res = CreateRegKeyStatus(HKEY_CURRENT_USER, pane.key);
    if (res != ERROR_SUCCESS) {
        Logf("EnableExplorerPreviewPane: RegCreateKeyEx failed (%d)\n", (int)res);
        return false;
    }
    res = SetRegValueStatus(HKEY_CURRENT_USER, pane.key, pane.name, REG_BINARY, pane.text.s, (uint32_t)pane.text.len,
                            0, RegKeyMissing::Fail);
    Logf("EnableExplorerPreviewPane: res=%d\n", (int)res);
    return res == ERROR_SUCCESS;
}
