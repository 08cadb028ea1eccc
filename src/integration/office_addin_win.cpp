#include <windows.h>

#include "base/arena.h"
#include "integration/office_addin.h"
#include "integration/registry.h"

bool RegisterOfficeAddin(HKEY root, StrView installDir, uint32_t view) {
    TempArenaScope scope;
    Vec<RegValue> values(GetTempArena());
    BuildOfficeAddinValues(installDir, view == KEY_WOW64_64KEY, &values);
    bool ok = true;
    for (const RegValue& v : values) {
        if (v.type == RegType::Dword) {
            ok &= WriteRegDWORDInView(root, v.key, v.name, v.dword, view);
        } else {
            ok &= WriteRegStrInView(root, v.key, v.name, v.text, view);
        }
    }
    return ok;
}

