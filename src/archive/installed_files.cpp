#include "archive/installed_files.h"

#include "base/arena.h"
#include "base/file.h"
#include "archive/extract_plan.h"
#include "replace/replace_rules.h"

const char* const kProductEntries[] = {
#include "archive/product_entries.inc"
};
const int32_t kProductEntryCount = (int32_t)(sizeof(kProductEntries) / sizeof(kProductEntries[0]));

Vec<StrView> InstalledFilesTemp() {
    Vec<StrView> files(GetTempArena());
    for (int32_t i = 0; i < kProductEntryCount; i++) {
        if (ShouldExtractEntry(kProductEntries[i])) {
            files.Append(StrView(kProductEntries[i]));
        }
    }
    files.Append(StrView(aside::kLegacyLibrary));
    return files;
}

bool IsBesideName(StrView rest) {
    using namespace aside;
    StrView copy = kCopySuffix;
    bool staleCopy = str::StartsWithI(rest, copy) && str::StartsWithI(StrView(rest.s + copy.len, rest.len - copy.len),
                                                                      kStaleSuffix);
    return rest.IsEmpty() || str::EqI(rest, copy) || staleCopy || str::EqI(rest, kKeepSuffix) ||
           str::EqI(rest, kTmpSuffix) || str::EqI(rest, kFailedSuffix) || str::EqI(rest, kPatchedSuffix);
}

bool IsInstalledFile(StrView relPath, const Vec<StrView>& files) {
    for (StrView file : files) {
        if (!file.IsEmpty() && str::StartsWithI(relPath, file) &&
            IsBesideName(StrView(relPath.s + file.len, relPath.len - file.len))) {
            return true;
        }
    }
    return false;
}

Vec<StrView> FoldersOfTemp(const Vec<StrView>& files) {
    Vec<StrView> folders(GetTempArena());
    for (StrView rel : files) {
        for (int32_t end = rel.len - 1; end > 0; end--) {
            if (!path::IsSep(rel.s[end])) {
                continue;
            }
            StrView folder(rel.s, end);
            bool known = false;
            for (int32_t k = 0; k < folders.len && !known; k++) {
                known = str::EqI(folders.els[k], folder);
            }
            if (!known) {
                folders.Append(str::DupTemp(folder));
            }
        }
    }
    SortDeepestFirst(&folders);
    return folders;
}

// A folder's name is longer than the name of the folder it lies in: longest first is deepest
// first. (Insertion sort: an installation has a handful of folders.)
void SortDeepestFirst(Vec<StrView>* folders) {
    for (int32_t i = 1; i < folders->len; i++) {
        StrView f = folders->els[i];
        int32_t j = i;
        for (; j > 0 && folders->els[j - 1].len < f.len; j--) {
            folders->els[j] = folders->els[j - 1];
        }
        folders->els[j] = f;
    }
}

Vec<StrView> CreatedFoldersAboveTemp(StrView dir, StrView created) {
    Vec<StrView> folders(GetTempArena());
    if (created.IsEmpty() || created.len >= dir.len || !str::StartsWithI(dir, created) ||
        !path::IsSep(dir.s[created.len])) {
        return folders;
    }
    StrView cur = dir;
    while (cur.len > created.len) {
        StrView parent = path::GetDirTemp(cur);
        if (parent.len >= cur.len || parent.len < created.len) {
            break;
        }
        folders.Append(parent);
        cur = parent;
    }
    return folders;
}
