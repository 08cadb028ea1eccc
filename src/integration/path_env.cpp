#include "integration/path_env.h"

#include "base/arena.h"

StrView PathWithDirTemp(StrView oldValue, StrView dir) {
    str::Parts elements(oldValue, ';');
    for (StrView element; elements.Next(&element);) {
        if (str::EqI(element, dir)) {
            return {};
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
    str::Parts elements(oldValue, ';');
    for (StrView element; elements.Next(&element);) {
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
