// Starting the report: the library goes to a temporary folder of its own (the installation
// directory is about to be rewritten), and a thread that nobody waits for does the rest.
#include <stdlib.h>
#include <windows.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/log.h"
#include "base/log_sinks.h"
#include "base/thread.h"
#include "integration/registry.h"
#include "payload/archive.h"
#include "payload/extract.h"
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

StatsJob* NewStatsJob(StrView type, StrView libraryDir, StrView exeName) {
    StatsJob* job = (StatsJob*)calloc(1, sizeof(StatsJob));
    if (!job) {
        return nullptr;
    }
    if (!CopyW(job->type, type) || !CopyW(job->libraryDir, libraryDir) || !CopyW(job->exeName, exeName)) {
        free(job);
        return nullptr;
    }
    job->deleteLibraryAfter = true;
    return job;
}

void StatsThread(void* arg) {
    StatsJob* job = (StatsJob*)arg;
    StrView type = ToUtf8Temp(WStrView(job->type));
    StrView libraryDir = ToUtf8Temp(WStrView(job->libraryDir));
    StrView exeName = ToUtf8Temp(WStrView(job->exeName));
    char url[kStatsUrlCap];
    BuildStatsUrl(type, libraryDir, exeName, url, kStatsUrlCap);
    // The library is unloaded again by now.
    if (job->deleteLibraryAfter && !libraryDir.IsEmpty()) {
        file::Delete(path::JoinTemp(libraryDir, kHardwareIdDll));
    }
    free(job);
    SendStatsRequest(url);
}

// Writes the archive's HardwareId.dll into dir; false with the log line of the failed step.
bool ExtractHardwareIdLib(const InstallerArchive* archive, StrView dir) {
    int32_t idx = FindArchiveEntry(archive, kHardwareIdDll);
    if (idx < 0) {
        Log("SendInstallStats: HardwareId.dll not in archive\n");
        return false;
    }
    // Without a temporary folder the name alone would land in the current directory.
    if (dir.IsEmpty() || !dir::CreateAll(dir)) {
        Logf("SendInstallStats: couldn't create '%s'\n", dir.CStr());
        return false;
    }
    char* data = GetFileDataByIdx(archive, idx);
    if (!data) {
        Log("SendInstallStats: couldn't decompress HardwareId.dll\n");
        return false;
    }
    StrView libPath = path::JoinTemp(dir, kHardwareIdDll);
    bool written = file::WriteFile(libPath, StrView(data, (int32_t)archive->entries[idx].uncompressedSize));
    free(data);
    if (!written) {
        Logf("SendInstallStats: couldn't write '%s'\n", libPath.CStr());
    }
    return written;
}
}  // namespace

void SendInstallStats() {
    const InstallerArchive* archive = GetOpenedArchive();
    if (!archive) {
        Log("SendInstallStats: no archive\n");
        return;
    }
    TempArenaScope scope;
    StrView tempDir = logsink::TempDirTemp();
    StrView dir = tempDir.IsEmpty() ? StrView() : path::JoinTemp(tempDir, kStatsDirName);
    if (!ExtractHardwareIdLib(archive, dir)) {
        return;
    }
    StrView exeName = path::GetBaseName(GetModulePathTemp());
    Logf("SendInstallStats: sending, dir '%s', package '%s'\n", dir.CStr(), exeName.CStr());
    if (StatsSwitchedOff()) {
        return;
    }
    StatsJob* job = NewStatsJob("install", dir, exeName);
    if (!job) {
        return;
    }
    void* thread = StartThread(StatsThread, job, "StatsThread");
    if (!thread) {
        free(job);
        return;
    }
    DetachThread(thread);
}
