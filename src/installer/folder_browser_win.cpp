// The folder browser behind the "..." button.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "base/com_win.h"
#include "base/file.h"
#include "base/log.h"
#include "base/wide_win.h"
#include "i18n/translations.h"
#include "installer/installer_window_internal.h"
#include "installer/window_rules.h"

namespace {
StrView StartDirTemp(StrView text) {
    if (text.IsEmpty() || dir::Exists(text)) {
        return text;
    }
    return path::GetDirTemp(text);
}

// Links and things without a folder on disk (Control Panel, a library, a missing folder)
// cannot hold an installation.
bool CanInstallInto(LPCITEMIDLIST item) {
    WCHAR buf[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListW(item, buf)) {
        return false;
    }
    DWORD attrs = GetFileAttributesW(buf);
    if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    SHFILEINFOW info{};
    info.dwAttributes = SFGAO_LINK;
    UINT how = SHGFI_PIDL | SHGFI_ATTRIBUTES | SHGFI_ATTR_SPECIFIED;
    if (!SHGetFileInfoW((LPCWSTR)item, 0, &info, sizeof(info), how)) {
        return true;
    }
    return !(info.dwAttributes & SFGAO_LINK);
}

int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM lp, LPARAM data) {
    if (msg == BFFM_INITIALIZED && data && *(const WCHAR*)data) {
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
    }
    if (msg == BFFM_SELCHANGED && !CanInstallInto((LPCITEMIDLIST)lp)) {
        SendMessageW(dialog, BFFM_ENABLEOK, 0, FALSE);
    }
    return 0;
}

StrView PathOfItemTemp(LPITEMIDLIST item) {
    WCHAR buf[MAX_PATH + 1] = {};
    bool ok = SHGetPathFromIDListW(item, buf);
    com::CoTaskMemFree(item);
    return ok ? U(buf) : StrView();
}
}  // namespace

void OnButtonBrowse(InstallerWnd* wnd) {
    StrView start = StartDirTemp(wnd->editInstallationDir->GetTextTemp());
    WStrView startW = ToWStrTemp(start);
    WStrView title = ToWStrTemp(GetTranslation("Select the folder where VeloraPDF should be installed:"));
    BROWSEINFOW bi{};
    bi.hwndOwner = wnd->hwnd;
    bi.lpszTitle = (LPCWSTR)title.s;
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    bi.lpfn = BrowseCallback;
    bi.lParam = (LPARAM)startW.s;
    LPITEMIDLIST chosen = SHBrowseForFolderW(&bi);
    StrView folder = chosen ? PathOfItemTemp(chosen) : StrView();
    if (folder.IsEmpty()) {
        ::SetFocus(wnd->browseButton->hwnd);
        return;
    }
    Edit* edit = wnd->editInstallationDir;
    edit->SetText(InstallDirForChosenFolderTemp(folder));
    SendMessageW(edit->hwnd, EM_SETSEL, 0, -1);
    ::SetFocus(edit->hwnd);
}
