#include "integration/registration.h"

#include "base/arena.h"
#include "base/file.h"
#include "base/product.h"
#include "integration/associations.h"
#include "integration/default_reader.h"
#include "integration/office_addin.h"
#include "integration/path_env.h"
#include "integration/shell_ext.h"
#include "integration/shortcut.h"
#include "integration/uninstall.h"
#include "integration/watcher.h"

const RegContainer kRegContainers[kRegContainerCount] = {
    {"Software\\Classes\\.pdf", false},
    {"Software\\Classes\\MIME\\Database\\Content Type\\application/pdf", false},
    {"Software\\Classes\\CLSID", false},
    {"Software\\Classes\\Wow6432Node\\CLSID", false},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\PreviewHandlers", false},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", false},
    {"Software\\Microsoft\\Office\\Word\\Addins", true},
    {"Software\\Microsoft\\Office\\Excel\\Addins", true},
    {"Software\\Microsoft\\Office\\PowerPoint\\Addins", true},
    {"Software\\Wow6432Node\\Microsoft\\Office\\Word\\Addins", true},
    {"Software\\Wow6432Node\\Microsoft\\Office\\Excel\\Addins", true},
    {"Software\\Wow6432Node\\Microsoft\\Office\\PowerPoint\\Addins", true},
    {"Software\\RegisteredApplications", true},
};

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
        if (str::Eq(v.name, "EstimatedSize") || str::Eq(v.name, "InstallDate") || item.piece == Piece::StatsIdentity) {
            t.match = TraceMatch::Exists;
        }
        t.orUser = item.orUser;
        t.keptOnRemoval = KeptOnRemoval(item);
        AddTrace(out, t);
    }
}

RegValue WatcherRunValue(StrView watcherPath) {
    RegValue v = MakeValue(kRunKey, kWatcherRunValue, RegType::Sz);
    v.text = WatcherRunValueTemp(watcherPath);
    return v;
}

}  // namespace

// The entry as written on the context's day; platforms before major version 6 get the
// version in the name.
UninstallEntryInputs EntryInputs(const InstallChoices& in, const RegWriteContext& ctx) {
    UninstallEntryInputs entry;
    entry.installDir = in.installDir;
    entry.allUsers = in.AllUsers();
    entry.year = ctx.year;
    entry.month = ctx.month;
    entry.day = ctx.day;
    entry.nameWithVersion = ctx.platformMajor > 0 && ctx.platformMajor < 6;
    return entry;
}

void PieceValues(const Registration& reg, const RegItem& item, int platformMajor, Vec<RegValue>* values) {
    const InstallChoices& in = reg.in;
    switch (item.piece) {
        case Piece::SearchFilter:
            BuildSearchFilterValues(path::JoinTemp(in.installDir, kSearchFilterDll), values);
            return;
        case Piece::Previewer:
            for (const PreviewerRow& row : kPreviewerTable) {
                BuildPreviewerRowValues(row, path::JoinTemp(in.installDir, kPreviewerDll), values);
            }
            AddDword(*values, kInternetZoneKey, kInternetZonePreviewValue, 0);
            return;
        case Piece::OfficeAddin:
            if (item.present) {
                BuildOfficeAddinValues(in.installDir, item.view == RegView::Bits64, values);
            } else {
                AddDeleteValue(*values, str::FormatTemp("Software\\Classes\\CLSID\\%s", kOfficeAddinClsid), "");
            }
            return;
        case Piece::UninstallEntry: {
            RegWriteContext undated;  // the date varies: the traces ask only that it is there
            undated.platformMajor = platformMajor;
            UninstallEntryInputs entry = EntryInputs(in, undated);
            entry.createdFolder = reg.createdFolder;
            BuildUninstallValues(entry, values);
            BuildRecordedChoiceValues(in, values);
            return;
        }
        case Piece::Associations:
            if (platformMajor >= 10) {
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
                AddSz(*values, str::DupTemp(UserChoiceKeyTemp(exts[i])), "ProgId", ProgIdTemp(exts[i]));
            }
            return;
        }
        case Piece::Watcher:
            values->Append(WatcherRunValue(WatcherPathTemp(reg.exePath)));
            return;
        case Piece::PreviewPane:
            BuildPreviewPaneValues(values);
            return;
        case Piece::StatsIdentity:  // the data varies
            StatsIdentityValues({}, {}, values);
            return;
        case Piece::PathEntry:  // an element of a value, traced by the caller
        case Piece::Shortcuts:
        case Piece::DefaultBackups:
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
void ExtensionWrites(const Registration& reg, const RegItem& item, const RegWriteContext& ctx, StrView logLine,
                     const char* failure, Vec<RegWrite>* out) {
    Writes w{out, item.root, item.view};
    w.Log(logLine);
    Vec<RegValue> values(GetTempArena());
    PieceValues(reg, item, ctx.platformMajor, &values);
    w.Values(values, true);
    w.Outcome("  did register\n", "  failed to register\n", failure);
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

void StatsIdentityValues(StrView packageName, StrView hardwareId, Vec<RegValue>* out) {
    AddSz(*out, kStatsIdentityKey, kPackageNameValue, packageName);
    AddSz(*out, kStatsIdentityKey, kHardwareIdValue, hardwareId);
}

// Quietly, and the Run key, the system's, is never made.
void WatcherAutostartWrites(StrView watcherPath, Vec<RegWrite>* out) {
    RegWrite& run = Writes{out}.Value(WatcherRunValue(watcherPath));
    run.quiet = run.keyMustExist = true;
}

void UninstallEntryWrites(RegRoot root, const UninstallEntryInputs& entry, Vec<RegWrite>* out) {
    Writes w{out, root};
    w.Log(str::FormatTemp("WriteUninstallerRegistryInfo(hKey: %s, allUsers: %d, installDir: '%s')\n",
                          RegRootName(root), entry.allUsers ? 1 : 0, entry.installDir.CStr()));
    Vec<RegValue> values(GetTempArena());
    BuildUninstallValues(entry, &values);
    for (const RegValue& v : values) {
        // The directory is measured right before its size is written, as the log shows it.
        bool size = str::Eq(v.name, "EstimatedSize");
        RegWrite& step = size ? w.Effect(RegWriteOp::EstimatedSize, entry.installDir) : w.Value(v);
        step.value = v;
        step.durable = true;
    }
    // The earlier entry goes once this one is written: the new one must be on the disk
    // first, or a power cut in between would leave no installation registered at all.
    w.Effect(RegWriteOp::FlushEntry);
    w.Outcome({}, "WriteUninstallerRegistryInfo() failed\n",
              "Failed to write the uninstallation information to the registry");
}

// The associations together with the MIME type, which goes with them.
void AssociationsWrites(const Registration& reg, const RegItem& item, const RegWriteContext& ctx,
                        Vec<RegWrite>* out) {
    Writes w{out, item.root};
    w.Log(str::FormatTemp("WriteExtendedFileExtensionInfo('%s')\n", RegRootName(item.root)));
    Vec<RegValue> values(GetTempArena());
    PieceValues(reg, item, ctx.platformMajor, &values);
    RegItem mime = item;
    mime.piece = Piece::MimeType;
    PieceValues(reg, mime, ctx.platformMajor, &values);
    w.Values(values);
    w.Outcome({}, "WriteExtendedFileExtensionInfo() failed\n",
              "Failed to write the extended file extension information to the registry");
    w.Effect(RegWriteOp::NotifyAssociationsChanged);
}

// Written in the add-in's view, without log lines.
void OfficeAddinWrites(RegRoot root, RegView view, StrView installDir, Vec<RegWrite>* out) {
    Writes w{out, root, view};
    Vec<RegValue> values(GetTempArena());
    BuildOfficeAddinValues(installDir, view == RegView::Bits64, &values);
    for (const RegValue& v : values) {
        w.Value(v).quiet = true;
    }
    w.Outcome({}, {}, nullptr);
}

void PieceWrites(const Registration& reg, const RegItem& item, const RegWriteContext& ctx, Vec<RegWrite>* out) {
    const InstallChoices& in = reg.in;
    Writes w{out, item.root, item.view};
    switch (item.piece) {
        case Piece::SearchFilter: {
            StrView dll = path::JoinTemp(in.installDir, kSearchFilterDll);
            w.Log(str::FormatTemp("GetInstallationFilePath(%s) = > %s\n", kSearchFilterDll, dll.CStr()));
            ExtensionWrites(reg, item, ctx, str::FormatTemp("RegisterSearchFilter() dllPath=%s\n", dll.CStr()),
                            "Couldn't install PDF search filter", out);
            return;
        }
        case Piece::Previewer:
            ExtensionWrites(reg, item, ctx,
                            str::FormatTemp("RegisterPreviewer() dllPath=%s\n",
                                            path::JoinTemp(in.installDir, kPreviewerDll).CStr()),
                            "Couldn't install PDF previewer", out);
            return;
        case Piece::PreviewPane: {
            Vec<RegValue> values(GetTempArena());
            PieceValues(reg, item, ctx.platformMajor, &values);
            w.Effect(RegWriteOp::PreviewPane).value = values.els[0];
            return;
        }
        case Piece::OfficeAddin:
            if (item.present) {
                OfficeAddinWrites(item.root, item.view, in.installDir, out);
            } else {
                w.Effect(RegWriteOp::Unregister);
            }
            return;
        case Piece::Shortcuts:
            w.Effect(RegWriteOp::Shortcuts, reg.exePath).desktop = in.Has(Choice::DesktopShortcut);
            return;
        case Piece::UninstallEntry: {
            UninstallEntryInputs entry = EntryInputs(in, ctx);
            entry.createdFolder = reg.createdFolder;
            UninstallEntryWrites(item.root, entry, out);
            // The choices the next installation reads back.
            Vec<RegValue> choices(GetTempArena());
            BuildRecordedChoiceValues(in, &choices);
            w.Values(choices);
            return;
        }
        case Piece::Associations:
            AssociationsWrites(reg, item, ctx, out);
            return;
        case Piece::DefaultReader: {
            Vec<RegValue> values(GetTempArena());
            PieceValues(reg, item, ctx.platformMajor, &values);
            int n = 0;
            const char* const* exts = ReaderKindExts(item.reader, &n);
            for (int i = 0; i < values.len; i++) {
                RegWrite& choice = w.Effect(RegWriteOp::UserChoice, exts[i]);
                choice.value = values.els[i];
            }
            w.Outcome({}, {}, nullptr);
            w.Effect(RegWriteOp::NotifyAssociationsChanged);
            return;
        }
        case Piece::PathEntry:
            w.Effect(RegWriteOp::PathElement, in.installDir);
            return;
        case Piece::Watcher: {
            // Only when the product carries it.
            StrView watcher = WatcherPathTemp(reg.exePath);
            w.Effect(RegWriteOp::IfFileExists, watcher);
            WatcherAutostartWrites(watcher, out);
            w.Effect(RegWriteOp::StartWatcher, watcher);
            return;
        }
        case Piece::StatsIdentity: {
            Vec<RegValue> values(GetTempArena());
            StatsIdentityValues(ctx.packageName, ctx.hardwareId, &values);
            for (const RegValue& v : values) {
                RegWrite& value = w.Value(v);
                value.quiet = value.orUser = true;
            }
            return;
        }
        case Piece::MimeType:        // with the associations
        case Piece::DefaultBackups:  // with the default reader
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
constexpr const char* kFileExtsPdf = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.pdf";
}  // namespace

void SearchFilterRemoval(Vec<RegDelete>* out) {
    Steps s{out};
    StrView keys[] = {str::FormatTemp("Software\\Classes\\CLSID\\%s", kSearchFilterClsid),
                      str::FormatTemp("Software\\Classes\\CLSID\\%s", kPersistentHandlerClsid),
                      "Software\\Classes\\.pdf\\PersistentHandler"};
    for (StrView key : keys) {
        for (RegRoot r : kBothRoots) {
            s.Key(r, key).mayFail = r == RegRoot::Machine;
        }
    }
    for (RegRoot r : kBothRoots) {
        s.KeyIfEmpty(r, "Software\\Classes\\.pdf", 1);
    }
}

void PreviewerRemoval(Vec<RegDelete>* out) {
    Steps s{out};
    const char* slots[] = {kThumbnailSlot, kImageExtractorSlot, kPreviewSlot};
    for (const PreviewerRow& row : kPreviewerTable) {
        for (RegRoot r : kBothRoots) {
            s.Add(RegDeleteOp::ValueQuiet, r, kPreviewHandlersKey, row.clsid);
        }
        for (RegRoot r : kBothRoots) {
            s.Key(r, str::FormatTemp("Software\\Classes\\CLSID\\%s", row.clsid)).mayFail = r == RegRoot::Machine;
        }
        for (const char* slot : slots) {
            for (const char* ext : {row.ext, row.ext2}) {
                for (RegRoot r : kBothRoots) {
                    if (ext) {
                        s.Key(r, str::FormatTemp("Software\\Classes\\%s\\shellex\\%s", ext, slot)).mayFail =
                            r == RegRoot::Machine;
                    }
                }
            }
        }
        // "<ext>\shellex" and "<ext>" go too once a slot of ours was the last thing in them.
        for (const char* ext : {row.ext, row.ext2}) {
            for (RegRoot r : kBothRoots) {
                if (ext) {
                    s.KeyIfEmpty(r, str::FormatTemp("Software\\Classes\\%s\\shellex", ext), 2);
                }
            }
        }
        s.Log(str::FormatTemp("UninstallPreviewDll: removed '%s'\n", row.ext));
    }
    for (RegRoot r : kBothRoots) {
        s.Value(r, kInternetZoneKey, kInternetZonePreviewValue);
    }
}

void DefaultViewerRemoval(RegRoot root, Vec<RegDelete>* out) {
    Steps s{out};
    s.Log("UnregisterFromBeingDefaultViewer()\n");
    Steps::If(s.Value(root, "Software\\Classes\\.pdf", ""), "", kProductId, false, true);
    // The Explorer association of .pdf: the value that names us goes, the key stays.
    Steps::If(s.Value(root, kFileExtsPdf, "ProgId"), "ProgId", kProductId, false, true);
    Steps::If(s.Value(root, kFileExtsPdf, "Application"), "Application", kReaderExeName, true, true);
    RegDelete& choice = s.Key(root, str::FormatTemp("%s\\UserChoice", kFileExtsPdf));
    choice.resetAcl = true;
    Steps::If(choice, "ProgId", kProductId, false, true);
}

void AssociationsRemoval(RegRoot root, Vec<RegDelete>* out) {
    Steps s{out};
    s.Log(str::FormatTemp("RemoveInstallRegistryKeys(%s)\n", RegRootName(root)));
    DefaultViewerRemoval(root, out);
    s.Key(root, str::FormatTemp("Software\\Classes\\%s", kProductId));
    s.Key(root, str::FormatTemp("Software\\Classes\\Applications\\%s", kReaderExeName));
    s.Value(root, "Software\\Classes\\.pdf\\OpenWithProgids", kProductId);
    if (root == RegRoot::Machine) {
        s.Key(root, str::FormatTemp("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\%s", kReaderExeName));
    }
    for (const char* ext : kSupportedExts) {
        StrView openWith = str::FormatTemp("Software\\Classes\\%s\\OpenWithProgids", ext);
        s.Value(root, openWith, kProductId);
        s.KeyIfEmpty(root, openWith, 1);
        // Once the list entry went, its two parents while empty.
        s.Key(root, str::FormatTemp("Software\\Classes\\%s\\OpenWithList\\%s", ext, kReaderExeName), 2);
    }
    for (const char* ext : kSupportedExts) {
        s.Key(root, str::FormatTemp("Software\\Classes\\%s", ProgIdTemp(ext).CStr()));
        StrView openWith = str::FormatTemp("Software\\Classes\\%s\\OpenWithProgids", ext);
        s.Value(root, openWith, ProgIdTemp(ext));
        // Our ProgID value was the last thing in these keys: without this the first removal
        // after an installation would leave them behind, empty.
        s.KeyIfEmpty(root, openWith, 2);
    }
    s.Value(root, "SOFTWARE\\RegisteredApplications", kProductId);
    s.Key(root, kCapabilitiesKey);
    s.Add(RegDeleteOp::NotifyAssociationsChanged, root);
}

void OfficeAddinRemoval(RegRoot root, RegView view, Vec<RegDelete>* out) {
    Steps s{out};
    Vec<StrView> keys(GetTempArena());
    OfficeAddinKeysToDelete(&keys);
    for (StrView key : keys) {
        s.Add(RegDeleteOp::KeyInView, root, key).view = view;
    }
}

// Everything under the product key goes but the backups of the user's earlier defaults:
// they are the only record of what the uninstall gives back, and an installation killed
// between deleting them and writing them again would lose them for good.
void ProductKeyRemoval(RegRoot root, Vec<RegDelete>* out) {
    Steps s{out};
    s.Log(str::FormatTemp("RemoveProductRegistryKey(%s)\n", RegRootName(root)));
    s.Add(RegDeleteOp::KeyBut, root, kProductRegKey, path::GetBaseName(kPrevDefaultKey));
}

void UninstallEntryRemoval(RegRoot root, bool withProductKey, Vec<RegDelete>* out) {
    Steps s{out};
    if (!withProductKey) {
        s.Log(str::FormatTemp("RemoveUninstallEntry(%s)\n", RegRootName(root)));
        s.Key(root, kUninstallRegKey);
        return;
    }
    s.Log(str::FormatTemp("RemoveUninstallerRegistryInfo(%s)\n", RegRootName(root)));
    s.Key(root, kUninstallRegKey);
    s.Key(root, kProductRegKey);
}

// Another installation's Run value stays.
void WatcherRemoval(StrView watcherPath, Vec<RegDelete>* out) {
    Steps s{out};
    RegDelete& d = s.Value(RegRoot::User, kRunKey, kWatcherRunValue);
    Steps::If(d, kWatcherRunValue, WatcherRunValueTemp(watcherPath), true, false);
    d.keptLog = str::FormatTemp("RemoveWatcherAutostart: the Run value does not start '%s', kept\n", watcherPath.CStr());
}

void PendingShellExtensionValues(bool searchFilter, bool previewer, Vec<RegValue>* out) {
    if (searchFilter) {
        AddDword(*out, kUninstallRegKey, kPendingSearchFilterValue, 1);
    }
    if (previewer) {
        AddDword(*out, kUninstallRegKey, kPendingPreviewerValue, 1);
    }
}

void PendingShellExtensionRemoval(RegRoot root, Vec<RegDelete>* out) {
    Steps s{out};
    for (const char* name : {kPendingSearchFilterValue, kPendingPreviewerValue}) {
        RegDelete& d = s.Value(root, kUninstallRegKey, name);
        d.guarded = d.ifExists = true;
        d.ifName = name;
    }
}

void PieceRemoval(const Registration& reg, const RegItem& item, Removal why, Vec<RegDelete>* out) {
    Steps s{out};
    switch (item.piece) {
        case Piece::Previewer:
            PreviewerRemoval(out);
            return;
        case Piece::SearchFilter:
            SearchFilterRemoval(out);
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
            // Per user they repeat what the machine's classes say; the machine's own may have
            // been there before and stay.
            if (item.root == RegRoot::User) {
                Vec<RegValue> values(GetTempArena());
                BuildMimeValues(&values);
                for (const RegValue& v : values) {
                    Steps::If(s.Value(item.root, v.key, v.name), v.name, v.text, false, false);
                }
            }
            return;
        case Piece::PathEntry:
            s.Add(RegDeleteOp::PathElement, item.root).text = reg.in.installDir;
            return;
        case Piece::Watcher:
            WatcherRemoval(WatcherPathTemp(reg.exePath), out);
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
            UninstallEntryRemoval(item.root, why != Removal::OtherInstallationEntry, out);
            return;
        case Piece::DefaultBackups:
            // Per user they went with the product key that holds them.
            if (reg.in.AllUsers()) {
                s.Key(RegRoot::User, kPrevDefaultKey);
                s.KeyIfEmpty(RegRoot::User, kProductRegKey, 1);
            }
            return;
        case Piece::DefaultReader:
            // Each group's backup is read right before it is given back: they live under the
            // product key, which goes only after the files.
            s.Add(RegDeleteOp::DefaultBackups, RegRoot::User).reader = item.reader;
            return;
        case Piece::Containers:
            for (const RegContainer& c : kRegContainers) {
                if (item.root == RegRoot::User || c.machineToo) {
                    s.Add(RegDeleteOp::EmptyKeys, item.root, c.key);
                }
            }
            return;
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
        Vec<RegValue> values(GetTempArena());
        PieceValues(reg, item, platformMajor, &values);
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
