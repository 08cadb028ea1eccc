#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "archive/archive.h"
#include "archive/extract_plan.h"
#include "archive/patch.h"
#include "archive/patch_apply.h"
#include "base/arena.h"
#include "base/durable.h"
#include "base/file.h"
#include "base/log.h"
#include "base/product.h"
#include "base/sha256.h"
#include "base/wide_win.h"
#include "replace/replace_rules.h"

namespace {

// A file's bytes in a malloc'd buffer with two NUL bytes after them, as GetFileDataByIdx
// gives an entry's; null when it cannot be read whole.
char* ReadWholeFile(StrView path, uint32_t* size) {
    bool ok = false;
    StrView data = file::ReadFile(path, nullptr, &ok);
    if (!ok) {
        free((void*)data.s);
        return nullptr;
    }
    *size = (uint32_t)data.len;
    return (char*)data.s;
}

bool HasDigest(const char* data, uint32_t size, const uint8_t* digest) {
    uint8_t d[kSha256Size];
    Sha256Of((const uint8_t*)data, size, d);
    return memcmp(d, digest, kSha256Size) == 0;
}

// The installed file of a from-base entry that is the earlier version's or the new one's.
struct Installed {
    char* data = nullptr;  // malloc'd; null when no candidate is either
    uint32_t size = 0;
    bool isResult = false;
    int32_t candidate = -1;  // 0: under its own name
};

Installed FindInstalled(const ArchiveEntry& e, StrView installDir) {
    Installed found;
    for (int32_t c = 0; c < kInstalledPathCandidates && !found.data; c++) {
        found.candidate = c;
        TempArenaScope scope;
        found.data = ReadWholeFile(InstalledPathTemp(installDir, e.name, c), &found.size);
        if (!found.data) {
            continue;
        }
        found.isResult = HasDigest(found.data, found.size, ResultSha256(e));
        if (!found.isResult && !HasDigest(found.data, found.size, BaseSha256(e))) {
            free(found.data);
            found.data = nullptr;
        }
    }
    return found;
}

StrView StagedPathTemp(StrView installDir, StrView name) {
    return str::FormatTemp("%s%s", path::JoinTemp(installDir, name).CStr(), aside::kPatchedSuffix);
}

bool NeedsStaging(const ArchiveEntry& e) {
    EntryKind kind = ArchiveEntryKind(e);
    return kind == EntryKind::Difference || kind == EntryKind::Replaced;
}

void LogNotBase(const InstallerArchive* archive, const ArchiveEntry& e, const char* who) {
    Logf("%s: '%s' is missing or is not the file of VeloraPDF %.*s; nothing was changed\n", who,
         str::DupTemp(e.name).CStr(), archive->patchBaseVersion.len, archive->patchBaseVersion.s);
}

// One from-base entry: in place already, to build beside its earlier version, or neither
// (the installation is not the one the update was made for).
bool StageOne(const InstallerArchive* archive, int32_t idx, StrView installDir, PatchPlan* plan) {
    const ArchiveEntry& e = archive->entries[idx];
    TempArenaScope scope;
    StrView staged = StagedPathTemp(installDir, e.name);
    Installed installed = FindInstalled(e, installDir);
    if (!installed.data) {
        LogNotBase(archive, e, "StagePatchedFiles");
        return false;
    }
    if (installed.isResult || !NeedsStaging(e)) {
        // A moved-aside file keeps its name only when a copy of it can be made: it is always
        // written again, so that none is left only aside.
        plan->inPlace[idx] = installed.candidate == 0 && installed.isResult && !aside::IsMovedAsideName(e.name);
        plan->inPlaceCount += plan->inPlace[idx] ? 1 : 0;
        free(installed.data);
        return true;
    }
    BuildOutcome outcome;
    char* built = BuildFromBase(e, (const uint8_t*)installed.data, installed.size, &outcome);
    free(installed.data);
    if (!built) {
        Logf("StagePatchedFiles: '%s' could not be built (outcome %d)\n", str::DupTemp(e.name).CStr(), (int)outcome);
        return false;
    }
    // Not flushed: nothing takes it on trust. The extraction checks its SHA-256 before it
    // writes it, and after a power cut the update run again builds it anew.
    bool written = file::WriteFile(staged, StrView(built, (int32_t)e.uncompressedSize));
    free(built);
    if (!written) {
        Logf("StagePatchedFiles: could not write '%s' lastError=%u\n", staged.CStr(), (unsigned)GetLastError());
        return false;
    }
    Logf("  built '%s'\n", staged.CStr());
    return true;
}

}  // namespace

bool CheckPatchBaseFiles(const InstallerArchive* archive, StrView installDir) {
    int32_t checked = 0;
    for (int32_t i = 0; i < archive->count; i++) {
        const ArchiveEntry& e = archive->entries[i];
        if (!IsFromBase(e) || !ShouldExtractEntry(e.name)) {
            continue;
        }
        Installed installed = FindInstalled(e, installDir);
        if (!installed.data) {
            LogNotBase(archive, e, "CheckPatchBaseFiles");
            return false;
        }
        free(installed.data);
        checked++;
    }
    Logf("CheckPatchBaseFiles: %d files of '%s' are those of VeloraPDF %.*s or %s\n", checked, installDir.CStr(),
         archive->patchBaseVersion.len, archive->patchBaseVersion.s, kProductVersion);
    return true;
}

bool StagePatchedFiles(const InstallerArchive* archive, StrView installDir, PatchPlan* plan) {
    Logf("StagePatchedFiles('%s')\n", installDir.CStr());
    for (int32_t i = 0; i < archive->count; i++) {
        const ArchiveEntry& e = archive->entries[i];
        if (IsFromBase(e) && ShouldExtractEntry(e.name) && !StageOne(archive, i, installDir, plan)) {
            return false;
        }
    }
    Logf("StagePatchedFiles: %d files already as VeloraPDF %s has them\n", plan->inPlaceCount, kProductVersion);
    return true;
}

char* PatchedFileData(const InstallerArchive* archive, int32_t idx, StrView installDir) {
    const ArchiveEntry& e = archive->entries[idx];
    TempArenaScope scope;
    StrView candidates[] = {StagedPathTemp(installDir, e.name), InstalledPathTemp(installDir, e.name, 0),
                            InstalledPathTemp(installDir, e.name, 1)};
    for (StrView path : candidates) {
        uint32_t size = 0;
        char* data = ReadWholeFile(path, &size);
        if (data && size == e.uncompressedSize && HasDigest(data, size, ResultSha256(e))) {
            return data;
        }
        free(data);
    }
    return nullptr;
}

void DeleteStagedFiles(const InstallerArchive* archive, StrView installDir) {
    for (int32_t i = 0; i < archive->count; i++) {
        const ArchiveEntry& e = archive->entries[i];
        if (!ShouldExtractEntry(e.name)) {
            continue;
        }
        TempArenaScope scope;
        StrView staged = StagedPathTemp(installDir, e.name);
        // Most names are not there: one call, and a line only for what went.
        if (DeleteFileW(W(staged))) {
            Logf("  deleted staged '%s'\n", staged.CStr());
        }
    }
}
