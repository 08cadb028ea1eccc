#include <windows.h>
#include <shlobj.h>

#include "integration/registration.h"

#include "base/arena.h"
#include "base/durable.h"
#include "base/file.h"
#include "base/install_failure.h"
#include "base/log.h"
#include "base/product.h"
#include "i18n/translations.h"
#include "integration/associations.h"
#include "integration/default_reader.h"
#include "integration/office_addin.h"
#include "integration/path_env.h"
#include "integration/platform_version.h"
#include "integration/registry.h"
#include "integration/shell_ext.h"
#include "integration/shortcut.h"
#include "integration/uninstall.h"
#include "integration/watcher.h"

namespace {
// A value written quietly (in a view, or where the key must be there already) goes through
// the status primitive; any other through the logged one of its type.
bool WriteStepValue(HKEY root, const RegWrite& w, const RegValue& v) {
    if (!w.quiet) {
        return WriteRegValue(root, v);
    }
    RegKeyMissing missing = w.keyMustExist ? RegKeyMissing::Fail : RegKeyMissing::Create;
    uint32_t view = RegViewFlag(w.view);
    if (v.type == RegType::Dword) {
        DWORD data = v.dword;
        return SetRegValueStatus(root, v.key, v.name, REG_DWORD, &data, sizeof(data), view, missing) == ERROR_SUCCESS;
    }
    return SetRegStrStatus(root, v.key, v.name, v.text, view, missing) == ERROR_SUCCESS;
}

// The state of a run of write steps: the current group's result and every group's.
struct WriteRun {
    bool report = false;
    bool group = true;
    bool all = true;
};

void WriteValue(HKEY root, const RegWrite& w, const RegValue& v, WriteRun* run) {
    if (w.stopAfterFailure && !run->group) {
        return;
    }
    bool ok = WriteStepValue(root, w, v) || (w.orUser && WriteStepValue(HKEY_CURRENT_USER, w, v));
    if (ok && w.durable) {
        durable::Note(durable::Step::RegWrite, str::FormatTemp("%s\\%s", RegKeyName(root), v.key.CStr()));
    }
    run->group &= ok;
}

void EndGroup(const RegWrite& w, WriteRun* run) {
    if (run->group) {
        if (!w.text.IsEmpty()) {
            Log(w.text);
        }
    } else {
        if (!w.failLog.IsEmpty()) {
            Log(w.failLog);
        }
        if (run->report && w.failure) {
            NotifyFailed(GetTranslation(w.failure));
        }
    }
    run->all &= run->group;
    run->group = true;
}

// One step; false when the piece's remaining steps are to be left out.
bool RunWrite(HKEY root, const RegWrite& w, WriteRun* run) {
    bool allUsers = w.root == RegRoot::Machine;
    switch (w.op) {
        case RegWriteOp::Log:
            Log(w.text);
            break;
        case RegWriteOp::Value:
            WriteValue(root, w, w.value, run);
            break;
        case RegWriteOp::EstimatedSize: {
            RegValue v = w.value;
            v.dword = EstimatedSizeKb(GetDirSize(w.text));
            WriteValue(root, w, v, run);
            break;
        }
        case RegWriteOp::FlushEntry:
            run->group &= FlushUninstallEntry(root);
            break;
        case RegWriteOp::Outcome:
            EndGroup(w, run);
            break;
        case RegWriteOp::NotifyAssociationsChanged:
            SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
            break;
        case RegWriteOp::UserChoice:
            run->group &= SetDefaultReaderForExt(w.text, w.value.text);
            break;
        case RegWriteOp::PathElement:
            AddInstallDirToPath(allUsers, w.text);
            break;
        case RegWriteOp::PreviewPane:
            EnableExplorerPreviewPane(w.value);
            break;
        case RegWriteOp::Shortcuts:
            CreateAppShortcuts(allUsers, w.desktop, w.text);
            break;
        case RegWriteOp::IfFileExists:
            return file::Exists(w.text);
        case RegWriteOp::StartWatcher:
            StartWatcher(w.text);
            break;
        case RegWriteOp::Unregister: {
            Vec<RegDelete> steps(GetTempArena());
            OfficeAddinRemoval(w.root, w.view, &steps);
            RunRemoval(steps);
            break;
        }
    }
    return true;
}

void WriteItem(const Registration& reg, const RegItem& item) {
    Vec<RegWrite> steps(GetTempArena());
    PieceWrites(reg, item, CurrentWriteContext(), &steps);
    RunWrites(steps, true);
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

RegWriteContext CurrentWriteContext() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    RegWriteContext ctx;
    ctx.platformMajor = gPlatformMajorVersion();
    ctx.year = now.wYear;
    ctx.month = now.wMonth;
    ctx.day = now.wDay;
    return ctx;
}

bool RunWrites(const Vec<RegWrite>& steps, bool report) {
    WriteRun run;
    run.report = report;
    for (const RegWrite& w : steps) {
        if (!RunWrite(RegRootKey(w.root), w, &run)) {
            break;
        }
    }
    return run.all && run.group;
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

void WriteStatsIdentity(StrView packageName, StrView hardwareId) {
    TempArenaScope scope;
    Registration reg(GetTempArena());
    RegWriteContext ctx = CurrentWriteContext();
    ctx.packageName = packageName;
    ctx.hardwareId = hardwareId;
    Vec<RegWrite> steps(GetTempArena());
    PieceWrites(reg, StatsIdentityItem(), ctx, &steps);
    RunWrites(steps, false);
}

bool RemoveUninstallEntry(HKEY root) {
    TempArenaScope scope;
    Registration reg(GetTempArena());
    RegItem entry;
    entry.piece = Piece::UninstallEntry;
    entry.root = RegRootOf(root);
    Vec<RegDelete> steps(GetTempArena());
    PieceRemoval(reg, entry, Removal::OtherInstallationEntry, &steps);
    return RunRemoval(steps);
}
