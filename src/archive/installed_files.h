#pragma once
// The files of an installation: the product's files, as the entry list names them, and the
// names the file replacement leaves beside each of them for a while. Removing another
// installation and uninstalling both go by these, so that whatever an installation (or a
// killed one) put into its folder is recognised and taken away, and nothing else is.
#include <stdint.h>

#include "base/str.h"
#include "base/vec.h"

// Every entry of the product's archive, in archive order, relative to the installation
// directory. Generated from the entry list when the program is built: the reader, which
// carries no archive, needs it as much as the installer.
extern const char* const kProductEntries[];
extern const int32_t kProductEntryCount;

// The files an installation puts into its folder, relative to it: the entries that are
// installed (ShouldExtractEntry), in archive order, then the rendering library of earlier
// versions. In the thread's temporary arena.
Vec<StrView> InstalledFilesTemp();

// Whether rest, what follows an installed file's name, names one of that file's own: nothing
// (the file), ".copy" (moved out of the way), ".copy.stale<n>" (an aside copy that could not
// be deleted), ".keep" (the copy that takes the name right after the move), ".tmp" (a
// replacing write's new bytes) or ".failed" (a new file a failed restore put aside). A
// killed run may leave any of them. Letter case is ignored, as the file system ignores it.
bool IsBesideName(StrView rest);

// relPath is relative to the installation directory, with backslashes: one of files, or a
// name beside one of them.
bool IsInstalledFile(StrView relPath, const Vec<StrView>& files);

// The folders that hold files, relative to the installation directory, each once, deepest
// first (a folder comes before the one it lies in). In the thread's temporary arena.
Vec<StrView> FoldersOfTemp(const Vec<StrView>& files);
// Orders paths of folders so that each comes before the folder it lies in.
void SortDeepestFirst(Vec<StrView>* folders);

// The folders above dir up to `created`, the highest one the installation created on the way
// to dir, nearest first: once dir is gone, these go too while they are empty. Nothing when
// `created` is not above dir (it is dir itself, empty, or another folder). In the thread's
// temporary arena.
Vec<StrView> CreatedFoldersAboveTemp(StrView dir, StrView created);

#ifdef _WIN32
// What became of a file that was to go.
enum class Deleted {
    Now,
    AtRestart,  // held: marked to go when Windows next starts
    No,         // neither: the error is the thread's last error
};

// Whether a file that cannot go now may be marked to go at the next start of Windows. The
// system deletes it then by its path, following whatever link stands in the folders on the
// way: only in a folder that no less privileged user can change (an all-users
// installation's). Marking needs administrator rights besides.
enum class AtRestart { Allowed, Never };

// Deletes the file, trying `attempts` times with the replacement's short pauses between (a
// read-only bit that refused an attempt is cleared for the next); a file still held after
// them is marked to be deleted at the next start of Windows where that is allowed. Each
// failed attempt is logged with its error, the last with what became of it.
Deleted DeleteNowOrAtRestart(StrView path, int attempts, AtRestart atRestart);

// Marks one file or empty-by-then folder to be deleted at the next start of Windows.
bool DeleteAtRestart(StrView path);

// Each of folders (absolute paths, deepest first, as FoldersOfTemp gives them) that is empty
// by its turn goes, then dir itself; a folder that still holds anything stays. A folder that
// holds only what goes at restart (the paths in atRestart, which may be null) is marked to go
// at restart after them and added to atRestart. Each folder that stays is logged; what became
// of dir is returned (with the system error when it stays), for the caller to tell.
Deleted RemoveEmptyFolders(StrView dir, const Vec<StrView>& folders, Vec<StrView>* atRestart);
#endif
