#include "archive/extract_plan.h"

#include "base/arena.h"

#include "base/install_failure.h"
#include "i18n/translations.h"
#include "archive/archive.h"

namespace {
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorLockViolation = 33;
constexpr uint32_t kErrorHandleDiskFull = 39;
constexpr uint32_t kErrorDiskFull = 112;

bool IsDiskFull(uint32_t err) {
    return err == kErrorDiskFull || err == kErrorHandleDiskFull;
}

bool HasSeparator(StrView s) {
    for (int32_t i = 0; i < s.len; i++) {
        if (s.s[i] == '\\' || s.s[i] == '/') {
            return true;
        }
    }
    return false;
}
}  // namespace

bool ShouldExtractEntry(StrView name) {
    if (str::StartsWithI(name, "plugins\\") || str::StartsWithI(name, "UserSDKHost\\")) {
        return true;
    }
    if (HasSeparator(name)) {
        return false;
    }
    if (str::EndsWithI(name, ".dll") || str::EndsWithI(name, ".exe")) {
        return true;
    }
    return str::EqI(name, "vlpdf-quickstart.pdf");
}

bool InstallerReadsEntry(StrView name) {
    return !ShouldExtractEntry(name) || str::Eq(name, kHardwareIdEntry) || str::Eq(name, kTranslationsEntry);
}

int32_t CountExtractableEntries(const InstallerArchive* archive) {
    int32_t n = 0;
    for (int32_t i = 0; i < archive->count; i++) {
        n += ShouldExtractEntry(archive->entries[i].name) ? 1 : 0;
    }
    return n;
}

bool ArchiveHasFile(const InstallerArchive* archive, StrView name) {
    return FindArchiveEntry(archive, name) >= 0;
}

int64_t DiskSpaceNeededForArchive(const InstallerArchive* archive, int64_t ownSize, int64_t keptBeside) {
    int64_t total = 0;
    int64_t largest = 0;
    for (int32_t i = 0; i < archive->count; i++) {
        const ArchiveEntry& e = archive->entries[i];
        if (!ShouldExtractEntry(e.name)) {
            continue;
        }
        total += e.uncompressedSize;
        largest = (int64_t)e.uncompressedSize > largest ? (int64_t)e.uncompressedSize : largest;
    }
    return DiskSpaceRequirement(ownSize, total, largest, keptBeside);
}

bool CheckFreeSpace(int64_t need, uint64_t freeBytes) {
    if (need <= 0 || freeBytes >= (uint64_t)need) {
        return true;
    }
    TempArenaScope scope;
    NotifyFailed(NotEnoughDiskSpaceMessageTemp(need, freeBytes));
    return false;
}

int64_t DiskSpaceRequirement(int64_t ownSize, int64_t selectedTotal, int64_t largestSelected, int64_t keptBeside) {
    int64_t larger = ownSize > largestSelected ? ownSize : largestSelected;
    return ownSize + selectedTotal + larger + 0x1000000 + keptBeside;
}

StrView NotEnoughDiskSpaceMessageTemp(int64_t need, uint64_t freeBytes) {
    const char* fmt = GetTranslation(
        "Not enough free disk space to install VeloraPDF.\n\nRequired: about %d MB free\nAvailable: %d MB\n\n"
        "Free up space on this drive and try again.");
    int32_t requiredMiB = (int32_t)((need + 0xFFFFF) / 0x100000);
    int32_t availableMiB = (int32_t)(freeBytes / 0x100000);
    return str::FormatTemp(fmt, requiredMiB, availableMiB);
}

StrView WriteFailedMessageTemp(uint32_t writeError, StrView target, int64_t need, uint64_t freeNow) {
    if (IsDiskFull(writeError) && need > 0) {
        return NotEnoughDiskSpaceMessageTemp(need, freeNow);
    }
    const char* fmt = IsDiskFull(writeError)
                          ? GetTranslation("Not enough free disk space to write %s.\n\nFree up space on this drive and try again.")
                          : GetTranslation("Couldn't write %s to disk");
    return str::FormatTemp(fmt, target.CStr());
}

StrView CopySelfFailedMessageTemp(uint32_t lastError) {
    if (lastError == kErrorAccessDenied) {
        return str::DupTemp(GetTranslation(
            "Couldn't copy vlpdf.exe to the installation directory (access denied). Temporarily disable antivirus or "
            "Controlled Folder Access for this folder, run the installer as administrator, or choose a different "
            "install folder. See https://www.velorapdf.com/support"));
    }
    if (lastError == kErrorSharingViolation || lastError == kErrorLockViolation) {
        return str::DupTemp(GetTranslation(
            "Couldn't copy vlpdf.exe to the installation directory (file in use). Close all VeloraPDF windows and "
            "Explorer PDF previews, then try again. See https://www.velorapdf.com/support"));
    }
    if (IsDiskFull(lastError)) {
        return str::DupTemp(GetTranslation(
            "Not enough free disk space to copy vlpdf.exe to the installation directory.\n\nFree up space on this "
            "drive and try again."));
    }
    return str::DupTemp(GetTranslation("Couldn't copy vlpdf.exe to the installation directory"));
}
