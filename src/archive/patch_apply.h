#pragma once
// Applying a patch archive to the installation it updates. Nothing is changed until every
// file the patch builds from has been found to be the earlier version's; then each changed
// file is built beside its earlier version and checked, and only then does the extraction
// replace files, through the same steps as a full installation.
#include "archive/archive.h"
#include "base/str.h"

// Whether an installation of this version may take a patch of base that makes own: its
// base, or already the version it makes (a patch killed after it registered runs again).
bool PatchFitsVersion(StrView installed, StrView base, StrView own);

// Where a from-base entry's file is looked for in the installation: its name, then the
// copy an interrupted replacement left aside. In the temporary arena.
StrView InstalledPathTemp(StrView installDir, StrView name, int32_t candidate);
constexpr int32_t kInstalledPathCandidates = 2;

// What the person is told when a patch does not fit the installation, translated, in the
// temporary arena.
StrView PatchRefusedMessageTemp(StrView baseVersion);

#ifdef _WIN32
// Every file the patch builds from must be the earlier version's or already the new one's.
// On failure the first that is neither is named in the log, with "nothing was changed".
bool CheckPatchBaseFiles(const InstallerArchive* archive, StrView installDir);

// What an update found in the installation before it changed anything: the entries whose
// installed file is already the new version's (unchanged files, or files a killed run of the
// update had written), which the extraction leaves as they are.
struct PatchPlan {
    bool inPlace[kArchiveMaxEntries] = {};
    int32_t inPlaceCount = 0;
};

// Checks every file the patch builds from again, as CheckPatchBaseFiles does (failing the
// same way), builds each changed file from its earlier version into name + ".patched",
// checks its SHA-256, and notes the files already in place.
bool StagePatchedFiles(const InstallerArchive* archive, StrView installDir, PatchPlan* plan);

// The bytes the extraction writes for a from-base entry: the staged file, or the installed
// one when it is the new version's already; malloc'd with two NUL bytes after, like
// GetFileDataByIdx, and null when none has the result's SHA-256.
char* PatchedFileData(const InstallerArchive* archive, int32_t idx, StrView installDir);

// Removes what StagePatchedFiles left, after the extraction or a failure, and what an update
// killed before it finished left for a later installation into the folder.
void DeleteStagedFiles(const InstallerArchive* archive, StrView installDir);
#endif
