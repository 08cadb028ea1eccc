#pragma once
// The decisions of extraction, apart from the files and the archive: which entries are
// installed, how much free space an installation needs, and what the user is told.
#include <stdint.h>

#include "base/str.h"

// Only top-level programs and libraries, the quick-start guide, and everything under
// plugins\ and UserSDKHost\ are installed; other subdirectories and top-level data files
// (translations.txt) stay in the archive.
bool ShouldExtractEntry(StrView name);

// Entries the installer reads from its own archive while it runs (its translations, the
// statistics library): a patch carries them whole, since it cannot look for them in an
// installation before it has found one.
constexpr const char* kTranslationsEntry = "translations.txt";
constexpr const char* kHardwareIdEntry = "HardwareId.dll";
bool InstallerReadsEntry(StrView name);

struct InstallerArchive;

int32_t CountExtractableEntries(const InstallerArchive* archive);
bool ArchiveHasFile(const InstallerArchive* archive, StrView name);
// The requirement below for the selected entries of the archive.
int64_t DiskSpaceNeededForArchive(const InstallerArchive* archive, int64_t ownSize, int64_t keptBeside);

// Bytes of free space an installation needs: the files, room for the largest one to be
// written beside its old copy, our own size when we copy ourselves, 16 MiB to spare, and
// what stays beside the files meanwhile (keptBeside): each file moved aside keeps a copy of
// itself under its name until the new one is written. (The moved-aside file itself is only
// renamed; its room is taken already.)
int64_t DiskSpaceRequirement(int64_t ownSize, int64_t selectedTotal, int64_t largestSelected, int64_t keptBeside = 0);

// Whether the free space suffices; when it does not, the user is told with the rounded
// figures (NotifyFailed).
bool CheckFreeSpace(int64_t need, uint64_t freeBytes);

// The translated messages, placeholders filled (in the thread's temporary arena).
StrView NotEnoughDiskSpaceMessageTemp(int64_t need, uint64_t freeBytes);
// A full disk (another program may have filled it meanwhile) is told with the requirement
// and what is free now, like the check before extraction.
StrView WriteFailedMessageTemp(uint32_t writeError, StrView target, int64_t need, uint64_t freeNow);
StrView CopySelfFailedMessageTemp(uint32_t lastError);

