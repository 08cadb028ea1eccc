#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "base/arena.h"
#include "base/com_win.h"
#include "base/file.h"
#include "base/log.h"
#include "base/product.h"
#include "base/wide_win.h"
#include "integration/shortcut.h"
#include "integration/shell_folder.h"

StrView GetShortcutPathTemp(int csidl) {
    StrView folder = GetSpecialFolderTemp(csidl);
    if (folder.IsEmpty()) {
        return {};
    }
    return path::JoinTemp(folder, str::FormatTemp("%s.lnk", kProductName));
}

void CreateAppShortcuts(bool allUsers, bool withDesktop, StrView exePath) {
    Logf("CreateAppShortcuts(forAllUsers=%d, withDesktop=%d)\n", allUsers ? 1 : 0, withDesktop ? 1 : 0);
    TempArenaScope scope;
    Vec<int> csidls(GetTempArena());
    ShortcutFoldersToCreate(allUsers, withDesktop, &csidls);
    for (int csidl : csidls) {
        StrView path = GetShortcutPathTemp(csidl);
        if (path.IsEmpty()) {
            Log("CreateAppShortcut() failed\n");
            continue;
        }
        Logf("CreateAppShortcut(csidl=%d), path=%s\n", csidl, path.CStr());
        CreateShortcut(path, exePath, {}, {});
    }
}

void RemoveShortcutFile(int csidl) {
    StrView path = GetShortcutPathTemp(csidl);
    if (path.IsEmpty() || !file::Exists(path)) {
        return;
    }
    if (file::Delete(path)) {
        Logf("RemoveShortcutFile: deleted '%s'\n", path.CStr());
    }
}

void RemoveAppShortcuts() {
    TempArenaScope scope;
    for (int csidl : kShortcutFoldersToRemove) {
        RemoveShortcutFile(csidl);
    }
}

bool CreateShortcut(StrView shortcutPath, StrView targetPath, StrView args, StrView description) {
    HRESULT init = com::CoInitializeEx(COINIT_APARTMENTTHREADED);
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    HRESULT hr = com::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkW, (void**)&link);
    if (SUCCEEDED(hr)) {
        hr = link->QueryInterface(IID_IPersistFile, (void**)&file);
    }
    if (SUCCEEDED(hr)) {
        hr = link->SetPath(W(targetPath));
    }
    if (SUCCEEDED(hr)) {
        hr = link->SetWorkingDirectory(W(path::GetDirTemp(targetPath)));
    }
    if (SUCCEEDED(hr)) {
        hr = link->SetIconLocation(W(targetPath), 0);
    }
    if (SUCCEEDED(hr) && !args.IsEmpty()) {
        hr = link->SetArguments(W(args));
    }
    if (SUCCEEDED(hr) && !description.IsEmpty()) {
        hr = link->SetDescription(W(description));
    }
    if (SUCCEEDED(hr)) {
        hr = file->Save(W(shortcutPath), TRUE);
    }
    if (file) file->Release();
    if (link) link->Release();
    if (SUCCEEDED(init)) {
        com::CoUninitialize();
    }
    return SUCCEEDED(hr);
}

StrView ResolveShortcutTemp(StrView lnkPath) {
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    StrView result;
    WCHAR target[MAX_PATH] = {};
    HRESULT hr = com::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkW, (void**)&link);
    if (SUCCEEDED(hr)) {
        hr = link->QueryInterface(IID_IPersistFile, (void**)&file);
    }
    if (SUCCEEDED(hr)) {
        hr = file->Load((LPCOLESTR)ToWStrTemp(lnkPath).s, STGM_READ);
    }
    if (SUCCEEDED(hr)) {
        hr = link->Resolve(nullptr, SLR_UPDATE | SLR_NO_UI);
    }
    if (SUCCEEDED(hr)) {
        hr = link->GetPath(target, MAX_PATH, nullptr, 0);
    }
    if (hr == S_OK) {
        result = U(target);
    }
    if (file) file->Release();
    if (link) link->Release();
    return result;
}
