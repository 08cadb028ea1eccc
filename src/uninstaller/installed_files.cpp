#include "uninstaller/installed_files.h"

#include "replace/replace_rules.h"

namespace {
// What the file replacement leaves beside an entry, as the part after the entry's name.
bool IsLeftBesideEntry(StrView rest) {
    return str::EqI(rest, ".copy") || str::StartsWithI(rest, ".copy.stale") || str::EqI(rest, ".failed");
}
}  // namespace

bool IsInstalledFile(StrView relPath, const char* const* entries, int count) {
    if (str::EqI(relPath, aside::kLegacyLibrary)) {
        return true;
    }
    for (int i = 0; i < count; i++) {
        StrView entry = entries[i];
        if (!str::StartsWithI(relPath, entry)) {
            continue;
        }
        StrView rest(relPath.s + entry.len, relPath.len - entry.len);
        if (rest.IsEmpty() || IsLeftBesideEntry(rest)) {
            return true;
        }
    }
    return false;
}
