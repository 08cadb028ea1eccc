#include "integration/reg_value.h"
#include "integration/registry.h"

bool WriteRegValue(HKEY root, const RegValue& v) {
    switch (v.type) {
        case RegType::Dword:
            return WriteRegDWORD(root, v.key, v.name, v.dword);
        case RegType::None:
            return WriteRegNone(root, v.key, v.name);
        case RegType::DeleteValue:
            return DeleteRegValue(root, v.key, v.name);
        case RegType::Binary:
            return SetRegValueStatus(root, v.key, v.name, REG_BINARY, v.text.s, (uint32_t)v.text.len) == ERROR_SUCCESS;
        case RegType::Sz:
            break;
    }
    return WriteRegStr(root, v.key, v.name, v.text);
}
