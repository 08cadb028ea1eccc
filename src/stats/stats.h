#pragma once
// The installation report: one GET to the statistics endpoint, sent from a thread of its
// own that nobody waits for, and the identity values that later reports read back.
#include <stdint.h>

#include "archive/extract_plan.h"
#include "base/str.h"
#include "base/token_kind.h"
#include "stats/stats_url.h"

struct HardwareIdLib;

constexpr const char* kHardwareIdDll = kHardwareIdEntry;
constexpr const char* kStatsDirName = "vlpdf-stats";
constexpr int32_t kHwIdChars = 33;        // identifier buffer, NUL included
constexpr int32_t kSystemInfoChars = 32;  // description buffer, NUL included

// A zero-filled heap record handed to the statistics thread, which frees it. It holds
// copies, not views: the thread that made the strings may be gone by the time it runs.
struct StatsJob {
    char16_t type[32];
    char16_t libraryDir[520];  // holds the extracted HardwareId.dll; empty: no library
    char16_t exeName[260];
    bool deleteLibraryAfter;
    bool removeDirAfter;      // libraryDir was made for this run alone
    const char* library;      // malloc'd: the bytes written, the only ones ever loaded
    int32_t libraryLen;
};

// Unpacks HardwareId.dll from the opened archive into a temporary folder and starts the
// statistics thread on it; returns at once. A limited run uses the temporary "vlpdf-stats"
// folder; an elevated or LocalSystem one a folder made new for it (private_dir.h), removed
// with the library. VLPDF_STATS_OFF set to a non-empty value sends nothing.
void SendInstallStats(TokenKind token);
// For the rights this process holds.
void SendInstallStats();

// The report's URL into out (cap bytes, kStatsUrlCap in use); returns its length. lib may
// hold nothing (the Windows version and "empty" then); an empty exeName takes the recorded one.
int32_t BuildStatsUrl(StrView type, const HardwareIdLib& lib, StrView exeName, char* out, int32_t cap);

// One GET; the answer is received and ignored. True when an answer came.
bool SendStatsRequest(StrView url);

// Records the installer's file name and the machine identifier for later reports. The
// identifier comes from the copy of HardwareId.dll in installDir, and only when it is the
// one the opened archive holds.
void RecordInstallIdentity(StrView installDir, StrView packageName);
