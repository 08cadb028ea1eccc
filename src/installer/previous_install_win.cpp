#include <windows.h>
#include <shlobj.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/file_win.h"
#include "base/log.h"
#include "installer/launch.h"
#include "installer/previous_install.h"
#include "integration/registry.h"
#include "integration/shell_ext.h"
#include "integration/shell_folder.h"
#include "base/flags.h"
#include "base/wide_win.h"

namespace {
StrView gExistingDir;

// What tells one folder from another whatever names lead to it (case, short names, links):
// its volume and its index on that volume.
struct FolderId {
    DWORD volume = 0;
    uint64_t index = 0;
    bool known = false;
};

FolderId ReadFolderId(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) {
        return {};
    }
    return FolderId{info.dwVolumeSerialNumber, ((uint64_t)info.nFileIndexHigh << 32) | info.nFileIndexLow, true};
}

// The index alone, which the file system keeps with the file: the volume's serial number,
// which GetFileInformationByHandle also asks for, costs about half a millisecond under Wine,
// and a path is compared at each of its parents. Zero when the system does not tell.
uint64_t ReadFolderIndex(HANDLE h) {
    struct IoStatus {
        LONG_PTR status;
        ULONG_PTR information;
    };
    using QueryFn = LONG(NTAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
    constexpr int kFileInternalInformation = 6;
    static const QueryFn query =
        (QueryFn)(void*)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationFile");
    LARGE_INTEGER index{};
    IoStatus io{};
    if (!query || query(h, &io, &index, sizeof(index), kFileInternalInformation) < 0) {
        return 0;
    }
    return (uint64_t)index.QuadPart;
}

// A Program Files folder, read once: its name, its identity and its index alone.
struct ProgramFilesFolder {
    StrView name;
    FolderId id;
    uint64_t index = 0;
};

struct ProgramFilesFolders {
    ProgramFilesFolder each[2];
    int count = 0;

    void Add(StrView name) {
        ProgramFilesFolder& f = each[count++];
        f.name = name;
        HANDLE h = path::OpenToQuery(name);
        if (h != INVALID_HANDLE_VALUE) {
            f.id = ReadFolderId(h);
            f.index = ReadFolderIndex(h);
            CloseHandle(h);
        }
    }
};

// Whether the open folder is pf: indexes read the same way that differ tell at once; the
// whole identity decides otherwise.
bool IsSameFolder(HANDLE h, const ProgramFilesFolder& pf) {
    uint64_t index = ReadFolderIndex(h);
    if (index != 0 && pf.index != 0 && index != pf.index) {
        return false;
    }
    FolderId id = ReadFolderId(h);
    return id.known && id.volume == pf.id.volume && id.index == pf.id.index;
}

bool IsSameFolder(StrView dir, HANDLE h, const ProgramFilesFolder& pf) {
    if (h != INVALID_HANDLE_VALUE && pf.id.known) {
        return IsSameFolder(h, pf);
    }
    // A folder that cannot be opened while Program Files can is another one (it usually
    // does not exist yet), unless it is spelled the same. Normalizing asks Windows for the
    // short names as well, which lists whole folders under Wine: only when both are unknown.
    if (pf.id.known) {
        return str::EqI(dir, pf.name);
    }
    return str::EqI(path::NormalizeTemp(dir), path::NormalizeTemp(pf.name));
}

bool IsProgramFilesFolderCb(StrView dir, void* ctx) {
    const ProgramFilesFolders& folders = *(const ProgramFilesFolders*)ctx;
    HANDLE h = path::OpenToQuery(dir);
    bool same = false;
    for (int i = 0; i < folders.count && !same; i++) {
        same = IsSameFolder(dir, h, folders.each[i]);
    }
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
    }
    return same;
}

bool DirExistsCb(StrView dir, void*) {
    return dir::Exists(dir);
}

bool ReadFlag(HKEY root, const char* name) {
    uint32_t v = 0;
    return ReadRegDWORD(root, kUninstallRegKey, name, &v) && v != 0;
}
}  // namespace

StrView GetExistingInstallationDir() {
    if (!gExistingDir.IsEmpty()) {
        return gExistingDir;
    }
    Log("GetExistingInstallationDir()\n");
    StrView dir = InstallDirFromLocationTemp(ReadRegStr2(kUninstallRegKey, "InstallLocation"));
    if (dir.IsEmpty() || !dir::Exists(dir)) {
        return {};
    }
    gExistingDir = str::Dup(GetProcessArena(), dir);
    return gExistingDir;
}

void ForgetExistingInstallationDir() {
    gExistingDir = {};
}

void GetPreviousInstallInfo(PreviousInstallInfo* info) {
    InstallChoices& chose = info->choices;
    chose.installDir = GetExistingInstallationDir();
    info->registered.Set(Choice::SearchFilter, IsSearchFilterInstalled());
    info->registered.Set(Choice::Previewer, IsPreviewInstalled());
    if (chose.installDir.IsEmpty()) {
        info->keys = PrevInstallKeys::None;
        Log("GetPreviousInstallInfo: not installed\n");
        return;
    }
    chose.Set(Choice::SearchFilter, info->registered.Has(Choice::SearchFilter));
    chose.Set(Choice::Previewer, info->registered.Has(Choice::Previewer));
    bool machine = !ReadRegStrTemp(HKEY_LOCAL_MACHINE, kUninstallRegKey, "InstallLocation").IsEmpty();
    bool user = !ReadRegStrTemp(HKEY_CURRENT_USER, kUninstallRegKey, "InstallLocation").IsEmpty();
    if (machine) {
        info->keys = user ? PrevInstallKeys::MachineAndUser : PrevInstallKeys::MachineOnly;
        chose.Set(Choice::AllUsers, true);
    } else {
        info->keys = PrevInstallKeys::UserOnly;
        chose.Set(Choice::AllUsers, false);
        if (IsUnderProgramFiles(chose.installDir)) {
            Log("GetPreviousInstallInfo: dir under Program Files with only HKCU key; forcing allUsers\n");
            chose.Set(Choice::AllUsers, true);
        }
    }
    HKEY root = RootFor(machine);
    ReadRecordedChoices(root, &chose);
    info->createdFolder = str::Dup(GetProcessArena(), ReadRegStr(root, kUninstallRegKey, kCreatedFolderValue));
    info->version = str::Dup(GetProcessArena(), ReadRegStr(root, kUninstallRegKey, kDisplayVersionValue));
    Logf("GetPreviousInstallInfo: desktop shortcut: %d\n", chose.Has(Choice::DesktopShortcut) ? 1 : 0);
    // An installation killed while the shell extensions were unregistered to free their
    // files: the earlier installation had them, and the next one keeps them.
    bool filterPending = ReadFlag(root, kPendingSearchFilterValue);
    bool previewPending = ReadFlag(root, kPendingPreviewerValue);
    if (filterPending || previewPending) {
        Logf("GetPreviousInstallInfo: interrupted installation, filter pending: %d, preview pending: %d\n",
             filterPending ? 1 : 0, previewPending ? 1 : 0);
    }
    chose.Set(Choice::SearchFilter, chose.Has(Choice::SearchFilter) || filterPending);
    chose.Set(Choice::Previewer, chose.Has(Choice::Previewer) || previewPending);
    Logf("GetPreviousInstallInfo: dir '%s', search filter: %d, preview: %d, typ: %d, needsElevation: %d\n",
         chose.installDir.CStr(), chose.Has(Choice::SearchFilter) ? 1 : 0, chose.Has(Choice::Previewer) ? 1 : 0,
         (int)info->keys, chose.AllUsers() ? 1 : 0);
}

StrView GetDefaultInstallationDir(StrView earlierDir, bool forAllUsers, bool ignorePrev) {
    Logf("GetDefaultInstallationDir(forAllUsers=%d, ignorePrev=%d)\n", forAllUsers ? 1 : 0, ignorePrev ? 1 : 0);
    if (!earlierDir.IsEmpty() && !ignorePrev) {
        Logf("  using %s from previous install\n", earlierDir.CStr());
        return earlierDir;
    }
    if (forAllUsers) {
        StrView dir = path::JoinTemp(GetSpecialFolderTemp(CSIDL_PROGRAM_FILES), "vlpdf");
        Logf("  using '%s' from GetSpecialFolderTemp(CSIDL_PROGRAM_FILES)\n", dir.CStr());
        return dir;
    }
    StrView dir = path::JoinTemp(GetSpecialFolderTemp(CSIDL_LOCAL_APPDATA), "vlpdf");
    Logf("  using '%s' from GetSpecialFolderTemp(CSIDL_LOCAL_APPDATA)\n", dir.CStr());
    return dir;
}

bool IsUnderProgramFiles(StrView path) {
    if (path.IsEmpty()) {
        return false;
    }
    // The Program Files folders stay where they are while the installer runs; each answer
    // (at start-up, for the shield, for every path typed in) need not look them up again.
    static ProgramFilesFolders folders = [] {
        ProgramFilesFolders found;
        for (int csidl : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86}) {
            TempArenaScope scope;
            StrView folder = GetSpecialFolderTemp(csidl);
            if (!folder.IsEmpty()) {
                found.Add(str::Dup(GetProcessArena(), folder));
            }
        }
        return found;
    }();
    return folders.count > 0 && !FindSelfOrAncestorTemp(path, IsProgramFilesFolderCb, &folders).IsEmpty();
}

bool CanWriteToDirectory(StrView path) {
    if (path.IsEmpty()) {
        return false;
    }
    StrView dir = FindSelfOrAncestorTemp(path, DirExistsCb, nullptr);
    if (dir.IsEmpty()) {
        return false;
    }
    StrView name = str::FormatTemp("tovarin-write-test-%u.tmp", (unsigned)GetCurrentProcessId());
    HANDLE h = CreateFileW(W(path::JoinTemp(dir, name)), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        Logf("CanWriteToDirectory: CreateFile failed for '%s' err=%u\n", dir.CStr(), (unsigned)GetLastError());
        return false;
    }
    CloseHandle(h);
    return true;
}

bool NeedsElevation(StrView path, bool allUsers, bool isElevated) {
    DirProbe probe{IsUnderProgramFiles, CanWriteToDirectory};
    return NeedsElevation(path, allUsers, isElevated, probe);
}

void ForAllUsersStateChanged(InstallChoices* choices, bool allUsers) {
    Logf("ForAllUsersStateChanged() to %d\n", allUsers ? 1 : 0);
    choices->Set(Choice::AllUsers, allUsers);
    choices->installDir = str::Dup(GetProcessArena(), GetDefaultInstallationDir({}, allUsers, true));
    Logf("ForAllUsersStateChanged: cli->installer.allUsers: %d, cli->installer.installDir: '%s', forAllUsers: %d\n",
         choices->AllUsers() ? 1 : 0, choices->installDir.CStr(), allUsers ? 1 : 0);
}
