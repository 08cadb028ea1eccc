#pragma once
// An upgrade that changes scope (per-user to all users or back) or folder leaves one
// installation behind: the earlier one, registered under the other root, its files in its
// own folder. Once the new uninstall entry is written, the earlier installation goes, its
// registration and files first and its uninstall entry last: until then a run after a
// killed one still finds it and finishes the removal.
#include "base/str.h"

#ifdef _WIN32
#include <windows.h>

// root: where this installation is registered; installDir: its folder; earlierDir: the
// earlier installation's folder as this run found it at its start (empty when none).
void RemoveOtherInstallation(HKEY root, StrView installDir, StrView earlierDir);
// Deletes the installation's own files in dir (the payload's entries, with the copies the
// installer makes beside them), their folders once empty, and dir itself when empty: the
// user's own files and folders stay. Nothing is followed through a link or junction. A held
// file goes at the next start of Windows only from an all-users installation's folder.
void RemoveInstallationFiles(StrView dir, bool allUsers);
#endif
