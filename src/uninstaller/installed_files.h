#pragma once
// Which files under an installation directory the installation put there. An uninstallation
// deletes those and keeps everything else (the user's own files, settings the reader saved
// beside itself), so a folder the user shares with other files is never emptied.
#include "base/str.h"

// relPath is relative to the installation directory, with backslashes. True for an archive
// entry, an aside copy of one ("<entry>.copy", "<entry>.copy.stale<n>"), a new file a failed
// restore left ("<entry>.failed") and the legacy rendering library. Letter case is ignored,
// as the file system ignores it.
bool IsInstalledFile(StrView relPath, const char* const* entries, int count);
