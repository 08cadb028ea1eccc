#pragma once
// The files of an installation: the product's files, as the entry list names them, and the
// names the file replacement leaves beside each of them for a while. Removing another
// installation and uninstalling both go by these, so that whatever an installation (or a
// killed one) put into its folder is recognised and taken away, and nothing else is.
#include <stdint.h>

#include "base/arena.h"
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
// replacing write's new bytes), ".failed" (a new file a failed restore put aside) or
// ".patched" (an update's new file built beside the one it replaces). A
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

// Which folders below an installation's directory a removal may take away once they are empty.
enum class FoldersThatGo {
    Installations,  // those that hold the installation's files: an empty folder of the user's stays
    EveryEmpty,     // every one: what the user made there goes with the product, unless it holds something
};

// How one removal of an installation's files goes. Whatever route it takes, it deletes only
// the installation's files and the names left beside them (IsInstalledFile); the user's own
// files stay, and their folders with them. It never follows a link or junction below the
// directory, nor removes one: a less privileged user may have put it there, pointing at files
// an elevated run must not touch.
struct RemovalPolicy {
    int attempts = 1;  // per file, with the replacement's short pauses between
    AtRestart atRestart = AtRestart::Never;
    // Whether a directory that is itself a link or junction is left alone. The uninstaller
    // runs from that directory: whoever could put a link there chose the program that runs.
    // The installer would follow it into a folder someone else chose.
    bool refuseLinkedDir = true;
    FoldersThatGo folders = FoldersThatGo::Installations;
};

// The uninstaller's: a held file is tried a few times, then left to the next start of Windows
// where the folder is an all-users installation's; what the user made in the folder goes
// with it when empty. It takes its directory as it was started from it.
RemovalPolicy UninstallerRemoval(bool allUsers);
// The installer's, for an installation it did not start from: an earlier one of the other
// scope or in another folder, or what its own failed first installation wrote. One attempt (a
// file still held goes at restart where allowed, or stays); the folder may be the user's, so a
// link at it is refused and only the folders the installation made go.
RemovalPolicy InstallerRemoval(bool allUsers);

// What a removal found and did, between its two steps.
struct InstalledFilesSweep {
    RemovalPolicy policy;
    int deleted = 0;
    int kept = 0;            // the user's files, and the links not followed
    StrView firstFailed;     // the first file that could go neither now nor at restart (process arena)
    bool refused = false;    // the directory is a link that the policy refuses: nothing was touched
    Vec<StrView> atRestart;  // held files marked to go at the next start, then such folders
    Vec<StrView> folders;    // the folders below the directory that the policy lets go
    explicit InstalledFilesSweep(const RemovalPolicy& p)
        : policy(p), atRestart(GetTempArena()), folders(GetTempArena()) {}
};

// The first step: every installed file below dir (and every name beside one) goes, spared
// excepted (the running program's own file; empty for none). Each file that stays as the user's
// and each link not followed is logged. The lists are in the thread's temporary arena: the
// sweep must not outlive the scope it was made in.
void DeleteInstalledFiles(StrView dir, StrView spared, InstalledFilesSweep* sweep);
// The second step: the folders that the first found and the policy lets go, each once empty,
// then dir (RemoveEmptyFolders). What became of dir.
Deleted RemoveInstalledFolders(StrView dir, InstalledFilesSweep* sweep);
// Both steps at once, for a removal with nothing to do between them.
Deleted RemoveInstallation(StrView dir, const RemovalPolicy& policy);
#endif
