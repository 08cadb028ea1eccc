// Starting the report: the library goes to a temporary folder of its own (the installation
// directory is about to be rewritten), and a thread that nobody waits for does the rest.
#include <stdlib.h>
#include <windows.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/log.h"
#include "base/log_sinks.h"
#include "base/private_dir.h"
#include "base/process_win.h"
#include "base/thread.h"
#include "base/wide_win.h"
#include "integration/registry.h"
#include "archive/archive.h"
#include "archive/extract.h"
#include "stats/hardware_id.h"
#include "stats/stats.h"

namespace {
// Set to a non-empty value; an empty value leaves the report on.
bool StatsSwitchedOff() {
    WCHAR c[2];
    return GetEnvironmentVariableW(L"VLPDF_STATS_OFF", c, ARRAYSIZE(c)) > 0;
}

// False when the text does not fit: a cut folder would name another folder.
template <int32_t N>
bool CopyW(char16_t (&dst)[N], StrView s) {
    WStrView w = ToWStrTemp(s);
    if (w.len >= N) {
        return false;
    }
    memcpy(dst, w.s, (size_t)w.len * sizeof(char16_t));
    return true;
}

// Takes the library's bytes along: the thread loads the copy only if it still holds them.
StatsJob* NewStatsJob(StrView type, StrView libraryDir, StrView exeName, StrView library, bool privateDir) {
    StatsJob* job = (StatsJob*)calloc(1, sizeof(StatsJob));
    if (!job) {
        return nullptr;
    }
    if (!CopyW(job->type, type) || !CopyW(job->libraryDir, libraryDir) || !CopyW(job->exeName, exeName)) {
        free(job);
        return nullptr;
    }
    job->deleteLibraryAfter = true;
    job->removeDirAfter = privateDir;
    job->library = library.s;
    job->libraryLen = library.len;
    return job;
}

void RemoveLibraryCopy(StrView dir, bool removeDir) {
    file::Delete(path::JoinTemp(dir, kHardwareIdDll));
    if (removeDir) {
        RemoveDirectoryW(W(dir));
    }
}

void StatsThread(void* arg) {
    StatsJob* job = (StatsJob*)arg;
    StrView type = ToUtf8Temp(WStrView(job->type));
    StrView libraryDir = ToUtf8Temp(WStrView(job->libraryDir));
    StrView exeName = ToUtf8Temp(WStrView(job->exeName));
    HardwareIdLib lib = LoadHardwareIdLib(libraryDir, StrView(job->library, job->libraryLen));
    char url[kStatsUrlCap];
    BuildStatsUrl(type, lib, exeName, url, kStatsUrlCap);
    FreeHardwareIdLib(&lib);
    if (job->deleteLibraryAfter && !libraryDir.IsEmpty()) {
        RemoveLibraryCopy(libraryDir, job->removeDirAfter);
    }
    free((void*)job->library);
    free(job);
    SendStatsRequest(url);
}

// An elevated run's folder is made new, with a name nobody can guess and only
// administrators as writers; a limited run's own temporary folder is private to its user.
StrView MakeLibraryDirTemp(StrView tempDir, bool privateDir) {
    if (tempDir.IsEmpty()) {
        // Without a temporary folder the name alone would land in the current directory.
        Logf("SendInstallStats: couldn't create '%s'\n", kStatsDirName);
        return {};
    }
    StrView dir = privateDir ? CreatePrivateDirTemp(tempDir, str::FormatTemp("%s-", kStatsDirName))
                             : path::JoinTemp(tempDir, kStatsDirName);
    if (dir.IsEmpty() || (!privateDir && !dir::CreateAll(dir))) {
        Logf("SendInstallStats: couldn't create '%s'\n",
             dir.IsEmpty() ? path::JoinTemp(tempDir, kStatsDirName).CStr() : dir.CStr());
        return {};
    }
    return dir;
}

// Writes the archive's HardwareId.dll into a folder for it; its folder, and the bytes in
// library (malloc'd), or empty with the log line of the failed step.
StrView ExtractHardwareIdLibTemp(const InstallerArchive* archive, bool privateDir, StrView* library) {
    if ( FindArchiveEntry(archive, kHardwareIdDll) < 0) {
        Log("SendInstallStats: HardwareId.dll not in archive\n");
        return {};
    }
    StrView dir = MakeLibraryDirTemp(logsink::TempDirTemp(), privateDir);
    if (dir.IsEmpty()) {
        return {};
    }
    if (!DecodeArchivedHardwareId(archive, library)) {
        Log("SendInstallStats: couldn't decompress HardwareId.dll\n");
        RemoveLibraryCopy(dir, privateDir);
        return {};
    }
    if (!WriteHardwareIdCopy(dir, *library)) {
        Logf("SendInstallStats: couldn't write '%s'\n", path::JoinTemp(dir, kHardwareIdDll).CStr());
        RemoveLibraryCopy(dir, privateDir);
        free((void*)library->s);
        return {};
    }
    return dir;
}
}  // namespace

void SendInstallStats(TokenKind token) {
    const InstallerArchive* archive = GetOpenedArchive();
    if (!archive) {
        Log("SendInstallStats: no archive\n");
        return;
    }
    TempArenaScope scope;
    bool privateDir = RulesForToken(token).needsPrivateTempFolder;
    StrView library;
    StrView dir = ExtractHardwareIdLibTemp(archive, privateDir, &library);
    if (dir.IsEmpty()) {
        return;
    }
    StrView exeName = path::GetBaseName(GetModulePathTemp());
    Logf("SendInstallStats: sending, dir '%s', package '%s'\n", dir.CStr(), exeName.CStr());
    StatsJob* job = StatsSwitchedOff() ? nullptr : NewStatsJob("install", dir, exeName, library, privateDir);
    void* thread = job ? StartThread(StatsThread, job, "StatsThread") : nullptr;
    if (thread) {
        DetachThread(thread);
        return;
    }
    // Switched off, or no thread: a private folder is of no use once this run is done with it.
    if (privateDir) {
        RemoveLibraryCopy(dir, true);
    }
    free((void*)library.s);
    free(job);
}

void SendInstallStats() {
    SendInstallStats(CurrentTokenKind());
}
