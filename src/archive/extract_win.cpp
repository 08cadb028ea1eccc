#include <stdlib.h>
#include <windows.h>
#include <shlobj.h>

#include "base/arena.h"
#include "base/durable.h"
#include "base/file.h"
#include "base/install_failure.h"
#include "base/log.h"
#include "base/log_system.h"
#include "base/product.h"
#include "base/progress.h"
#include "base/clock.h"
#include "i18n/translations.h"
#include "base/wide_win.h"
#include "archive/archive.h"
#include "archive/decode_ahead.h"
#include "archive/extract.h"
#include "archive/extract_plan.h"
#include "archive/installed_files.h"
#include "archive/patch.h"
#include "archive/patch_apply.h"
#include "archive/show_error.h"
#include "replace/holders.h"
#include "replace/move_aside.h"
#include "replace/replace_rules.h"
#include "replace/robust_write.h"

namespace {
const InstallerArchive* gOpenedArchive = nullptr;
// Threads flushing the files of an installation into an empty folder while the next ones
// are written: a flush mostly waits for the disk (a second thread measured no faster on 2,000
// small files). The thread costs Wine about a mebibyte: below kFlushThreadsMinFiles files
// the few flushes cost less, and each file is flushed as soon as it is written.
constexpr int32_t kFlushThreads = 1;
constexpr int32_t kFlushThreadsMinFiles = 64;

StrView OwnPathTemp() {
    WCHAR buf[32768];
    DWORD n = GetModuleFileNameW(nullptr, buf, 32768);
    if (n == 0 || n >= 32768) {
        return {};
    }
    return U(buf, n);
}

// The running program is installDir\vlpdf.exe only in the extract-only mode: then it must
// stay where it is, neither moved aside nor overwritten.
bool TargetIsThisProgram(StrView installDir, ExtractMode mode) {
    if (!mode.extractOnly) {
        return false;
    }
    return path::IsSameFile(path::JoinTemp(installDir, kReaderExeName), OwnPathTemp());
}

int64_t OwnSizeForRequirement(const InstallerArchive* archive) {
    if (ArchiveHasFile(archive, kReaderExeName)) {
        return 0;
    }
    int64_t size = file::GetSize(OwnPathTemp());
    return size > 0 ? size : 0;
}

// The volume that holds dir, or of its parent when dir does not exist yet; empty when
// neither can be determined.
StrView VolumePathTemp(StrView dir) {
    WCHAR volume[MAX_PATH];
    if (GetVolumePathNameW(W(dir), volume, MAX_PATH) ||
        GetVolumePathNameW(W(path::GetDirTemp(dir)), volume, MAX_PATH)) {
        return U(volume);
    }
    return {};
}

uint64_t FreeBytesNow(StrView dir) {
    StrView volume = VolumePathTemp(dir);
    ULARGE_INTEGER available{};
    return !volume.IsEmpty() && GetDiskFreeSpaceExW(W(volume), &available, nullptr, nullptr) ? available.QuadPart : 0;
}

// Where an entry's bytes come from: the archive, or for an update's entry made from the
// earlier version's file, the file built beside it (or the installed one, when it is the new
// version's already). Shared by the writing thread and the workers decoding ahead.
struct EntrySource {
    const InstallerArchive* archive;
    StrView installDir;  // in the process arena: the workers read it
};

// One extraction into a folder: how many entries it writes, the space it was found to need
// and the workers decoding ahead (null: each entry is decoded when it is written). Into a
// folder that held no files, every name is known to be free: those files are written
// without asking about each and flushed by another thread (flushes), which Finish waits for
// before anything else happens. The folder of the latest file was made already.
struct Extraction {
    StrView installDir;
    int32_t count = 0;
    int64_t spaceNeeded = 0;
    DecodeAhead* ahead = nullptr;
    const EntrySource* source = nullptr;
    durable::FlushQueue* flushes = nullptr;
    char* madeDir = nullptr;
};

// A failed flush of a file written ahead fails the extraction as its write would have.
bool FinishFlushes(const Extraction& x) {
    StrView failed;
    uint32_t error = 0;
    if (!x.flushes || x.flushes->Finish(&failed, &error)) {
        return true;
    }
    Logf("file::WriteFile: FlushFileBuffers failed for '%s' lastError=%u\n", failed.CStr(), (unsigned)error);
    NotifyFailed(WriteFailedMessageTemp(error, failed, x.spaceNeeded, FreeBytesNow(x.installDir)));
    return false;
}

// Entries are in path order, so the files of a folder come together: each folder is made
// once, not for each of its files.
void MakeFolderFor(Extraction* x, StrView target) {
    StrView dir = path::GetDirTemp(target);
    if (x->madeDir && str::Eq(dir, x->madeDir)) {
        return;
    }
    dir::CreateAll(dir);
    free(x->madeDir);
    x->madeDir = (char*)str::Dup(nullptr, dir).s;
}

bool HoldsNoFiles(StrView dir) {
    dir::Walk walk(dir, true, false, true);
    dir::WalkEntry e;
    return !walk.Next(&e);
}

char* EntryData(const EntrySource& from, int32_t idx) {
    const ArchiveEntry& e = from.archive->entries[idx];
    return IsFromBase(e) ? PatchedFileData(from.archive, idx, from.installDir) : GetFileDataByIdx(from.archive, idx);
}

char* DecodeEntry(void* source, int32_t idx) {
    return EntryData(*(const EntrySource*)source, idx);
}

// What the log says before the person is told the installer is damaged: an entry of a kind
// this program does not know was written by a newer tool, not damaged on the way.
void LogEntryNotDecoded(const ArchiveEntry& e, StrView name) {
    if (ArchiveEntryKind(e) == EntryKind::Unknown) {
        Logf("  '%s' is an entry of kind 0x%02X, which this installer does not know\n", name.CStr(),
             (unsigned)EntryKindByte(e));
    }
    Logf("  GetFileDataByIdx failed for '%s'\n", name.CStr());
}

// Writes the idx-th archive entry, the i-th installed one and the k-th decoded ahead.
bool WriteEntry(Extraction* xp, int32_t idx, int32_t i, int32_t k) {
    const Extraction& x = *xp;
    const ArchiveEntry& e = gOpenedArchive->entries[idx];
    StrView name = str::DupTemp(e.name);
    Logf("  decompress [%d/%d] '%s' compressed=%u uncompressed=%u\n", i, x.count, name.CStr(), e.compressedSize,
         e.uncompressedSize);
    char* data = x.ahead ? x.ahead->Take(k) : EntryData(*x.source, idx);
    if (!data) {
        LogEntryNotDecoded(e, name);
        NotifyFailed(GetTranslation("The installer has been corrupted. Please download it again."));
        return false;
    }
    StrView target = path::JoinTemp(x.installDir, name);
    MakeFolderFor(xp, target);
    RobustWriteResult written{true, 0};
    if (!x.flushes || !WriteNewInstallerFile(target, data, (int32_t)e.uncompressedSize, x.flushes)) {
        // The name was taken after all, or the folder has gone: the files before are on the
        // disk before this one is written the careful way.
        if (!FinishFlushes(x)) {
            free(data);
            return false;
        }
        dir::CreateAll(path::GetDirTemp(target));
        written = WriteInstallerFileRobust(target, data, (int32_t)e.uncompressedSize);
    }
    free(data);
    if (x.ahead) {
        x.ahead->Written(k);
    }
    if (!written.ok) {
        NotifyFailed(WriteFailedMessageTemp(written.error, target, x.spaceNeeded, FreeBytesNow(x.installDir)));
        return false;
    }
    Logf("  extracted '%s'\n", target.CStr());
    return true;
}

int32_t ProcessorCount() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return (int32_t)info.dwNumberOfProcessors;
}

// VLPDF_EXTRACT_WORKERS: the number of decoding threads asked for; 1 is the serial path.
int32_t WorkersAsked() {
    WCHAR buf[16];
    DWORD n = GetEnvironmentVariableW(L"VLPDF_EXTRACT_WORKERS", buf, 16);
    if (n == 0 || n >= 16) {
        return 0;
    }
    char text[16];
    for (DWORD c = 0; c <= n; c++) {
        text[c] = buf[c] < 128 ? (char)buf[c] : '?';
    }
    return ParseWorkersSetting(text);
}

// The files ExtractFiles decodes, in order: the installed entries but the running program.
struct DecodeList {
    int32_t files[kArchiveMaxEntries];
    uint32_t sizes[kArchiveMaxEntries];
    uint32_t scratch[kArchiveMaxEntries];
    int32_t count = 0;
    int64_t largest = 0;
    int64_t total = 0;
};

// Entries that are installed but not written: the running program in the extract-only
// mode, and what an update found already in place.
struct Kept {
    bool exe = false;
    const PatchPlan* patch = nullptr;

    bool Keeps(int32_t idx, StrView name) const {
        return (exe && str::Eq(name, kReaderExeName)) || (patch && patch->inPlace[idx]);
    }
};

void ListFilesToDecode(const Kept& kept, DecodeList* list) {
    for (int32_t idx = 0; idx < gOpenedArchive->count; idx++) {
        const ArchiveEntry& e = gOpenedArchive->entries[idx];
        if (!ShouldExtractEntry(e.name) || kept.Keeps(idx, e.name)) {
            continue;
        }
        list->files[list->count] = idx;
        list->sizes[list->count] = e.uncompressedSize;
        list->scratch[list->count] = DecoderScratchSize(e);
        list->count++;
        list->largest = (int64_t)e.uncompressedSize > list->largest ? (int64_t)e.uncompressedSize : list->largest;
        list->total += e.uncompressedSize;
    }
}

// Starts the workers that decode ahead when the plan has more than one; null means each file
// is decoded by the writing thread.
DecodeAhead* StartDecodingAhead(const DecodeList& list, const EntrySource* source, DecodeAhead* ahead) {
    DecodeAheadPlan plan = PlanDecodeAhead(ProcessorCount(), list.largest, list.total, WorkersAsked());
    if (plan.workers <= 1) {
        return nullptr;
    }
    if (!ahead->Start(list.files, list.sizes, list.scratch, list.count, plan.workers, plan.budget, DecodeEntry,
                      (void*)source)) {
        return nullptr;
    }
    return ahead;
}

void DeleteLeftoverAsideCopies(StrView installDir) {
    Vec<StrView> copies(GetTempArena());
    aside::LeftoverAsideCopiesTemp(&copies);
    for (StrView name : copies) {
        StrView p = path::JoinTemp(installDir, name);
        if (!file::Exists(p)) {
            continue;
        }
        if (file::Delete(p)) {
            Logf("  deleted leftover '%s'\n", p.CStr());
        } else {
            Logf("  could not delete leftover '%s' (ok to ignore)\n", p.CStr());
        }
    }
}

// One attempt of CopySelfToDir; returns the attempt's error, 0 on success.
DWORD CopySelfOnce(StrView src, StrView dst, StrView tmp) {
    ClearReadOnly(dst);
    // On the disk before the uninstall entry names it, like every file the installer writes.
    if (CopyFileW(W(src), W(dst), FALSE) && durable::Flush(dst)) {
        return 0;
    }
    DWORD err = GetLastError();
    Logf("  CopyFileW('%s' -> '%s') failed lastError=%u\n", src.CStr(), dst.CStr(), (unsigned)err);
    LogLastError(err);

    ClearReadOnly(tmp);
    file::Delete(tmp);
    if (!CopyFileW(W(src), W(tmp), FALSE) || !durable::Flush(tmp)) {
        err = GetLastError();
        Logf("  CopyFileW('%s' -> '%s') failed lastError=%u\n", src.CStr(), tmp.CStr(), (unsigned)err);
        LogLastError(err);
        return err;
    }
    ClearReadOnly(dst);
    if (durable::Replace(tmp, dst)) {
        return 0;
    }
    err = GetLastError();
    Logf("  MoveFileExW('%s' -> '%s') failed lastError=%u\n", tmp.CStr(), dst.CStr(), (unsigned)err);
    LogLastError(err);
    file::Delete(tmp);
    return err;
}

void ClearWayForCopy(StrView dst, StrView tmp) {
    Logf("  KillProcessesWithModule('%s') killed=%d\n", dst.CStr(), KillProcessesWithModule(dst));
    if (file::Exists(dst)) {
        ClearReadOnly(dst);
        bool deleted = file::Delete(dst);
        Logf("  Delete('%s') => %d\n", dst.CStr(), deleted ? 1 : 0);
        if (!deleted) {
            LogLastError(0);
        }
    }
    file::Delete(tmp);
}
}  // namespace

bool OpenEmbeddedFilesArchive(bool silent) {
    if (gOpenedArchive) {
        Log("OpenEmbeddedFilesArchive: already opened\n");
        return true;
    }
    const char* msg = nullptr;
    if (!EnsureEmbeddedArchiveLoaded()) {
        msg = "Embedded lzsa archive is missing or corrupted";
    } else if (CountExtractableEntries(GetEmbeddedArchive()) == 0) {
        msg = "No embedded files";
    }
    if (msg) {
        ShowErrorMessage(msg, silent);
        return false;
    }
    gOpenedArchive = GetEmbeddedArchive();
    return true;
}

const InstallerArchive* GetOpenedArchive() {
    return gOpenedArchive;
}

bool EnsureEnoughDiskSpaceForInstall(StrView installDir, int64_t* needOut) {
    TempArenaScope scope;
    int64_t need = DiskSpaceNeededForArchive(gOpenedArchive, OwnSizeForRequirement(gOpenedArchive),
                                             KeepCopiesSize(installDir));
    *needOut = need;
    StrView volume = VolumePathTemp(installDir);
    if (volume.IsEmpty()) {
        Logf("GetFreeBytesAvailable: GetVolumePathNameW failed for '%s' err=%u\n", installDir.CStr(),
             (unsigned)GetLastError());
        Logf("EnsureEnoughDiskSpaceForInstall: skip check (query failed) need=%lld\n", (long long)need);
        return true;
    }
    ULARGE_INTEGER available{}, total{}, totalFree{};
    if (!GetDiskFreeSpaceExW(W(volume), &available, &total, &totalFree)) {
        Logf("GetFreeBytesAvailable: GetDiskFreeSpaceExW failed err=%u path='%s'\n", (unsigned)GetLastError(),
             volume.CStr());
        Logf("EnsureEnoughDiskSpaceForInstall: skip check (query failed) need=%lld\n", (long long)need);
        return true;
    }
    Logf("GetFreeBytesAvailable: free=%llu total=%llu path='%s'\n", (unsigned long long)available.QuadPart,
         (unsigned long long)total.QuadPart, volume.CStr());
    Logf("EnsureEnoughDiskSpaceForInstall: free=%llu need=%lld\n", (unsigned long long)available.QuadPart,
         (long long)need);
    return CheckFreeSpace(need, available.QuadPart);
}

bool ExtractFiles(StrView installDir, const Kept& kept, int64_t spaceNeeded) {
    Extraction x{installDir, CountExtractableEntries(gOpenedArchive), spaceNeeded};
    Logf("ExtractFiles(): dir '%s' filesCount=%d\n", installDir.CStr(), x.count);
    EntrySource source{gOpenedArchive, installDir};
    x.source = &source;
    DecodeList list;
    ListFilesToDecode(kept, &list);
    DecodeAhead workers;
    x.ahead = StartDecodingAhead(list, &source, &workers);
    durable::FlushQueue flushes;
    if (HoldsNoFiles(installDir)) {
        flushes.Start(list.count >= kFlushThreadsMinFiles ? kFlushThreads : 0);
        x.flushes = &flushes;
    }
    int32_t i = 0;
    int32_t k = 0;
    for (int32_t idx = 0; idx < gOpenedArchive->count; idx++) {
        StrView name = gOpenedArchive->entries[idx].name;
        if (!ShouldExtractEntry(name)) {
            continue;
        }
        i++;
        TempArenaScope scope;
        if (kept.exe && str::Eq(name, kReaderExeName)) {
            // The running program is that file: it stays as it is.
            Logf("  skipped 'vlpdf.exe' [%d/%d]: it is the running program\n", i, x.count);
        } else if (kept.Keeps(idx, name)) {
            Logf("  unchanged '%s' [%d/%d]: already as this version has it\n", str::DupTemp(name).CStr(), i, x.count);
        } else if (!WriteEntry(&x, idx, i, k++)) {
            free(x.madeDir);
            return false;
        }
        ProgressStep();
    }
    free(x.madeDir);
    workers.Stop();
    if (!FinishFlushes(x)) {
        return false;
    }
    DeleteLeftoverAsideCopies(installDir);
    MoveAsideOrDeleteLegacyLibrary(installDir);
    return true;
}

bool CopySelfToDir(StrView installDir) {
    TempArenaScope scope;
    Logf("CopySelfToDir(%s)\n", installDir.CStr());
    StrView src = OwnPathTemp();
    StrView dst = path::JoinTemp(installDir, kReaderExeName);
    StrView tmp = str::FormatTemp("%s.tmp", dst.CStr());
    DWORD err = 0;
    for (int attempt = 1; attempt <= 4; attempt++) {
        Logf("  attempt %d/4\n", attempt);
        err = CopySelfOnce(src, dst, tmp);
        if (err == 0) {
            break;
        }
        ClearWayForCopy(dst, tmp);
        if (attempt < 4) {
            uint32_t ms = 300 * (uint32_t)attempt;
            Logf("  sleep %u ms before retry\n", ms);
            SleepMs(ms);
        }
    }
    if (err != 0) {
        Logf("  failed to copy '%s' to '%s' lastError=%u\n", src.CStr(), dst.CStr(), (unsigned)err);
        NotifyFailed(CopySelfFailedMessageTemp(err));
        return false;
    }
    // The copy would carry the mark of a download from the internet.
    file::Delete(str::FormatTemp("%s:Zone.Identifier", dst.CStr()));
    Logf("  copied '%s' to '%s'\n", src.CStr(), dst.CStr());
    return true;
}

namespace {
// A first installation that failed: no uninstall entry names the folder it made, so nothing
// would ever take away what it wrote there. Only the installation's files (and the names left
// beside them) go, and the folders once empty; anything else keeps its folder.
void RemoveFailedFirstInstallation(StrView installDir) {
    Logf("ExtractInstallerFiles: removing what the failed installation wrote into '%s'\n", installDir.CStr());
    if (RemoveInstallation(installDir, InstallerRemoval(false)) != Deleted::Now) {
        Logf("  kept '%s' err=%u\n", installDir.CStr(), (unsigned)GetLastError());
    }
}

bool ExtractIntoDir(StrView installDir, ExtractMode mode) {
    Logf("ExtractInstallerFiles() to '%s'\n", installDir.CStr());
    if (!dir::CreateAll(installDir)) {
        Log("  dir::CreateAll() failed\n");
        LogLastError(0);
        NotifyFailed(GetTranslation("Couldn't create the installation directory"));
        return false;
    }
    int64_t spaceNeeded = 0;
    if (!OpenEmbeddedFilesArchive(mode.silent) || !EnsureEnoughDiskSpaceForInstall(installDir, &spaceNeeded)) {
        return false;
    }
    bool skipExe = TargetIsThisProgram(installDir, mode);
    if (!PrepareInstallDirByRenaming(installDir, mode.silent, skipExe)) {
        Log("ExtractInstallerFiles: PrepareInstallDirByRenaming failed\n");
        RestoreInstallCopyFiles(installDir);
        return false;
    }
    if (skipExe) {
        Log("ExtractInstallerFiles: dest is this exe's directory, not copying vlpdf.exe\n");
    } else if (ArchiveHasFile(gOpenedArchive, kReaderExeName)) {
        Log("ExtractInstallerFiles: vlpdf.exe comes from the archive\n");
    } else if (!CopySelfToDir(installDir)) {
        RestoreInstallCopyFiles(installDir);
        return false;
    }
    ProgressStep();
    if (ExtractFiles(installDir, Kept{skipExe, mode.patch}, spaceNeeded)) {
        return true;
    }
    RestoreInstallCopyFiles(installDir);
    return false;
}
}  // namespace

bool ExtractInstallerFiles(StrView installDir, ExtractMode mode) {
    bool firstInstallation = !dir::Exists(installDir);
    if (ExtractIntoDir(installDir, mode)) {
        return true;
    }
    if (firstInstallation && dir::Exists(installDir)) {
        RemoveFailedFirstInstallation(installDir);
    }
    return false;
}

void CopySettingsFile() {
    Log("CopySettingsFile()\n");
    WCHAR roaming[MAX_PATH], local[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, roaming)) ||
        FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local))) {
        return;
    }
    TempArenaScope scope;
    StrView src = str::FormatTemp("%s\\vlpdf\\vlpdf-settings.txt", U(roaming).CStr());
    StrView dst = str::FormatTemp("%s\\vlpdf\\vlpdf-settings.txt", U(local).CStr());
    // An existing local settings file is the user's current one: never replace it.
    if (!file::Exists(src) || file::Exists(dst)) {
        return;
    }
    if (file::Copy(src, dst)) {
        Logf("  copied '%s' to '%s'\n", src.CStr(), dst.CStr());
    }
}
