#include "replace/replace_rules.h"

#include <ctype.h>

#include <algorithm>

#include "base/arena.h"
#include "base/file.h"
#include "base/product.h"
#include "i18n/translations.h"

bool IsDiskFullError(uint32_t err) {
    return err == kErrorDiskFull || err == kErrorHandleDiskFull;
}

namespace aside {
const char* const kMoveAsideNames[4] = {"PdfFilter.dll", "PdfPreview.dll", "libtovarinpdf.dll", kReaderExeName};
const char* const kRestoreNames[5] = {kReaderExeName, "libtovarinpdf.dll", "PdfFilter.dll", "PdfPreview.dll",
                                      "libvlrender.dll"};
const ModulePair kProductModulePairs[4] = {
    {"libtovarinpdf.dll", "libvlrender.dll"},
    {"PdfFilter.dll", "PdfPreview.dll"},
    {kReaderExeName, ""},
    {"UserSDK.dll", "UserSDKHost\\UserSDKHost.exe"},
};

uint32_t QuickPauseMs(int attempt) {
    return 300u * (uint32_t)attempt;
}

namespace {
bool LessIgnoringCase(StrView a, StrView b) {
    auto lower = [](char c) { return tolower((unsigned char)c); };
    return std::lexicographical_compare(a.s, a.s + a.len, b.s, b.s + b.len,
                                        [&](char x, char y) { return lower(x) < lower(y); });
}
}  // namespace

void LeftoverAsideCopiesTemp(Vec<StrView>* out) {
    for (const char* name : kRestoreNames) {
        out->Append(CopyPathTemp(name));
    }
    for (const char* name : kMoveAsideNames) {
        out->Append(KeepPathTemp(name));
    }
    std::sort(out->begin(), out->end(), LessIgnoringCase);
}

bool IsMovedAsideName(StrView name) {
    for (const char* moved : kMoveAsideNames) {
        if (str::EqI(name, moved)) {
            return true;
        }
    }
    return false;
}

StrView CopyPathTemp(StrView path) {
    return str::FormatTemp("%.*s%s", (int)path.len, path.s, kCopySuffix);
}

StrView StalePathTemp(StrView asidePath, uint32_t tick) {
    return str::FormatTemp("%.*s%s%u", (int)asidePath.len, asidePath.s, kStaleSuffix, (unsigned)tick);
}

StrView FailedPathTemp(StrView path) {
    return str::FormatTemp("%.*s%s", (int)path.len, path.s, kFailedSuffix);
}

StrView KeepPathTemp(StrView path) {
    return str::FormatTemp("%.*s%s", (int)path.len, path.s, kKeepSuffix);
}

bool NeedsSearchServiceStop(StrView name) {
    return str::EqI(name, "PdfFilter.dll") || str::EqI(name, "PdfPreview.dll");
}
}  // namespace aside

Ending ChooseEnding(const ProcessFacts& p, StrView folder, uint32_t self, uint32_t spared) {
    if (p.pid == 0 || p.pid == self || (spared != 0 && p.pid == spared)) {
        return Ending::Keep;
    }
    if (p.loadsFile) {
        return Ending::LoadsFile;
    }
    if (p.runsFile && IsInsideFolder(p.image, folder)) {
        return Ending::RunsFile;
    }
    return Ending::Keep;
}

namespace {
StrView WithoutLongPrefixAndTrailingSeps(StrView p) {
    if (str::StartsWith(p, "\\\\?\\")) {
        p = StrView(p.s + 4, p.len - 4);
    }
    while (p.len > 0 && path::IsSep(p.s[p.len - 1])) {
        p.len--;
    }
    return p;
}
}  // namespace

bool IsInsideFolder(StrView pathIn, StrView folderIn) {
    StrView p = WithoutLongPrefixAndTrailingSeps(pathIn);
    StrView folder = WithoutLongPrefixAndTrailingSeps(folderIn);
    if (folder.IsEmpty() || p.len <= folder.len + 1 || !path::IsSep(p.s[folder.len])) {
        return false;
    }
    for (int32_t i = 0; i < folder.len; i++) {
        char a = p.s[i], b = folder.s[i];
        bool same = (path::IsSep(a) && path::IsSep(b)) || tolower((unsigned char)a) == tolower((unsigned char)b);
        if (!same) {
            return false;
        }
    }
    for (int32_t start = folder.len + 1, i = start; i <= p.len; i++) {
        if (i < p.len && !path::IsSep(p.s[i])) {
            continue;
        }
        if (i - start == 2 && p.s[start] == '.' && p.s[start + 1] == '.') {
            return false;
        }
        start = i + 1;
    }
    return true;
}

void AppendHolderLine(Str& list, StrView appName, uint32_t pid) {
    if (list.len > 0) {
        str::Append(list, "\n");
    }
    str::Append(list, str::FormatTemp("\xE2\x80\xA2 %.*s (pid %u)", (int)appName.len, appName.s, (unsigned)pid));
}

namespace {
// Each text is one translation unit; its lines are joined with \n.
const char* const kBlockedHolders =
    "Could not update %s because another program still has the file open.\n"
    "\n"
    "Programs currently using this file:\n"
    "%s\n"
    "\n"
    "What to try:\n"
    "\xE2\x80\xA2 Close the programs listed above\n"
    "\xE2\x80\xA2 Close Explorer windows that show a PDF preview pane\n"
    "\xE2\x80\xA2 Stop the \"Windows Search\" service temporarily (services.msc)\n"
    "\n"
    "The installer keeps retrying every few seconds. Click Abort to cancel.";

const char* const kBlockedInUse =
    "Could not update %s because another program still has the file open.\n"
    "\n"
    "Common causes:\n"
    "\xE2\x80\xA2 Windows Search Indexer (loads PdfFilter.dll for PDF search)\n"
    "\xE2\x80\xA2 File Explorer PDF preview (loads PdfPreview.dll / libtovarinpdf.dll)\n"
    "\xE2\x80\xA2 Another VeloraPDF window or PDF application\n"
    "\n"
    "What to try:\n"
    "\xE2\x80\xA2 Close Explorer windows that show a PDF preview pane\n"
    "\xE2\x80\xA2 Stop the \"Windows Search\" service temporarily (services.msc)\n"
    "\xE2\x80\xA2 Close all VeloraPDF and other PDF apps\n"
    "\n"
    "The installer keeps retrying every few seconds. Click Abort to cancel.";

const char* const kBlockedDeniedElevated =
    "Could not update %s (access denied).\n"
    "\n"
    "No program is listed as using this file, but Windows still denied renaming it. This installer is already "
    "running as administrator, so the usual cause is antivirus, Controlled Folder Access, a restrictive file ACL, "
    "or a leftover lock that only a reboot clears.\n"
    "\n"
    "What to try:\n"
    "\xE2\x80\xA2 Temporarily exclude the install folder from antivirus / Controlled Folder Access\n"
    "\xE2\x80\xA2 Reboot, then run the installer again before opening VeloraPDF\n"
    "\xE2\x80\xA2 Or install to a folder your account can write to (Options)\n"
    "\n"
    "The installer keeps retrying every few seconds. Click Abort to cancel.";

const char* const kBlockedDeniedNotElevated =
    "Could not update %s due to insufficient permissions.\n"
    "\n"
    "The install folder is protected (for example Program Files) or access was denied.\n"
    "\n"
    "What to try:\n"
    "\xE2\x80\xA2 Run the installer again and accept the administrator (UAC) prompt\n"
    "\xE2\x80\xA2 Temporarily exclude the install folder from antivirus / Controlled Folder Access\n"
    "\xE2\x80\xA2 Or install to a folder your account can write to (Options)\n"
    "\xE2\x80\xA2 If it still fails when elevated: reboot, then install before opening VeloraPDF\n"
    "\n"
    "The installer keeps retrying every few seconds. Click Abort to cancel.";

// Fills the placeholders of a translated text one by one with plain substitution, so a
// '%' inside a file name or a translation can never be read as a format directive.
StrView FillTemp(const char* translated, StrView first, StrView second = {}) {
    Str out(GetTempArena());
    StrView values[2] = {first, second};
    int next = 0;
    for (const char* p = translated; *p; p++) {
        if (p[0] == '%' && p[1] == 's' && next < 2) {
            str::Append(out, values[next++]);
            p++;
            continue;
        }
        out.Append(*p);
    }
    return str::View(out);  // the bytes stay in the temporary arena
}

}  // namespace

StrView BlockedFileMessageTemp(StrView name, StrView holders, uint32_t renameError, bool elevated) {
    if (!holders.IsEmpty()) {
        return FillTemp(GetTranslation(kBlockedHolders), name, holders);
    }
    if (renameError != kErrorAccessDenied) {
        return FillTemp(GetTranslation(kBlockedInUse), name);
    }
    return FillTemp(GetTranslation(elevated ? kBlockedDeniedElevated : kBlockedDeniedNotElevated), name);
}

StrView MoveAsideFailureMessageTemp(StrView name, bool inUse, bool aborted, bool elevated) {
    if (aborted) {
        if (inUse) {
            return FillTemp(GetTranslation("Installation aborted: could not update %s (file in use)."), name);
        }
        if (elevated) {
            return FillTemp(GetTranslation("Installation aborted: could not update %s (access denied; antivirus, "
                                           "Controlled Folder Access, or file ACL — already running as "
                                           "administrator)."),
                            name);
        }
        return FillTemp(
            GetTranslation("Installation aborted: could not update %s (access denied; try running as administrator)."),
            name);
    }
    if (inUse) {
        return FillTemp(GetTranslation("Could not update %s because it is in use by another program. Stop Windows "
                                       "Search / close Explorer previews and try again. See "
                                       "https://www.velorapdf.com/support"),
                        name);
    }
    if (elevated) {
        return FillTemp(GetTranslation("Could not update %s: access denied (antivirus, Controlled Folder Access, or "
                                       "file ACL). Exclude the install folder, reboot and retry, or choose a "
                                       "different folder. See https://www.velorapdf.com/support"),
                        name);
    }
    return FillTemp(GetTranslation("Could not update %s: access denied. Run the installer as administrator, or "
                                   "choose a folder you can write to. See https://www.velorapdf.com/support"),
                    name);
}

