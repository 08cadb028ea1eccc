#include <windows.h>

#include "base/arena.h"
#include "base/wide_win.h"
#include "integration/office_addin.h"
#include "integration/registry.h"

namespace {
bool WriteDwordInView(HKEY root, StrView key, StrView name, uint32_t value, uint32_t view) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(root, W(key), 0, nullptr, 0, KEY_WRITE | view, nullptr, &h,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    DWORD data = value;
    LSTATUS res = RegSetValueExW(h, W(name), 0, REG_DWORD, (const BYTE*)&data, sizeof(data));
    RegCloseKey(h);
    return res == ERROR_SUCCESS;
}
}  // namespace

bool RegisterOfficeAddin(HKEY root, StrView installDir, uint32_t view) {
    TempArenaScope scope;
    Vec<RegValue> values(GetTempArena());
    BuildOfficeAddinValues(installDir, view == KEY_WOW64_64KEY, &values);
    bool ok = true;
    for (const RegValue& v : values) {
        if (v.type == RegType::Dword) {
            ok &= WriteDwordInView(root, v.key, v.name, v.dword, view);
        } else {
            ok &= WriteRegStrInView(root, v.key, v.name, v.text, view);
        }
    }
    return ok;
}

void UnregisterOfficeAddin(HKEY root, uint32_t view) {
    TempArenaScope scope;
    Vec<StrView> keys(GetTempArena());
    OfficeAddinKeysToDelete(&keys);
    for (StrView key : keys) {
        RegDeleteKeyExW(root, W(key), view, 0);
    }
}
