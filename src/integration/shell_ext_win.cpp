#include <windows.h>

#include "base/arena.h"
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
    StrView v = ReadRegStrTemp(HKEY_CLASSES_ROOT, ".pdf\\shellex\\{8895b1c6-b41f-4c1c-a562-0d564250836f}", "");
    bool isInstalled = str::EqI(v, kPdfPreviewClsid);
    Logf("IsPreviewInstalled() isInstalled=%d\n", isInstalled ? 1 : 0);
    return isInstalled;
}
