#include "payload/show_error.h"

#include <windows.h>

#include "base/arena.h"
#include "base/log.h"
#include "i18n/translations.h"
#include "base/flags.h"
#include "base/wide_win.h"

void ShowErrorMessage(StrView message) {
    Logf("%s\n", message.CStr());
    bool silent = (gCli && gCli->silent) || (gCliNew && gCliNew->silent);
    if (silent) {
        return;
    }
    TempArenaScope scope;
    MessageBoxW(nullptr, W(message), W(GetTranslation("Error")),
                MB_OK | MB_ICONERROR);
}
