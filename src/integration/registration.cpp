#include "integration/registration.h"

#include "base/arena.h"
#include "base/file.h"
#include "base/product.h"
#include "integration/associations.h"
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

void AddTraces(Vec<RegTrace>* out, const RegItem& item, const Vec<RegValue>& values) {
    for (const RegValue& v : values) {
        RegTrace t;
        t.piece = item.piece;
        t.root = item.root;
        t.view = item.view;
        t.value = v;
        t.match = v.type == RegType::DeleteValue ? TraceMatch::Absent : TraceMatch::Exact;
        if (str::Eq(v.name, "EstimatedSize") || str::Eq(v.name, "InstallDate")) {
            t.match = TraceMatch::Exists;
        }
        t.keptOnRemoval = item.piece == Piece::MimeType && item.root == RegRoot::Machine;
        AddTrace(out, t);
    }
}

void ItemValues(const Registration& reg, const RegItem& item, int platformMajor, Vec<RegValue>* values) {
    const RegistrationInputs& in = reg.in;
    switch (item.piece) {
        case Piece::SearchFilter:
            BuildSearchFilterValues(path::JoinTemp(in.installDir, "PdfFilter.dll"), values);
            return;
        case Piece::Previewer:
            for (const PreviewerRow& row : kPreviewerTable) {
                BuildPreviewerRowValues(row, path::JoinTemp(in.installDir, "PdfPreview.dll"), values);
            }
            AddDword(*values, kInternetZoneKey, "180F", 0);
            return;
        case Piece::OfficeAddin:
            if (item.present) {
                BuildOfficeAddinValues(in.installDir, item.view == RegView::Bits64, values);
            } else {
                AddDeleteValue(*values, str::FormatTemp("Software\\Classes\\CLSID\\%s", kOfficeAddinClsid), "");
            }
            return;
        case Piece::UninstallEntry: {
            UninstallEntryInputs entry;
            entry.installDir = in.installDir;
            entry.allUsers = in.allUsers;
            BuildUninstallValues(entry, values);
            AddDword(*values, kUninstallRegKey, "DesktopShortcut", in.desktopShortcut ? 1 : 0);
            AddDword(*values, kUninstallRegKey, "DefaultPdf", in.defaultPdf ? 1 : 0);
            AddDword(*values, kUninstallRegKey, "DefaultComics", in.defaultComics ? 1 : 0);
            AddDword(*values, kUninstallRegKey, "DefaultMarkdown", in.defaultMarkdown ? 1 : 0);
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
            AddSz(*values, kRunKey, kWatcherRunValue, WatcherRunValueTemp(WatcherPathTemp(reg.exePath)));
            return;
        case Piece::PathEntry:  // an element of a value, traced by the caller
        case Piece::PreviewPane:
        case Piece::Shortcuts:
        case Piece::DefaultBackups:
        case Piece::Containers:
            return;
    }
}
}  // namespace

RegistrationInputs InputsFromOptions(const InstallerOptions& o) {
    RegistrationInputs in;
    in.installDir = o.installDir;
    in.allUsers = o.allUsers;
    in.searchFilter = o.withFilter;
    in.previewer = o.withPreview;
    in.officeAddin = !o.noOfficePlugin;
    in.desktopShortcut = !o.noDesktopShortcut;
    in.defaultPdf = o.defaultPdf;
    in.defaultComics = o.defaultComics;
    in.defaultMarkdown = o.defaultMarkdown;
    return in;
}

RegistrationInputs AnyInstallationIn(StrView dir, bool allUsers) {
    RegistrationInputs in;
    in.installDir = dir;
    in.allUsers = allUsers;
    in.searchFilter = in.previewer = in.officeAddin = in.desktopShortcut = true;
    in.defaultPdf = in.defaultComics = in.defaultMarkdown = true;
    return in;
}

void BuildRegistration(const RegistrationInputs& in, Registration* out) {
    out->in = in;
    out->exePath = path::JoinTemp(in.installDir, kReaderExeName);
    out->items.Reset();
    RegRoot root = in.allUsers ? RegRoot::Machine : RegRoot::User;
    if (in.searchFilter) {
        Add(out, Piece::SearchFilter, root);
    }
    if (in.previewer) {
        Add(out, Piece::Previewer, root);
        Add(out, Piece::PreviewPane, RegRoot::User);
    }
    if (in.officeAddin) {
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
    if (in.defaultPdf) {
        AddDefault(out, ReaderKind::Pdf);
        AddDefault(out, ReaderKind::Ofd);
    }
    if (in.defaultComics) {
        AddDefault(out, ReaderKind::Comics);
    }
    if (in.defaultMarkdown) {
        AddDefault(out, ReaderKind::Markdown);
    }
    if (in.defaultPdf || in.defaultComics || in.defaultMarkdown) {
        Add(out, Piece::DefaultBackups, RegRoot::User);
    }
    Add(out, Piece::PathEntry, root);
    Add(out, Piece::Watcher, RegRoot::User);
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
        ItemValues(reg, item, platformMajor, &values);
        AddTraces(out, item, values);
    }
}

void RegistrationShortcuts(const Registration& reg, Vec<int>* csidls) {
    for (const RegItem& item : reg.items) {
        if (item.piece == Piece::Shortcuts) {
            ShortcutFoldersToCreate(item.root == RegRoot::Machine, reg.in.desktopShortcut, csidls);
        }
    }
}

const char* RegRootName(RegRoot root) {
    return root == RegRoot::Machine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}
