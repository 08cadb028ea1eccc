#pragma once
// Moving the product's most-held files out of the way before extraction (to "<name>.copy"),
// clearing aside copies left by earlier installations, and putting the copies back when an
// extraction fails.
#include <stdint.h>

#include "base/str.h"

// The system error of the latest TryRenameAsideOnce: 0 after a success.
extern uint32_t lastRenameError;

void ClearStaleCopy(StrView asidePath);
// True also when path does not exist. With keepPath (a copy of path made beforehand), the
// copy takes path's name right after the rename, so that the installation stays whole until
// its files are written over.
bool TryRenameAsideOnce(StrView path, StrView asidePath, StrView keepPath = {});
bool MoveAsideInstallFile(StrView installDir, StrView name, bool silent);
// The blocked-file dialog of an interactive run; true when the rename succeeded while it
// was open.
bool ShowMoveAsideBlockedDialog(StrView path, StrView asidePath, StrView name, StrView keepPath = {});
StrView BuildBlockedFileMessageTemp(StrView name, StrView path);
void ReportMoveAsideFailure(StrView name, StrView path, bool aborted);
void LogFileDiagnostics(StrView path);
bool PrepareInstallDirByRenaming(StrView installDir, bool silent, bool skipExe);
// The room the copies kept under the moved-aside names take while the new files are written:
// the size of each of those files that is there.
int64_t KeepCopiesSize(StrView installDir);
void RestoreInstallCopyFiles(StrView installDir);
void MoveAsideOrDeleteLegacyLibrary(StrView installDir);

