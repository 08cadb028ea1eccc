// The blocked-file dialog of an interactive run: names the programs that hold the file,
// retries the rename every three seconds and closes by itself once it succeeds.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "base/arena.h"
#include "base/log.h"
#include "base/product.h"
#include "base/system_lib.h"
#include "base/wide_win.h"
#include "i18n/lang.h"
#include "i18n/translations.h"
#include "replace/holders.h"
#include "replace/move_aside.h"
#include "replace/replace_rules.h"

namespace {
// The dialog's callback runs on this thread inside its modal loop; its state lives here.
struct BlockedDialogState {
    StrView path;
    StrView asidePath;
    StrView keepPath;
    StrView name;
    uint32_t renameError = 0;  // of the latest rename, which the body explains
    bool succeeded = false;
    bool aborted = false;
    DWORD lastRetryTick = 0;
};

// The installer window of this process, when there is one.
HWND FindInstallerWindow() {
    HWND owner = nullptr;
    while ((owner = FindWindowExW(nullptr, owner, L"VLPDF_INSTALLER_FRAME", nullptr)) != nullptr) {
        DWORD pid = 0;
        GetWindowThreadProcessId(owner, &pid);
        if (pid == GetCurrentProcessId()) {
            return owner;
        }
    }
    return nullptr;
}

void RetryRename(HWND hwnd, BlockedDialogState* st) {
    TempArenaScope scope;
    Logf("MoveAside dialog: retry rename '%s'\n", st->path.CStr());
    if (aside::NeedsSearchServiceStop(st->name)) {
        StopWindowsSearchService();
    }
    StrView body = BuildBlockedFileMessageTemp(st->name, st->path, st->renameError);
    SendMessageW(hwnd, TDM_SET_ELEMENT_TEXT, TDE_CONTENT, (LPARAM)W(body));
    RenameResult rename = TryRenameAsideOnce(st->path, st->asidePath, st->keepPath);
    st->renameError = rename.error;
    if (rename.ok) {
        st->succeeded = true;
        SendMessageW(hwnd, TDM_CLICK_BUTTON, IDCANCEL, 0);
    }
}

HRESULT CALLBACK BlockedDialogCallback(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LONG_PTR ref) {
    auto* st = (BlockedDialogState*)ref;
    switch (msg) {
        case TDN_CREATED:
            st->lastRetryTick = GetTickCount();
            break;
        case TDN_TIMER: {
            DWORD now = GetTickCount();
            if (now - st->lastRetryTick < aside::kDialogRetryMs || st->succeeded) {
                break;
            }
            st->lastRetryTick = now;
            RetryRename(hwnd, st);
            break;
        }
        case TDN_HYPERLINK_CLICKED:
            ShellExecuteW(hwnd, L"open", (const WCHAR*)lp, nullptr, nullptr, SW_SHOWNORMAL);
            break;
        case TDN_BUTTON_CLICKED:
            if (st->succeeded) {
                return S_OK;
            }
            if ((int)wp == IDCANCEL) {
                st->aborted = true;
                return S_OK;
            }
            return S_FALSE;
        default:
            break;
    }
    return S_OK;
}
}  // namespace

RenameResult ShowMoveAsideBlockedDialog(StrView pathIn, StrView asidePathIn, StrView nameIn, uint32_t renameError,
                                        StrView keepPathIn) {
    TempArenaScope scope;
    BlockedDialogState st;
    st.path = str::DupTemp(pathIn);
    st.asidePath = str::DupTemp(asidePathIn);
    st.keepPath = str::DupTemp(keepPathIn);
    st.name = str::DupTemp(nameIn);
    st.renameError = renameError;
    Logf("ShowMoveAsideBlockedDialog: '%s'\n", st.path.CStr());

    TaskDialogIndirectFunc taskDialog = GetTaskDialogIndirect();
    if (!taskDialog) {
        Log("ShowMoveAsideBlockedDialog: TaskDialogIndirect not available\n");
        st.aborted = true;
    } else {
        StrView instruction = str::FormatTemp(GetTranslation("Cannot update %s"), st.name.CStr());
        StrView body = BuildBlockedFileMessageTemp(st.name, st.path, st.renameError);
        TASKDIALOG_BUTTON abort = {IDCANCEL, W(GetTranslation("Abort installation"))};
        TASKDIALOGCONFIG cfg{};
        cfg.cbSize = sizeof(cfg);
        cfg.hwndParent = FindInstallerWindow();
        cfg.dwFlags = TDF_ENABLE_HYPERLINKS | TDF_ALLOW_DIALOG_CANCELLATION | TDF_CALLBACK_TIMER |
                      TDF_POSITION_RELATIVE_TO_WINDOW | TDF_SIZE_TO_CONTENT;
        if (IsCurrentLangRtl()) {
            cfg.dwFlags |= TDF_RTL_LAYOUT;
        }
        cfg.pszWindowTitle = W(kProductName);
        cfg.pszMainIcon = TD_WARNING_ICON;
        cfg.pszMainInstruction = W(instruction);
        cfg.pszContent = W(body);
        cfg.cButtons = 1;
        cfg.pButtons = &abort;
        cfg.nDefaultButton = IDCANCEL;
        cfg.pfCallback = BlockedDialogCallback;
        cfg.lpCallbackData = (LONG_PTR)&st;
        int pressed = 0;
        HRESULT hr = taskDialog(&cfg, &pressed, nullptr, nullptr);
        if (FAILED(hr)) {
            Logf("ShowMoveAsideBlockedDialog: TaskDialogIndirect failed hr=0x%x\n", (unsigned)hr);
            st.aborted = !st.succeeded;
        }
    }
    Logf("ShowMoveAsideBlockedDialog: done success=%d aborted=%d\n", (int)st.succeeded, (int)st.aborted);
    return {st.succeeded, st.renameError};
}
