#pragma once
// The installation report: one GET to the statistics endpoint, sent from a thread of its
// own that nobody waits for, and the identity values that later reports read back.
#include <stdint.h>

#include "base/str.h"
#include "stats/stats_url.h"

constexpr const char* kHardwareIdDll = "HardwareId.dll";
constexpr const char* kStatsDirName = "vlpdf-stats";
// Under HKEY_LOCAL_MACHINE (or HKEY_CURRENT_USER) in the 32-bit registry view.
constexpr const char* kStatsIdentityKey = "Software\\VLPdf";
constexpr int32_t kHwIdChars = 33;        // identifier buffer, NUL included
constexpr int32_t kSystemInfoChars = 32;  // description buffer, NUL included

// A zero-filled heap record handed to the statistics thread, which frees it. It holds
// copies, not views: the thread that made the strings may be gone by the time it runs.
struct StatsJob {
    char16_t type[32];
    char16_t libraryDir[520];  // holds the extracted HardwareId.dll; empty: our own folder
    char16_t exeName[260];
    bool deleteLibraryAfter;
};

// Unpacks HardwareId.dll from the opened archive into the temporary "vlpdf-stats" folder
// and starts the statistics thread on it; returns at once. VLPDF_STATS_OFF set to a
// non-empty value sends nothing.
void SendInstallStats();

// The report's URL into out (cap bytes, kStatsUrlCap in use); returns its length. An
// empty libraryDir looks beside the program, an empty exeName takes the recorded one.
int32_t BuildStatsUrl(StrView type, StrView libraryDir, StrView exeName, char* out, int32_t cap);

// One GET; the answer is received and ignored. True when an answer came.
bool SendStatsRequest(StrView url);

// Records the installer's file name and the machine identifier for later reports.
void RecordInstallIdentity(StrView installDir, StrView packageName);
