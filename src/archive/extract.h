#pragma once
// Putting the product's files into the installation directory.
#include "base/str.h"

struct InstallerArchive;

// How the run that extracts was started. A silent run asks nobody anything; only the
// extract-only run (-x) may write into the folder the program itself runs from.
struct PatchPlan;

struct ExtractMode {
    bool silent = false;
    bool extractOnly = false;
    // An update's: the files already as the new version has them, which are not written again.
    const PatchPlan* patch = nullptr;
};

// Unpacks the selected payload files into installDir. On false the reason has been given
// to NotifyFailed, except when the archive cannot be opened (then it was shown or logged).
bool ExtractInstallerFiles(StrView installDir, ExtractMode mode);
// Loads the program's own archive once; false (with the message shown, unless silent, and
// logged) when it is missing, corrupted or holds nothing to install.
bool OpenEmbeddedFilesArchive(bool silent);
// The archive OpenEmbeddedFilesArchive opened; null before it succeeded.
const InstallerArchive* GetOpenedArchive();
// False only when the free space is known to be too small (the user is told why). The
// bytes the installation needs are given in *need either way.
bool EnsureEnoughDiskSpaceForInstall(StrView installDir, int64_t* need);
// Writes every selected entry; with skipExe the running program's own vlpdf.exe stays.
// spaceNeeded, the requirement found before, is told again when the disk fills up meanwhile.
bool ExtractFiles(StrView installDir, bool skipExe, int64_t spaceNeeded);
// Used only when the archive carries no vlpdf.exe: the program copies itself.
bool CopySelfToDir(StrView installDir);
// Gives the reader the user's roaming settings when it has no local ones yet.
void CopySettingsFile();
