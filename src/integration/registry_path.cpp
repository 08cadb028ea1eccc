#include "integration/registry.h"

StrView ParentRegPath(StrView path) {
    for (int32_t i = path.len - 1; i >= 0; i--) {
        if (path.s[i] == '\\') {
            return str::DupTemp(StrView(path.s, i));
        }
    }
    return {};
}
