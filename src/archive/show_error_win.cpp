#include "archive/show_error.h"

#include <windows.h>

#include "base/arena.h"
#include "base/log.h"
#include "i18n/translations.h"
#include "base/wide_win.h"

void ShowErrorMessage(StrView message, bool silent) {
    Logf("%s\n", message.CStr());
    if (silent) {
        return;
    }
    TempArenaScope scope;
    MessageBoxW(nullptr, W(message), W(GetTranslation("Error")),
                MB_OK | MB_ICONERROR);
}
