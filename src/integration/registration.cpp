#include "integration/registration.h"

#include "base/arena.h"
#include "base/file.h"
#include "base/product.h"
#include "integration/associations.h"
#include "integration/default_reader.h"
#include "integration/office_addin.h"
#include "integration/path_env.h"
#include "integration/registry.h"
#include "integration/shell_ext.h"
#include "integration/shortcut.h"
#include "integration/uninstall.h"
#include "integration/watcher.h"

namespace {
void Add(Registration* out, Piece piece, RegRoot root, RegView view = RegView::Native, bool present = true) {
    RegItem item;
    item.piece = piece;
    item.root = root;
    item.view = view;
    item.present = present;
    out->items.Append(item);
}

void AddDefault(Registration* out, ReaderKind kind) {
    RegItem item;
    item.piece = Piece::DefaultReader;
    item.reader = kind;
    out->items.Append(item);
}

constexpr Piece kUpgradeOrder[] = {Piece::Previewer, Piece::SearchFilter, Piece::Associations, Piece::Shortcuts};
// Associations before the add-in, the MIME type and PATH: as the uninstaller takes them.
constexpr Piece kOtherInstallationOrder[] = {Piece::Associations, Piece::OfficeAddin, Piece::MimeType,
                                             Piece::PathEntry, Piece::Containers};
constexpr Piece kEntryOnly[] = {Piece::UninstallEntry};
// The shell extensions first: Explorer and the indexer hold their DLLs. The defaults are
// given back once nothing names the reader any more.
constexpr Piece kUninstallOrder[] = {Piece::Previewer,   Piece::SearchFilter, Piece::Associations,
                                     Piece::OfficeAddin, Piece::Watcher,      Piece::Shortcuts,
                                     Piece::PathEntry,   Piece::DefaultReader};
// The entry goes only once the files did: until then the user can run it again. The backups
// of the defaults with it, and the containers last, once empty.
constexpr Piece kUninstallAfterFilesOrder[] = {Piece::UninstallEntry, Piece::DefaultBackups, Piece::MimeType,
                                               Piece::Containers};

template <int N>
const Piece* Order(const Piece (&order)[N], int* n) {
    *n = N;
    return order;
}

// A value written twice (preview rows sharing a class) holds what was written last.
void AddTrace(Vec<RegTrace>* out, const RegTrace& t) {
    for (RegTrace& old : *out) {
        if (old.root == t.root && old.view == t.view && str::EqI(old.value.key, t.value.key) &&
            str::EqI(old.value.name, t.value.name)) {
            old = t;
            return;
        }
    }
    out->Append(t);
}

// What removing the installation leaves: the machine's MIME type of .pdf, which may have been
// there before, Explorer's preview pane, the user's layout by then, and the statistics
// identity, for the reports of later installations.
bool KeptOnRemoval(const RegItem& item) {
    return (item.piece == Piece::MimeType && item.root == RegRoot::Machine) || item.piece == Piece::PreviewPane ||
           item.piece == Piece::StatsIdentity;
}

void AddTraces(Vec<RegTrace>* out, const RegItem& item, const Vec<RegValue>& values) {
    for (const RegValue& v : values) {
        RegTrace t;
        t.piece = item.piece;
        t.root = item.root;
        t.view = item.view;
        t.value = v;
        t.match = v.type == RegType::DeleteValue ? TraceMatch::Absent : TraceMatch::Exact;
        if (v.varies) {
            // A choice record given back to another program has a verification value too.
            t.match = item.piece == Piece::DefaultReader ? TraceMatch::ExistsWhileInstalled : TraceMatch::Exists;
        }
        t.orUser = item.orUser;
        t.keptOnRemoval = KeptOnRemoval(item);
        AddTrace(out, t);
    }
}

// The entry's values on the context's day, then the choices recorded in it, which start at
// the index returned.
int32_t EntryValues(const Registration& reg, const RegWriteContext& ctx, Vec<RegValue>* out) {
    UninstallEntryInputs entry;
    entry.installDir = reg.in.installDir;
    entry.allUsers = reg.in.AllUsers();
    entry.year = ctx.year;
    entry.month = ctx.month;
    entry.day = ctx.day;
    // Platforms before major version 6 show no version column: the name carries it.
    entry.nameWithVersion = ctx.platformMajor > 0 && ctx.platformMajor < 6;
    entry.createdFolder = reg.createdFolder;
    BuildUninstallValues(entry, out);
    int32_t choicesAt = out->len;
    BuildRecordedChoiceValues(reg.in, out);
    return choicesAt;
}

// A shell extension taken away from the earlier installation: its mark in that entry.
void PendingMarkValues(const RegItem& item, Vec<RegValue>* out) {
    const char* name = item.piece == Piece::SearchFilter ? kPendingSearchFilterValue : kPendingPreviewerValue;
    // The key is the uninstall entry's: taking the mark away leaves it.
    AddDword(*out, kUninstallRegKey, name, 1).inSharedKey = true;
}
}  // namespace

void PieceValues(const Registration& reg, const RegItem& item, const RegWriteContext& ctx, Vec<RegValue>* values) {
    const InstallChoices& in = reg.in;
    switch (item.piece) {
        case Piece::SearchFilter:
            if (!item.present) {
                PendingMarkValues(item, values);
                return;
            }
            BuildSearchFilterValues(path::JoinTemp(in.installDir, kSearchFilterDll), values);
            return;
        case Piece::Previewer:
            if (!item.present) {
                PendingMarkValues(item, values);
                return;
            }
            for (const PreviewerRow& row : kPreviewerTable) {
                BuildPreviewerRowValues(row, path::JoinTemp(in.installDir, kPreviewerDll), values);
            }
            BuildInternetZoneValues(values);
            return;
        case Piece::OfficeAddin:
            if (item.present) {
                BuildOfficeAddinValues(in.installDir, item.view == RegView::Bits64, values);
            } else {
                BuildNoOfficeAddinValues(values);
            }
            return;
        case Piece::UninstallEntry:
            EntryValues(reg, ctx, values);
            return;
        case Piece::Associations:
            if (ctx.platformMajor >= 10) {
                BuildAppCapabilitiesValues(reg.exePath, values);
            }
            BuildProgIdValues(reg.exePath, values);
            return;
        case Piece::MimeType:
            BuildMimeValues(values);
            return;
        case Piece::DefaultReader: {
            int n = 0;
            const char* const* exts = ReaderKindExts(item.reader, &n);
            for (int i = 0; i < n; i++) {
                BuildUserChoiceValues(exts[i], values);
            }
            return;
        }
        case Piece::DefaultBackups:
            for (const RegItem& other : reg.items) {
                if (other.piece == Piece::DefaultReader) {
                    BuildDefaultBackupValues(other.reader, values);
                }
            }
            return;
        case Piece::Watcher:
            BuildWatcherValues(WatcherPathTemp(reg.exePath), values);
            return;
        case Piece::PreviewPane:
            BuildPreviewPaneValues(values);
            return;
        case Piece::StatsIdentity:
            AddSz(*values, kStatsIdentityKey, kPackageNameValue, ctx.packageName).varies = true;
            AddSz(*values, kStatsIdentityKey, kHardwareIdValue, ctx.hardwareId).varies = true;
            return;
        case Piece::PathEntry:  // an element of a value, traced by the caller
        case Piece::Shortcuts:
        case Piece::Containers:
            return;
    }
}

namespace {
// The writes of one item: its root and view on every step.
struct Writes {
    Vec<RegWrite>* out;
    RegRoot root = RegRoot::User;
    RegView view = RegView::Native;

    RegWrite& Add(RegWriteOp op) {
        RegWrite w;
        w.op = op;
        w.root = root;
        w.view = view;
        out->Append(w);
        return out->els[out->len - 1];
    }
    void Log(StrView text) { Add(RegWriteOp::Log).text = text; }
    RegWrite& Value(const RegValue& v) {
        RegWrite& w = Add(RegWriteOp::Value);
        w.value = v;
        return w;
    }
    void Values(const Vec<RegValue>& values, bool stopAfterFailure = false) {
        for (const RegValue& v : values) {
            Value(v).stopAfterFailure = stopAfterFailure;
        }
    }
    RegWrite& Outcome(StrView okLog, StrView failLog, const char* failure) {
        RegWrite& w = Add(RegWriteOp::Outcome);
        w.text = okLog;
        w.failLog = failLog;
        w.failure = failure;
        return w;
    }
    RegWrite& Effect(RegWriteOp op, StrView text = {}) {
        RegWrite& w = Add(op);
        w.text = text;
        return w;
    }
};

// A shell extension's values, all or nothing past the first failure.
void ExtensionWrites(const Vec<RegValue>& values, StrView logLine, const char* failure, Writes* w) {
    w->Log(logLine);
    w->Values(values, true);
    w->Outcome("  did register\n", "  failed to register\n", failure);
}

// The entry is measured, written and flushed as one group, judged before the recorded
// choices, which start at choicesAt, are written.
void EntryWrites(const Registration& reg, const Vec<RegValue>& values, int32_t choicesAt, Writes* w) {
    const InstallChoices& in = reg.in;
    w->Log(str::FormatTemp("WriteUninstallerRegistryInfo(hKey: %s, allUsers: %d, installDir: '%s')\n",
                           RegRootName(w->root), in.AllUsers() ? 1 : 0, in.installDir.CStr()));
    for (int32_t i = 0; i < choicesAt; i++) {
        const RegValue& v = values.els[i];
        // The directory is measured right before its size is written, as the log shows it.
        bool size = str::Eq(v.name, "EstimatedSize");
        RegWrite& step = size ? w->Effect(RegWriteOp::EstimatedSize, in.installDir) : w->Value(v);
        step.value = v;
        step.durable = true;
    }
    // The earlier entry goes once this one is written: the new one must be on the disk
    // first, or a power cut in between would leave no installation registered at all.
    w->Effect(RegWriteOp::FlushEntry);
    w->Outcome({}, "WriteUninstallerRegistryInfo() failed\n",
               "Failed to write the uninstallation information to the registry");
    // The choices the next installation reads back.
    for (int32_t i = choicesAt; i < values.len; i++) {
        w->Value(values.els[i]);
    }
}
}  // namespace

RegItem StatsIdentityItem() {
    RegItem item;
    item.piece = Piece::StatsIdentity;
    item.root = RegRoot::Machine;
    item.view = RegView::Bits32;
    item.orUser = true;
    return item;
}

void PieceWrites(const Registration& reg, const RegItem& item, const RegWriteContext& ctx, Vec<RegWrite>* out) {
    const InstallChoices& in = reg.in;
    Writes w{out, item.root, item.view};
    Vec<RegValue> values(GetTempArena());
    int32_t choicesAt = 0;
    if (item.piece == Piece::UninstallEntry) {
        choicesAt = EntryValues(reg, ctx, &values);  // the entry's PieceValues, with where the choices start
    } else {
        PieceValues(reg, item, ctx, &values);
    }
    switch (item.piece) {
        case Piece::SearchFilter: {
            if (!item.present) {
                w.Values(values);
                return;
            }
            StrView dll = path::JoinTemp(in.installDir, kSearchFilterDll);
            w.Log(str::FormatTemp("GetInstallationFilePath(%s) = > %s\n", kSearchFilterDll, dll.CStr()));
            ExtensionWrites(values, str::FormatTemp("RegisterSearchFilter() dllPath=%s\n", dll.CStr()),
                            "Couldn't install PDF search filter", &w);
            return;
        }
        case Piece::Previewer:
            if (!item.present) {
                w.Values(values);
                return;
            }
            ExtensionWrites(values,
                            str::FormatTemp("RegisterPreviewer() dllPath=%s\n",
                                            path::JoinTemp(in.installDir, kPreviewerDll).CStr()),
                            "Couldn't install PDF previewer", &w);
            return;
        case Piece::PreviewPane:
            w.Effect(RegWriteOp::PreviewPane).value = values.els[0];
            return;
        case Piece::OfficeAddin:
            if (!item.present) {
                w.Effect(RegWriteOp::Unregister);
                return;
            }
            // In the add-in's view, without log lines.
            for (const RegValue& v : values) {
                w.Value(v).quiet = true;
            }
            w.Outcome({}, {}, nullptr);
            return;
        case Piece::Shortcuts:
            w.Effect(RegWriteOp::Shortcuts, reg.exePath).desktop = in.Has(Choice::DesktopShortcut);
            return;
        case Piece::UninstallEntry:
            EntryWrites(reg, values, choicesAt, &w);
            return;
        case Piece::Associations: {
            // The MIME type goes with them.
            RegItem mime = item;
            mime.piece = Piece::MimeType;
            PieceValues(reg, mime, ctx, &values);
            w.Log(str::FormatTemp("WriteExtendedFileExtensionInfo('%s')\n", RegRootName(item.root)));
            w.Values(values);
            w.Outcome({}, "WriteExtendedFileExtensionInfo() failed\n",
                      "Failed to write the extended file extension information to the registry");
            w.Effect(RegWriteOp::NotifyAssociationsChanged);
            return;
        }
        case Piece::DefaultReader: {
            // Each extension's record: the step writes its ProgID with the verification value
            // computed then, after keeping what the record held (the DefaultBackups piece).
            int n = 0;
            const char* const* exts = ReaderKindExts(item.reader, &n);
            int ext = 0;
            for (const RegValue& v : values) {
                if (str::Eq(v.name, kUserChoiceProgIdValue) && ext < n) {
                    w.Effect(RegWriteOp::UserChoice, exts[ext++]).value = v;
                }
            }
            w.Outcome({}, {}, nullptr);
            w.Effect(RegWriteOp::NotifyAssociationsChanged);
            return;
        }
        case Piece::PathEntry:
            w.Effect(RegWriteOp::PathElement, in.installDir);
            return;
        case Piece::Watcher: {
            // Only when the product carries it; quietly, and the Run key, the system's, is never made.
            StrView watcher = WatcherPathTemp(reg.exePath);
            w.Effect(RegWriteOp::IfFileExists, watcher);
            for (const RegValue& v : values) {
                RegWrite& run = w.Value(v);
                run.quiet = run.keyMustExist = true;
            }
            w.Effect(RegWriteOp::StartWatcher, watcher);
            return;
        }
        case Piece::StatsIdentity:
            for (const RegValue& v : values) {
                RegWrite& value = w.Value(v);
                value.quiet = value.orUser = true;
            }
            return;
        case Piece::MimeType:        // with the associations
        case Piece::DefaultBackups:  // by the default reader's steps
        case Piece::Containers:      // on the way to the values
            return;
    }
}

namespace {
struct Steps {
    Vec<RegDelete>* out;

    RegDelete& Add(RegDeleteOp op, RegRoot root, StrView key = {}, StrView name = {}) {
        RegDelete d;
        d.op = op;
        d.root = root;
        d.key = key;
        d.name = name;
        out->Append(d);
        return out->els[out->len - 1];
    }
    void Log(StrView text) { Add(RegDeleteOp::Log, RegRoot::User).text = text; }
    RegDelete& Key(RegRoot root, StrView key, int parents = 0) {
        RegDelete& d = Add(RegDeleteOp::Key, root, key);
        d.levels = parents;
        return d;
    }
    void KeyIfEmpty(RegRoot root, StrView key, int levels) { Add(RegDeleteOp::KeyIfEmpty, root, key).levels = levels; }
    RegDelete& Value(RegRoot root, StrView key, StrView name) { return Add(RegDeleteOp::Value, root, key, name); }
    // Guards the step just added.
    static void If(RegDelete& d, StrView name, StrView text, bool ignoreCase, bool logged) {
        d.guarded = true;
        d.ifName = name;
        d.ifText = text;
        d.ifIgnoreCase = ignoreCase;
        d.ifLogged = logged;
    }
};

// The machine's classes first, then the user's: older installations wrote either.
constexpr RegRoot kBothRoots[] = {RegRoot::Machine, RegRoot::User};

// Whether key is base or lies below it (registry names ignore case).
bool IsAtOrBelow(StrView key, StrView base) {
    return str::StartsWithI(key, base) && (key.len == base.len || key.s[base.len] == '\\');
}

int Depth(StrView key) {
    int n = 0;
    for (int32_t i = 0; i < key.len; i++) {
        n += key.s[i] == '\\';
    }
    return n;
}

// The file type's key ("Software\Classes\.<ext>") that key is or lies below; empty for
// any other key.
StrView TypeKeyOf(StrView key) {
    StrView types = "Software\\Classes\\.";
    if (!str::StartsWithI(key, types)) {
        return {};
    }
    int32_t end = types.len;
    while (end < key.len && key.s[end] != '\\') {
        end++;
    }
    return str::DupTemp(StrView(key.s, end));
}

// How a removal takes away what values wrote, under which roots. With both roots the
// machine's key deletes may fail: a per-user installation never wrote them.
struct TakeAway {
    RegRoot roots[2] = {};
    int rootCount = 1;
    RegDeleteOp sharedOp = RegDeleteOp::Value;  // ValueQuiet: a long list of the system's
};

TakeAway InRoot(RegRoot root) {
    return TakeAway{{root}, 1};
}

TakeAway InBothRoots(RegDeleteOp sharedOp) {
    return TakeAway{{kBothRoots[0], kBothRoots[1]}, 2, sharedOp};
}

// Takes away what the values wrote, in the order written: each key that is the piece's own,
// whole (only the outermost: every builder writes a key's values before its subkeys'), each
// value in a key others share; then, under a file type's key, what that left empty up to the
// type's key, which is the system's list of the type more than ours.
void TakeAwayValues(const Vec<RegValue>& values, const TakeAway& how, Vec<RegDelete>* out) {
    Steps s{out};
    Vec<StrView> own(GetTempArena());
    Vec<StrView> emptied(GetTempArena());
    auto noteEmptied = [&](StrView start) {
        for (StrView e : emptied) {
            if (str::EqI(e, start)) {
                return;
            }
        }
        emptied.Append(start);
    };
    for (int32_t i = 0; i < values.len; i++) {
        const RegValue& v = values.els[i];
        StrView type = TypeKeyOf(v.key);
        if (v.inSharedKey) {
            bool again = false;
            for (int32_t j = 0; j < i; j++) {
                const RegValue& u = values.els[j];
                again |= u.inSharedKey && str::EqI(u.key, v.key) && str::EqI(u.name, v.name);
            }
            if (!again) {
                for (int r = 0; r < how.rootCount; r++) {
                    s.Add(how.sharedOp, how.roots[r], v.key, v.name);
                }
            }
            if (!type.IsEmpty()) {
                noteEmptied(v.key);
            }
            continue;
        }
        bool covered = false;
        for (StrView k : own) {
            covered |= IsAtOrBelow(v.key, k);
        }
        if (covered) {
            continue;
        }
        own.Append(v.key);
        for (int r = 0; r < how.rootCount; r++) {
            s.Key(how.roots[r], v.key).mayFail = how.rootCount > 1 && how.roots[r] == RegRoot::Machine;
        }
        if (!type.IsEmpty() && !str::EqI(type, v.key)) {
            noteEmptied(ParentRegPath(v.key));
        }
    }
    for (StrView start : emptied) {
        for (int r = 0; r < how.rootCount; r++) {
            s.KeyIfEmpty(how.roots[r], start, Depth(start) - Depth(TypeKeyOf(start)) + 1);
        }
    }
}

void SearchFilterRemoval(const Registration& reg, const RegItem& item, Vec<RegDelete>* out) {
    Vec<RegValue> values(GetTempArena());
    PieceValues(reg, item, RegWriteContext{}, &values);
    TakeAwayValues(values, InBothRoots(RegDeleteOp::Value), out);
}

void PreviewerRemoval(Vec<RegDelete>* out) {
    Steps s{out};
    for (const PreviewerRow& row : kPreviewerTable) {
        // Legacy: older versions registered an image extractor too.
        for (const char* ext : {row.ext, row.ext2}) {
            for (RegRoot r : kBothRoots) {
                if (ext) {
                    s.Key(r, ShellexSlotKeyTemp(ext, kImageExtractorSlot)).mayFail = r == RegRoot::Machine;
                }
            }
        }
        // A row at a time: rows sharing a class take it away each.
        Vec<RegValue> values(GetTempArena());
        BuildPreviewerRowValues(row, {}, &values);
        TakeAwayValues(values, InBothRoots(RegDeleteOp::ValueQuiet), out);
        s.Log(str::FormatTemp("UninstallPreviewDll: removed '%s'\n", row.ext));
    }
    Vec<RegValue> zone(GetTempArena());
    BuildInternetZoneValues(&zone);
    TakeAwayValues(zone, InBothRoots(RegDeleteOp::Value), out);
}

// Guarded and legacy: older versions made the reader the default of .pdf by the bare product
// identifier; what still names it goes, what names another program stays.
void DefaultViewerRemoval(RegRoot root, Vec<RegDelete>* out) {
    Steps s{out};
    s.Log("UnregisterFromBeingDefaultViewer()\n");
    Steps::If(s.Value(root, kPdfTypeKey, ""), "", kProductId, false, true);
    // The Explorer association of .pdf: the value that names us goes, the key stays.
    StrView fileExt = FileExtKeyTemp(".pdf");
    Steps::If(s.Value(root, fileExt, "ProgId"), "ProgId", kProductId, false, true);
    Steps::If(s.Value(root, fileExt, "Application"), "Application", kReaderExeName, true, true);
    RegDelete& choice = s.Key(root, UserChoiceKeyTemp(".pdf"));
    choice.resetAcl = true;
    Steps::If(choice, kUserChoiceProgIdValue, kProductId, false, true);
}

void AssociationsRemoval(RegRoot root, Vec<RegDelete>* out) {
    Steps s{out};
    s.Log(str::FormatTemp("RemoveInstallRegistryKeys(%s)\n", RegRootName(root)));
    DefaultViewerRemoval(root, out);
    // Legacy: what older versions registered under the bare product identifier and the
    // reader's file name.
    s.Key(root, ProgIdKeyTemp(kProductId));
    s.Key(root, ProgIdKeyTemp(str::FormatTemp("Applications\\%s", kReaderExeName)));
    s.Value(root, OpenWithProgidsKeyTemp(".pdf"), kProductId);
    if (root == RegRoot::Machine) {
        s.Key(root, str::FormatTemp("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\%s", kReaderExeName));
    }
    for (const char* ext : kSupportedExts) {
        StrView openWith = OpenWithProgidsKeyTemp(ext);
        s.Value(root, openWith, kProductId);
        s.KeyIfEmpty(root, openWith, 1);
        // Once the list entry went, its two parents while empty.
        s.Key(root, str::FormatTemp("Software\\Classes\\%s\\OpenWithList\\%s", ext, kReaderExeName), 2);
    }
    // What this version writes, a file type at a time.
    for (const char* ext : kSupportedExts) {
        Vec<RegValue> values(GetTempArena());
        BuildExtProgIdValues({}, ext, &values);
        TakeAwayValues(values, InRoot(root), out);
    }
    Vec<RegValue> capabilities(GetTempArena());
    BuildAppCapabilitiesValues({}, &capabilities);
    TakeAwayValues(capabilities, InRoot(root), out);
    s.Add(RegDeleteOp::NotifyAssociationsChanged, root);
}

// Legacy: everything under the product key goes but the backups of the user's earlier
// defaults: they are the only record of what the uninstall gives back, and an installation
// killed between deleting them and writing them again would lose them for good.
void ProductKeyRemoval(RegRoot root, Vec<RegDelete>* out) {
    Steps s{out};
    s.Log(str::FormatTemp("RemoveProductRegistryKey(%s)\n", RegRootName(root)));
    s.Add(RegDeleteOp::KeyBut, root, kProductRegKey, path::GetBaseName(kPrevDefaultKey));
}

void UninstallEntryRemoval(const Registration& reg, const RegItem& item, bool withProductKey, Vec<RegDelete>* out) {
    Steps s{out};
    s.Log(str::FormatTemp(withProductKey ? "RemoveUninstallerRegistryInfo(%s)\n" : "RemoveUninstallEntry(%s)\n",
                          RegRootName(item.root)));
    Vec<RegValue> values(GetTempArena());
    PieceValues(reg, item, RegWriteContext{}, &values);
    TakeAwayValues(values, InRoot(item.root), out);
    if (withProductKey) {
        // Legacy: the product key with whatever older versions kept in it.
        s.Key(item.root, kProductRegKey);
    }
}

// Guarded: another installation's Run value stays.
void WatcherRemoval(const Registration& reg, const RegItem& item, Vec<RegDelete>* out) {
    Steps s{out};
    Vec<RegValue> values(GetTempArena());
    PieceValues(reg, item, RegWriteContext{}, &values);
    StrView watcher = WatcherPathTemp(reg.exePath);
    for (const RegValue& v : values) {
        RegDelete& d = s.Value(item.root, v.key, v.name);
        Steps::If(d, v.name, v.text, true, false);
        d.keptLog =
            str::FormatTemp("RemoveWatcherAutostart: the Run value does not start '%s', kept\n", watcher.CStr());
    }
}
}  // namespace

void OfficeAddinRemoval(RegRoot root, RegView view, Vec<RegDelete>* out) {
    Steps s{out};
    Vec<RegValue> values(GetTempArena());
    BuildOfficeAddinValues({}, view == RegView::Bits64, &values);
    // Every key of the add-in, backwards: a key's subkeys go before it, as the delete in a
    // view is not recursive.
    for (int32_t i = values.len - 1; i >= 0; i--) {
        bool later = false;
        for (int32_t j = i + 1; j < values.len; j++) {
            later |= str::EqI(values.els[j].key, values.els[i].key);
        }
        if (!later) {
            s.Add(RegDeleteOp::KeyInView, root, values.els[i].key).view = view;
        }
    }
}

void PieceRemoval(const Registration& reg, const RegItem& item, Removal why, Vec<RegDelete>* out) {
    Steps s{out};
    switch (item.piece) {
        case Piece::SearchFilter:
        case Piece::Previewer:
            if (!item.present) {
                // Guarded: a mark goes only where there is one.
                Vec<RegValue> marks(GetTempArena());
                PieceValues(reg, item, RegWriteContext{}, &marks);
                for (const RegValue& v : marks) {
                    RegDelete& d = s.Value(item.root, v.key, v.name);
                    d.guarded = d.ifExists = true;
                    d.ifName = v.name;
                }
            } else if (item.piece == Piece::SearchFilter) {
                SearchFilterRemoval(reg, item, out);
            } else {
                PreviewerRemoval(out);
            }
            return;
        case Piece::Associations:
            AssociationsRemoval(item.root, out);
            if (why != Removal::Upgrade) {
                return;
            }
            // An upgrade replaces the product key too (but the backups of the user's
            // defaults); the per-user classes go whatever the earlier scope was: older
            // installations wrote them for all users as well.
            ProductKeyRemoval(item.root, out);
            if (item.root == RegRoot::Machine) {
                AssociationsRemoval(RegRoot::User, out);
                ProductKeyRemoval(RegRoot::User, out);
            }
            return;
        case Piece::OfficeAddin:
            if (item.present) {
                OfficeAddinRemoval(item.root, item.view, out);
            }
            return;
        case Piece::MimeType:
            // Guarded: per user they repeat what the machine's classes say, and go while they
            // still do; the machine's own may have been there before and stay.
            if (item.root == RegRoot::User) {
                Vec<RegValue> values(GetTempArena());
                PieceValues(reg, item, RegWriteContext{}, &values);
                for (const RegValue& v : values) {
                    Steps::If(s.Value(item.root, v.key, v.name), v.name, v.text, false, false);
                }
            }
            return;
        case Piece::PathEntry:
            s.Add(RegDeleteOp::PathElement, item.root).text = reg.in.installDir;
            return;
        case Piece::Watcher:
            WatcherRemoval(reg, item, out);
            return;
        case Piece::Shortcuts: {
            if (why == Removal::Upgrade) {
                s.Add(RegDeleteOp::AllShortcuts, item.root);
                return;
            }
            Vec<int> csidls(GetTempArena());
            ShortcutFoldersToCreate(item.root == RegRoot::Machine, reg.in.Has(Choice::DesktopShortcut), &csidls);
            for (int csidl : csidls) {
                s.Add(RegDeleteOp::Shortcut, item.root).csidl = csidl;
            }
            return;
        }
        case Piece::UninstallEntry:
            // The other installation's product key went with the upgrade's removal.
            UninstallEntryRemoval(reg, item, why != Removal::OtherInstallationEntry, out);
            return;
        case Piece::DefaultBackups: {
            // Per user they went with the product key that holds them; for all users, the
            // user's product key was made for them alone and goes with them when empty.
            if (!reg.in.AllUsers()) {
                return;
            }
            Vec<RegValue> values(GetTempArena());
            PieceValues(reg, item, RegWriteContext{}, &values);
            TakeAwayValues(values, InRoot(item.root), out);
            s.KeyIfEmpty(item.root, kProductRegKey, 1);
            return;
        }
        case Piece::DefaultReader:
            // Each group's backup is read right before it is given back: they live under the
            // product key, which goes only after the files.
            s.Add(RegDeleteOp::DefaultBackups, RegRoot::User).reader = item.reader;
            return;
        case Piece::Containers: {
            Vec<StrView> keys(GetTempArena());
            // The system's own lists under the machine's root (the classes of .pdf, the CLSID
            // and uninstall lists) may have been there before, empty: those go only per user.
            for (const char* key : {kPdfTypeKey, kPdfMimeKey, kClsidListKey, "Software\\Classes\\Wow6432Node\\CLSID",
                                    kPreviewHandlersKey, kUninstallListKey}) {
                if (item.root == RegRoot::User) {
                    s.Add(RegDeleteOp::EmptyKeys, item.root, key);
                }
            }
            OfficeAddinListKeys(&keys);
            keys.Append(kRegisteredAppsKey);
            for (StrView key : keys) {
                s.Add(RegDeleteOp::EmptyKeys, item.root, key);
            }
            return;
        }
        case Piece::PreviewPane:    // the user's layout by now
        case Piece::StatsIdentity:  // for the next installation's reports
            return;
    }
}

InstallChoices AnyInstallationIn(StrView dir, bool allUsers) {
    InstallChoices in;
    in.installDir = dir;
    in.on = ChoiceSet::All();
    in.Set(Choice::AllUsers, allUsers);
    return in;
}

void BuildRegistration(const InstallChoices& in, Registration* out) {
    out->in = in;
    out->exePath = path::JoinTemp(in.installDir, kReaderExeName);
    out->items.Reset();
    RegRoot root = RegRootFor(in.AllUsers());
    if (in.Has(Choice::SearchFilter)) {
        Add(out, Piece::SearchFilter, root);
    }
    if (in.Has(Choice::Previewer)) {
        Add(out, Piece::Previewer, root);
        Add(out, Piece::PreviewPane, RegRoot::User);
    }
    if (in.Has(Choice::OfficeAddin)) {
        Add(out, Piece::OfficeAddin, root, RegView::Bits64);
        Add(out, Piece::OfficeAddin, root, RegView::Bits32);
    } else {
        // Whatever an earlier installation of either scope registered.
        const RegRoot roots[] = {RegRoot::User, RegRoot::Machine};
        for (RegRoot r : roots) {
            Add(out, Piece::OfficeAddin, r, RegView::Bits64, false);
            Add(out, Piece::OfficeAddin, r, RegView::Bits32, false);
        }
    }
    Add(out, Piece::Shortcuts, root);
    Add(out, Piece::UninstallEntry, root);
    Add(out, Piece::Associations, root);
    Add(out, Piece::MimeType, root);
    if (in.Has(Choice::DefaultPdf)) {
        AddDefault(out, ReaderKind::Pdf);
        AddDefault(out, ReaderKind::Ofd);
    }
    if (in.Has(Choice::DefaultComics)) {
        AddDefault(out, ReaderKind::Comics);
    }
    if (in.Has(Choice::DefaultMarkdown)) {
        AddDefault(out, ReaderKind::Markdown);
    }
    if (in.Has(Choice::DefaultPdf) || in.Has(Choice::DefaultComics) || in.Has(Choice::DefaultMarkdown)) {
        Add(out, Piece::DefaultBackups, RegRoot::User);
    }
    Add(out, Piece::PathEntry, root);
    Add(out, Piece::Watcher, RegRoot::User);
    out->items.Append(StatsIdentityItem());
    Add(out, Piece::Containers, root);
}

void BuildTakenShellExtensions(const InstallChoices& earlier, RegRoot entryRoot, Registration* out) {
    out->in = earlier;
    out->exePath = path::JoinTemp(earlier.installDir, kReaderExeName);
    out->items.Reset();
    if (earlier.Has(Choice::SearchFilter)) {
        Add(out, Piece::SearchFilter, entryRoot, RegView::Native, false);
    }
    if (earlier.Has(Choice::Previewer)) {
        Add(out, Piece::Previewer, entryRoot, RegView::Native, false);
    }
}

RegStage StageOf(Piece piece) {
    switch (piece) {
        case Piece::SearchFilter:
        case Piece::Previewer:
        case Piece::PreviewPane:
        case Piece::OfficeAddin:
        case Piece::Shortcuts:
            return RegStage::Components;
        case Piece::UninstallEntry:
            return RegStage::Entry;
        case Piece::Associations:
        case Piece::DefaultReader:
        case Piece::PathEntry:
        case Piece::Watcher:
            return RegStage::Shell;
        case Piece::MimeType:
        case Piece::DefaultBackups:
        case Piece::StatsIdentity:  // by the statistics, which compute it
        case Piece::Containers:
            break;
    }
    return RegStage::None;
}

const Piece* RemovalOrder(Removal why, int* n) {
    switch (why) {
        case Removal::Upgrade:
            return Order(kUpgradeOrder, n);
        case Removal::OtherInstallation:
            return Order(kOtherInstallationOrder, n);
        case Removal::OtherInstallationEntry:
            return Order(kEntryOnly, n);
        case Removal::Uninstall:
            return Order(kUninstallOrder, n);
        case Removal::UninstallAfterFiles:
            break;
    }
    return Order(kUninstallAfterFilesOrder, n);
}

void RegistrationTraces(const Registration& reg, int platformMajor, Vec<RegTrace>* out) {
    for (const RegItem& item : reg.items) {
        if (item.piece == Piece::PathEntry) {
            RegTrace t;
            t.piece = item.piece;
            t.root = item.root;
            t.value.key = item.root == RegRoot::Machine ? kMachineEnvKey : kUserEnvKey;
            t.value.name = "Path";
            t.value.text = reg.in.installDir;
            t.match = TraceMatch::Element;
            AddTrace(out, t);
            continue;
        }
        RegWriteContext ctx;
        ctx.platformMajor = platformMajor;
        Vec<RegValue> values(GetTempArena());
        PieceValues(reg, item, ctx, &values);
        AddTraces(out, item, values);
    }
}

void RegistrationShortcuts(const Registration& reg, Vec<int>* csidls) {
    for (const RegItem& item : reg.items) {
        if (item.piece == Piece::Shortcuts) {
            ShortcutFoldersToCreate(item.root == RegRoot::Machine, reg.in.Has(Choice::DesktopShortcut), csidls);
        }
    }
}

const char* RegRootName(RegRoot root) {
    return root == RegRoot::Machine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}
