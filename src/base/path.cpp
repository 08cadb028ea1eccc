#include "base/file.h"

namespace path {

bool IsSep(char c) {
    return c == '\\' || c == '/';
}

StrView GetBaseName(StrView p) {
    int32_t i = p.len;
    while (i > 0 && !IsSep(p.s[i - 1])) {
        i--;
    }
    return {p.s + i, p.len - i};
}

StrView GetDirTemp(StrView p) {
    int32_t i = p.len;
    while (i > 0 && !IsSep(p.s[i - 1])) {
        i--;
    }
    if (i == 0) {
        return {};
    }
    int32_t end = i - 1;
    // Keep the separator of a root ("C:\", "/") so the result is still a directory.
    if (end == 0 || (end == 2 && p.s[1] == ':')) {
        end++;
    }
    return str::DupTemp(StrView(p.s, end));
}

StrView JoinTemp(StrView dir, StrView name) {
    if (dir.IsEmpty()) {
        return str::DupTemp(name);
    }
    if (IsSep(dir.s[dir.len - 1])) {
        return str::FormatTemp("%.*s%s", (int)dir.len, dir.s, name.CStr());
    }
    return str::FormatTemp("%.*s\\%s", (int)dir.len, dir.s, name.CStr());
}

}  // namespace path
