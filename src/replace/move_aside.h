#pragma once
// Moving the product's most-held files out of the way before extraction (to "<name>.copy"),
// clearing aside copies left by earlier installations, and putting the copies back when an
// extraction fails.
#include <stdint.h>

#include "base/str.h"

// How a rename aside ended: ok, or the system error that refused it, which decides what the
// person is told (access denied reads differently from a file in use). 0 after a success.
struct RenameResult {
    bool ok = false;
    uint32_t error = 0;
};

void ClearStaleCopy(StrView asidePath);
// True also when path does not exist. With keepPath (a copy of path made beforehand), the
// copy takes path's name right after the rename, so that the installation stays whole until
// its files are written over.
RenameResult TryRenameAsideOnce(StrView path, StrView asidePath, StrView keepPath = {});
bool MoveAsideInstallFile(StrView installDir, StrView name, bool silent);
// The blocked-file dialog of an interactive run, opened after a rename that failed with
// renameError; ok when a rename succeeded while it was open, else the error of its latest.
RenameResult ShowMoveAsideBlockedDialog(StrView path, StrView asidePath, StrView name, uint32_t renameError,
                                        StrView keepPath = {});
// Explains a rename that failed with renameError.
StrView BuildBlockedFileMessageTemp(StrView name, StrView path, uint32_t renameError);
void ReportMoveAsideFailure(StrView name, StrView path, uint32_t renameError, bool aborted);
void LogFileDiagnostics(StrView path);
bool PrepareInstallDirByRenaming(StrView installDir, bool silent, bool skipExe);
// The room the copies kept under the moved-aside names take while the new files are written:
// the size of each of those files that is there.
int64_t KeepCopiesSize(StrView installDir);
void RestoreInstallCopyFiles(StrView installDir);
void MoveAsideOrDeleteLegacyLibrary(StrView installDir);

