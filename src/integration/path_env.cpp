#include "integration/path_env.h"

#include "base/arena.h"

StrView PathWithDirTemp(StrView oldValue, StrView dir) {
    int32_t start = 0;
    for (int32_t i = 0; i <= oldValue.len; i++) {
        if (i == oldValue.len || oldValue.s[i] == ';') {
            StrView element(oldValue.s + start, i - start);
            if (str::EqI(element, dir)) {
                return {};
            }
            start = i + 1;
        }
    }
    if (oldValue.IsEmpty()) {
        return str::DupTemp(dir);
    }
    const char* sep = oldValue.s[oldValue.len - 1] == ';' ? "" : ";";
    return str::FormatTemp("%.*s%s%.*s", (int)oldValue.len, oldValue.s, sep, (int)dir.len, dir.CStr());
}

StrView PathWithoutDirTemp(StrView oldValue, StrView dir, bool* found) {
    *found = false;
    Str out(GetTempArena());
    bool first = true;
    int32_t start = 0;
    for (int32_t i = 0; i <= oldValue.len; i++) {
        if (i < oldValue.len && oldValue.s[i] != ';') {
            continue;
        }
        StrView element(oldValue.s + start, i - start);
        start = i + 1;
        if (str::EqI(element, dir)) {
            *found = true;
            continue;
        }
        if (!first) {
            out.Append(';');
        }
        str::Append(out, element);
        first = false;
    }
    return str::View(out);
}
