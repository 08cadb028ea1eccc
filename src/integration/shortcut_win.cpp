#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "base/arena.h"
#include "integration/shortcut.h"

StrView ResolveShortcutTemp(StrView lnkPath) {
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    StrView result;
    WCHAR target[MAX_PATH] = {};
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkW, (void**)&link);
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
        result = ToUtf8Temp(WStrView((const char16_t*)target));
    }
    if (file) file->Release();
    if (link) link->Release();
    return result;
}
