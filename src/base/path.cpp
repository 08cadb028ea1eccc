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

namespace path {

int CompareNamesForSameFile(StrView a, StrView b, SameFileNames names) {
    if (a.IsEmpty() || b.IsEmpty()) {
        return -1;
    }
    if (str::EqI(a, b)) {
        return 1;
    }
    if (names == SameFileNames::SpellingsMayDiffer) {
        return 0;
    }
    return str::EqI(GetBaseName(a), GetBaseName(b)) ? 0 : -1;
}

namespace {
constexpr int32_t kMaxPath = 260;

bool HasLongPathPrefix(StrView p) {
    return str::StartsWith(p, "\\\\?\\");
}
}  // namespace

StrView WithLongPathPrefixTemp(StrView p) {
    if (p.len >= kMaxPath && !HasLongPathPrefix(p)) {
        return str::FormatTemp("\\\\?\\%.*s", (int)p.len, p.s);
    }
    return str::DupTemp(p);
}

// Lengths are in UTF-8 bytes here while the system counts UTF-16 units; a path with
// non-ASCII characters may thus take the short form a little earlier than needed, which
// names the same file.
StrView ChooseNormalizedTemp(StrView fullPath, StrView longPath, StrView shortPath, bool network) {
    if (network) {
        return WithLongPathPrefixTemp(fullPath);
    }
    if (!longPath.IsEmpty() && longPath.len < kMaxPath) {
        return str::DupTemp(longPath);
    }
    if (!shortPath.IsEmpty() && shortPath.len < kMaxPath) {
        return str::DupTemp(shortPath);
    }
    return WithLongPathPrefixTemp(longPath.IsEmpty() ? fullPath : longPath);
}

}  // namespace path
