#include <windows.h>
#include <shlobj.h>

#include "integration/registration.h"

#include "base/arena.h"
#include "base/file.h"
#include "base/install_failure.h"
#include "base/log.h"
#include "base/product.h"
#include "i18n/translations.h"
#include "integration/associations.h"
#include "integration/default_reader.h"
#include "integration/office_addin.h"
#include "integration/install_file_path.h"
#include "integration/path_env.h"
#include "integration/platform_version.h"
#include "integration/registry.h"
#include "integration/shell_ext.h"
#include "integration/shortcut.h"
#include "integration/uninstall.h"
#include "integration/watcher.h"

namespace {
bool AllUsers(const RegItem& item) {
    return item.root == RegRoot::Machine;
}

// The choices the next installation reads back.
void WriteRecordedChoices(HKEY root, const InstallChoices& in) {
    Vec<RegValue> values(GetTempArena());
    BuildRecordedChoiceValues(in, &values);
    WriteRegValues(root, values);
}

// Writes the values in order and stops at the first that fails; the failure is reported once.
void WriteExtension(HKEY root, const Vec<RegValue>& values, const char* failure) {
    bool ok = true;
    for (int32_t i = 0; i < values.len && ok; i++) {
        ok = WriteRegValue(root, values.els[i]);
    }
    if (ok) {
        Log("  did register\n");
        return;
    }
    Log("  failed to register\n");
    NotifyFailed(GetTranslation(failure));
}

// The associations together with the MIME type, which goes with them.
bool WriteAssociations(const Registration& reg, const RegItem& item) {
    HKEY root = RegRootKey(item.root);
    Logf("WriteExtendedFileExtensionInfo('%s')\n", RegKeyName(root));
    Vec<RegValue> values(GetTempArena());
    PieceValues(reg, item, gPlatformMajorVersion(), &values);
    RegItem mime = item;
    mime.piece = Piece::MimeType;
    PieceValues(reg, mime, gPlatformMajorVersion(), &values);
    bool ok = WriteRegValues(root, values);
    if (!ok) {
        Log("WriteExtendedFileExtensionInfo() failed\n");
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return ok;
}

void WriteItem(const Registration& reg, const RegItem& item) {
    const InstallChoices& in = reg.in;
    HKEY root = RegRootKey(item.root);
    switch (item.piece) {
        case Piece::SearchFilter: {
            StrView dll = GetInstallationFilePath(in.installDir, kSearchFilterDll);
            Logf("RegisterSearchFilter() dllPath=%s\n", dll.CStr());
            Vec<RegValue> values(GetTempArena());
            PieceValues(reg, item, gPlatformMajorVersion(), &values);
            WriteExtension(root, values, "Couldn't install PDF search filter");
            return;
        }
        case Piece::Previewer: {
            Logf("RegisterPreviewer() dllPath=%s\n", path::JoinTemp(in.installDir, kPreviewerDll).CStr());
            Vec<RegValue> values(GetTempArena());
            PieceValues(reg, item, gPlatformMajorVersion(), &values);
            WriteExtension(root, values, "Couldn't install PDF previewer");
            return;
        }
        case Piece::PreviewPane: {
            Vec<RegValue> values(GetTempArena());
            PieceValues(reg, item, gPlatformMajorVersion(), &values);
            EnableExplorerPreviewPane(values.els[0]);
            return;
        }
        case Piece::OfficeAddin:
            if (item.present) {
                RegisterOfficeAddin(root, in.installDir, RegViewFlag(item.view));
            } else {
                UnregisterOfficeAddin(root, RegViewFlag(item.view));
            }
            return;
        case Piece::Shortcuts:
            CreateAppShortcuts(AllUsers(item), in.Has(Choice::DesktopShortcut), reg.exePath);
            return;
        case Piece::UninstallEntry:
            if (!WriteUninstallerRegistryInfo(root, in.AllUsers(), in.installDir)) {
                NotifyFailed(GetTranslation("Failed to write the uninstallation information to the registry"));
            }
            WriteRecordedChoices(root, in);
            return;
        case Piece::Associations:
            if (!WriteAssociations(reg, item)) {
                NotifyFailed(GetTranslation("Failed to write the extended file extension information to the registry"));
            }
            return;
        case Piece::DefaultReader:
            SetDefaultReaderFor(item.reader);
            return;
        case Piece::PathEntry:
            AddInstallDirToPath(AllUsers(item), in.installDir);
            return;
        case Piece::Watcher: {
            // Only when the payload carries it.
            StrView watcher = WatcherPathTemp(reg.exePath);
            if (file::Exists(watcher)) {
                SetWatcherAutostart(watcher);
                StartWatcher(watcher);
            }
            return;
        }
        case Piece::MimeType:  // with the associations
        case Piece::DefaultBackups:  // with the default reader
        case Piece::Containers:  // on the way to the values
            return;
    }
}

// Whether a guarded step may be taken; logs keptLog when the value names something else.
bool GuardHolds(const RegDelete& d) {
    if (!d.guarded) {
        return true;
    }
    HKEY root = RegRootKey(d.root);
    if (d.ifExists) {
        return RegValueExists(root, d.key, d.ifName);
    }
    StrView v = d.ifLogged ? ReadRegStrTemp(root, d.key, d.ifName) : ReadRegStr(root, d.key, d.ifName);
    if (v.IsEmpty()) {
        return false;
    }
    if (d.ifIgnoreCase ? str::EqI(v, d.ifText) : str::Eq(v, d.ifText)) {
        return true;
    }
    if (!d.keptLog.IsEmpty()) {
        Log(d.keptLog);
    }
    return false;
}

// Deletes key when empty, then its parents while they are left empty: levels keys in all.
void DeleteKeyAndEmptyParents(HKEY root, StrView key, int levels) {
    StrView k = key;
    for (int i = 0; i < levels && !k.IsEmpty(); i++) {
        if (!DeleteRegKeyIfEmpty(root, k)) {
            return;
        }
        k = ParentRegPath(k);
    }
}

bool DeleteKeyBut(HKEY root, StrView key, StrView keep) {
    Vec<StrView> subkeys(GetTempArena());
    if (!ListRegSubkeys(root, key, &subkeys)) {
        return true;
    }
    bool keeps = false;
    for (StrView sub : subkeys) {
        keeps |= str::EqI(sub, keep);
    }
    if (!keeps) {
        return DeleteRegKey(root, key, false);
    }
    bool ok = true;
    for (StrView sub : subkeys) {
        if (!str::EqI(sub, keep)) {
            ok &= DeleteRegKey(root, path::JoinTemp(key, sub), false);
        }
    }
    return ok;
}

// One step; false when a step whose outcome counts failed.
bool RunStep(const RegDelete& d, Vec<DefaultBackup>* backups) {
    if (!GuardHolds(d)) {
        return true;
    }
    HKEY root = RegRootKey(d.root);
    switch (d.op) {
        case RegDeleteOp::Key: {
            bool ok = DeleteRegKey(root, d.key, d.resetAcl);
            if (ok && d.levels > 0) {
                DeleteKeyAndEmptyParents(root, ParentRegPath(d.key), d.levels);
            }
            return ok || d.mayFail;
        }
        case RegDeleteOp::KeyIfEmpty:
            DeleteKeyAndEmptyParents(root, d.key, d.levels);
            return true;
        case RegDeleteOp::EmptyKeys:
            DeleteEmptyRegKeys(root, d.key);
            return true;
        case RegDeleteOp::KeyInView:
            DeleteRegKeyInView(root, d.key, RegViewFlag(d.view));
            return true;
        case RegDeleteOp::KeyBut:
            return DeleteKeyBut(root, d.key, d.name);
        case RegDeleteOp::Value:
            DeleteRegValue(root, d.key, d.name);
            return true;
        case RegDeleteOp::ValueQuiet:
            DeleteRegValueQuiet(root, d.key, d.name);
            return true;
        case RegDeleteOp::Log:
            Log(d.text);
            return true;
        case RegDeleteOp::NotifyAssociationsChanged:
            SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
            return true;
        case RegDeleteOp::PathElement:
            RemoveInstallDirFromPath(d.root == RegRoot::Machine, d.text);
            return true;
        case RegDeleteOp::Shortcut:
            RemoveShortcutFile(d.csidl);
            return true;
        case RegDeleteOp::AllShortcuts:
            RemoveAppShortcuts();
            return true;
        case RegDeleteOp::DefaultBackups:
            ReadDefaultBackups(d.reader, backups);
            return true;
    }
    return true;
}

bool RunSteps(const Vec<RegDelete>& steps, Vec<DefaultBackup>* backups) {
    bool ok = true;
    for (const RegDelete& d : steps) {
        ok &= RunStep(d, backups);
    }
    return ok;
}
}  // namespace

HKEY RegRootKey(RegRoot root) {
    return RootFor(root == RegRoot::Machine);
}

RegRoot RegRootOf(HKEY root) {
    return RegRootFor(root == HKEY_LOCAL_MACHINE);
}

uint32_t RegViewFlag(RegView view) {
    switch (view) {
        case RegView::Bits64:
            return kRegView64;
        case RegView::Bits32:
            return kRegView32;
        case RegView::Native:
            break;
    }
    return 0;
}

void WriteRegistration(const Registration& reg, RegStage stage) {
    for (const RegItem& item : reg.items) {
        if (StageOf(item.piece) == stage) {
            TempArenaScope scope;
            WriteItem(reg, item);
        }
    }
}

void RestoreShellExtensionsFrom(const Registration& reg) {
    for (const RegItem& item : reg.items) {
        if (item.piece == Piece::SearchFilter || item.piece == Piece::Previewer) {
            TempArenaScope scope;
            WriteItem(reg, item);
        }
    }
}

bool RunRemoval(const Vec<RegDelete>& steps) {
    TempArenaScope scope;
    Vec<DefaultBackup> backups(GetProcessArena());
    bool ok = RunSteps(steps, &backups);
    if (backups.len > 0) {
        GiveDefaultsBack(backups);
    }
    return ok;
}

void RemovePiece(const Registration& reg, Piece piece, Removal why) {
    TempArenaScope scope;
    Vec<RegDelete> steps(GetTempArena());
    for (const RegItem& item : reg.items) {
        if (item.piece == piece) {
            PieceRemoval(reg, item, why, &steps);
        }
    }
    // The defaults are given back together, once every group's backup is read.
    RunRemoval(steps);
}

void RemoveRegistration(const Registration& reg, Removal why) {
    int n = 0;
    const Piece* order = RemovalOrder(why, &n);
    for (int i = 0; i < n; i++) {
        RemovePiece(reg, order[i], why);
    }
}

namespace {
// A table of one item, for the older entry points below.
struct OneItem {
    Registration reg{GetTempArena()};
    RegItem item;
    OneItem(Piece piece, HKEY root, StrView installDir) {
        reg.in.installDir = installDir;
        reg.in.Set(Choice::AllUsers, root == HKEY_LOCAL_MACHINE);
        reg.exePath = path::JoinTemp(installDir, kReaderExeName);
        item.piece = piece;
        item.root = RegRootFor(reg.in.AllUsers());
        reg.items.Append(item);
    }
};
}  // namespace

void RegisterSearchFilter(bool allUsers, StrView installDir) {
    TempArenaScope scope;
    OneItem one(Piece::SearchFilter, RootFor(allUsers), installDir);
    WriteItem(one.reg, one.item);
}

void RegisterPreviewer(bool allUsers, StrView installDir) {
    TempArenaScope scope;
    OneItem one(Piece::Previewer, RootFor(allUsers), installDir);
    WriteItem(one.reg, one.item);
}

bool WriteExtendedFileExtensionInfo(HKEY root, StrView exePath) {
    TempArenaScope scope;
    OneItem one(Piece::Associations, root, path::GetDirTemp(exePath));
    one.reg.exePath = exePath;
    return WriteAssociations(one.reg, one.item);
}

// The older entry points, each the table's steps for one piece.
bool UninstallSearchFilter() {
    TempArenaScope scope;
    Vec<RegDelete> steps(GetTempArena());
    SearchFilterRemoval(&steps);
    return RunRemoval(steps);
}

bool UninstallPreviewDll() {
    TempArenaScope scope;
    Vec<RegDelete> steps(GetTempArena());
    PreviewerRemoval(&steps);
    return RunRemoval(steps);
}

void RemoveInstallRegistryKeys(HKEY root) {
    TempArenaScope scope;
    Vec<RegDelete> steps(GetTempArena());
    AssociationsRemoval(RegRootOf(root), &steps);
    RunRemoval(steps);
}

void UnregisterFromBeingDefaultViewer(HKEY root) {
    TempArenaScope scope;
    Vec<RegDelete> steps(GetTempArena());
    DefaultViewerRemoval(RegRootOf(root), &steps);
    RunRemoval(steps);
}

void UnregisterOfficeAddin(HKEY root, uint32_t view) {
    TempArenaScope scope;
    Vec<RegDelete> steps(GetTempArena());
    OfficeAddinRemoval(RegRootOf(root),
                       view == kRegView32 ? RegView::Bits32 : view == kRegView64 ? RegView::Bits64 : RegView::Native,
                       &steps);
    RunRemoval(steps);
}

bool RemoveProductRegistryKey(HKEY root) {
    TempArenaScope scope;
    Vec<RegDelete> steps(GetTempArena());
    ProductKeyRemoval(RegRootOf(root), &steps);
    return RunRemoval(steps);
}

bool RemoveUninstallEntry(HKEY root) {
    TempArenaScope scope;
    Vec<RegDelete> steps(GetTempArena());
    UninstallEntryRemoval(RegRootOf(root), false, &steps);
    return RunRemoval(steps);
}

bool RemoveUninstallerRegistryInfo(HKEY root) {
    TempArenaScope scope;
    Vec<RegDelete> steps(GetTempArena());
    UninstallEntryRemoval(RegRootOf(root), true, &steps);
    return RunRemoval(steps);
}

void RemoveWatcherAutostart(StrView watcherPath) {
    TempArenaScope scope;
    Vec<RegDelete> steps(GetTempArena());
    WatcherRemoval(watcherPath, &steps);
    RunRemoval(steps);
}
