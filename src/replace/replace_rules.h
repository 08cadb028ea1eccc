#pragma once
// The decisions of file replacement, apart from their effects: names of aside copies, the
// retry cadence, which messages the user gets. Pure, so they are checked on every host.
#include <stdint.h>

#include "base/product.h"
#include "base/str.h"
#include "base/vec.h"


constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorHandleDiskFull = 39;
constexpr uint32_t kErrorDiskFull = 112;

// A full disk ends every retry loop at once: waiting does not free space.
bool IsDiskFullError(uint32_t err);

namespace aside {
constexpr int kQuickAttempts = 3;
constexpr int kSilentRetries = 20;
constexpr uint32_t kSilentPauseMs = 3000;
constexpr uint32_t kDialogRetryMs = 3000;
constexpr int kWriteAttempts = 4;

// 300, 600, 900 ms: the pause after quick attempt (or write attempt) n.
uint32_t QuickPauseMs(int attempt);

// What a replacement may leave beside an installed file, each the file's path and one of
// these; the uninstaller and the removal of another installation take them all away.
constexpr const char* kCopySuffix = ".copy";      // the installed file moved out of the way
constexpr const char* kStaleSuffix = ".stale";    // after ".copy": an old aside copy kept in use
constexpr const char* kKeepSuffix = ".keep";      // the copy that takes the name right after the move
constexpr const char* kTmpSuffix = ".tmp";        // a replacing write's new bytes
constexpr const char* kFailedSuffix = ".failed";  // a new file a failed restore could not delete
constexpr const char* kPatchedSuffix = ".patched";  // an update's new file, built beside the one it replaces

// path + ".copy": the installed file moved out of the way.
StrView CopyPathTemp(StrView path);
// "%s.stale%u": an old aside copy that cannot be deleted, made unique by the tick count.
StrView StalePathTemp(StrView asidePath, uint32_t tick);
// path + ".failed": a new file that cannot be deleted while restoring.
StrView FailedPathTemp(StrView path);
// path + ".keep": a copy of the installed file, made before it is moved aside, that takes
// its name right after the move.
StrView KeepPathTemp(StrView path);

// The search filter and the preview handler are what the Windows Search service loads.
bool NeedsSearchServiceStop(StrView name);

// Moved aside before extraction, in this order ("vlpdf.exe" last, unless skipped).
extern const char* const kMoveAsideNames[4];
// Whether the installation's file of this name (relative, any letter case) is one of them.
bool IsMovedAsideName(StrView name);
// Put back after a failed extraction, in this order.
extern const char* const kRestoreNames[5];
constexpr const char* kLegacyLibrary = "libvlrender.dll";
// The copies a finished extraction deletes: each restored name with kCopySuffix, and each
// moved-aside name with kKeepSuffix (a run killed between moving a file aside and giving its
// name to the copy leaves the copy, which nothing takes then), in the order of their names
// (ignoring case), as the log shows them. In the temporary arena.
void LeftoverAsideCopiesTemp(Vec<StrView>* out);

// Product files whose holders are terminated, tested pairwise against a process's modules;
// the second name of a pair may be empty.
struct ModulePair {
    const char* a;
    const char* b;
};
extern const ModulePair kProductModulePairs[4];
}  // namespace aside

// What freeing a file learned of one running process.
struct ProcessFacts {
    uint32_t pid = 0;
    // Its executable's full path; empty when the process could not be asked.
    StrView image;
    // Its executable is the file itself (the same file, not only the same name).
    bool runsFile = false;
    // Its module list was read and holds the file.
    bool loadsFile = false;
};

enum class Ending {
    Keep,
    LoadsFile,  // its module list holds the file
    RunsFile,   // found by its executable's path alone
};

// Whether freeing a file ends the process. One that has the file loaded is ended wherever it
// runs from. One that runs the file is ended by its executable's path, whatever its module
// list says: a program whose first thread has not run yet has no list to read, although it
// holds its executable (a parent ended inside CreateProcess leaves it so for good). That path
// must lie inside folder, so that a link to the file from elsewhere never ends another
// program. Never this process (self) nor the spared one (0: none).
Ending ChooseEnding(const ProcessFacts& p, StrView folder, uint32_t self, uint32_t spared);

// Whether path lies below folder: names compared ignoring case, '/' taken for '\', a "\\?\"
// in front and separators at the end left aside; a ".." below folder is taken as leaving it.
bool IsInsideFolder(StrView path, StrView folder);

// "• %s (pid %u)", separated from an earlier line by \n.
void AppendHolderLine(Str& list, StrView appName, uint32_t pid);

// The body of the blocked-file dialog, translated and filled in.
StrView BlockedFileMessageTemp(StrView name, StrView holders, uint32_t renameError, bool elevated);
// The final message when a file could not be moved aside, translated and filled in.
StrView MoveAsideFailureMessageTemp(StrView name, bool inUse, bool aborted, bool elevated);

