#include <windows.h>

#include "integration/registration.h"

#include "base/arena.h"
#include "base/file.h"
#include "base/install_failure.h"
#include "base/log.h"
#include "i18n/translations.h"
#include "integration/associations.h"
#include "integration/office_addin.h"
#include "integration/path_env.h"
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
void WriteRecordedChoices(HKEY root, const RegistrationInputs& in) {
    WriteRegDWORD(root, kUninstallRegKey, "DesktopShortcut", in.desktopShortcut ? 1 : 0);
    WriteRegDWORD(root, kUninstallRegKey, "DefaultPdf", in.defaultPdf ? 1 : 0);
    WriteRegDWORD(root, kUninstallRegKey, "DefaultComics", in.defaultComics ? 1 : 0);
    WriteRegDWORD(root, kUninstallRegKey, "DefaultMarkdown", in.defaultMarkdown ? 1 : 0);
}

void WriteItem(const Registration& reg, const RegItem& item) {
    const RegistrationInputs& in = reg.in;
    HKEY root = RegRootKey(item.root);
    switch (item.piece) {
        case Piece::SearchFilter:
            RegisterSearchFilter(AllUsers(item), in.installDir);
            return;
        case Piece::Previewer:
            RegisterPreviewer(AllUsers(item), in.installDir);
            return;
        case Piece::PreviewPane:
            EnableExplorerPreviewPane();
            return;
        case Piece::OfficeAddin:
            if (item.present) {
                RegisterOfficeAddin(root, in.installDir, RegViewFlag(item.view));
            } else {
                UnregisterOfficeAddin(root, RegViewFlag(item.view));
            }
            return;
        case Piece::Shortcuts:
            CreateAppShortcuts(AllUsers(item), in.desktopShortcut, reg.exePath);
            return;
        case Piece::UninstallEntry:
            if (!WriteUninstallerRegistryInfo(root, in.allUsers, in.installDir)) {
                NotifyFailed(GetTranslation("Failed to write the uninstallation information to the registry"));
            }
            WriteRecordedChoices(root, in);
            return;
        case Piece::Associations:
            if (!WriteExtendedFileExtensionInfo(root, reg.exePath)) {
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

void RemoveContainers(HKEY root, bool machine) {
    for (const RegContainer& c : kRegContainers) {
        if (!machine || c.machineToo) {
            DeleteEmptyRegKeys(root, c.key);
        }
    }
}

void RemoveItem(const Registration& reg, const RegItem& item, Removal why) {
    const RegistrationInputs& in = reg.in;
    HKEY root = RegRootKey(item.root);
    switch (item.piece) {
        case Piece::Previewer:
            UninstallPreviewDll();
            return;
        case Piece::SearchFilter:
            UninstallSearchFilter();
            return;
        case Piece::Associations:
            RemoveInstallRegistryKeys(root);
            if (why != Removal::Upgrade) {
                return;
            }
            // An upgrade replaces the product key too (but the backups of the user's
            // defaults, see RemoveProductRegistryKey); the per-user classes go whatever the
            // earlier scope was: older installations wrote them for all users as well.
            RemoveProductRegistryKey(root);
            if (item.root == RegRoot::Machine) {
                RemoveInstallRegistryKeys(HKEY_CURRENT_USER);
                RemoveProductRegistryKey(HKEY_CURRENT_USER);
            }
            return;
        case Piece::OfficeAddin:
            if (item.present) {
                UnregisterOfficeAddin(root, RegViewFlag(item.view));
            }
            return;
        case Piece::MimeType:
            // Per user they repeat what the machine's classes say; the machine's own may have
            // been there before and stay.
            if (item.root == RegRoot::User) {
                RemoveMimeValues(root);
            }
            return;
        case Piece::PathEntry:
            RemoveInstallDirFromPath(AllUsers(item), in.installDir);
            return;
        case Piece::Watcher:
            RemoveWatcherAutostart(WatcherPathTemp(reg.exePath));
            return;
        case Piece::Shortcuts: {
            if (why == Removal::Upgrade) {
                // Every folder any version put a shortcut in.
                RemoveAppShortcuts();
                return;
            }
            Vec<int> csidls(GetTempArena());
            ShortcutFoldersToCreate(AllUsers(item), in.desktopShortcut, &csidls);
            for (int csidl : csidls) {
                RemoveShortcutFile(csidl);
            }
            return;
        }
        case Piece::UninstallEntry:
            // The other installation's product key went with the upgrade's removal.
            if (why == Removal::OtherInstallationEntry) {
                RemoveUninstallEntry(root);
            } else {
                RemoveUninstallerRegistryInfo(root);
            }
            return;
        case Piece::DefaultBackups:
            // Per user they went with the product key that holds them.
            if (reg.in.allUsers) {
                DeleteRegKey(HKEY_CURRENT_USER, kPrevDefaultKey);
                DeleteRegKeyIfEmpty(HKEY_CURRENT_USER, kProductRegKey);
            }
            return;
        case Piece::Containers:
            RemoveContainers(root, item.root == RegRoot::Machine);
            return;
        case Piece::PreviewPane:  // the user's layout by now
        case Piece::DefaultReader:  // given back together, see RemoveRegistration
            return;
    }
}

// Each group's backup is read right before it is given back: they live under the product
// key, which goes only after the files.
void GiveDefaultsBackFor(const Registration& reg) {
    Vec<DefaultBackup> backups(GetProcessArena());
    for (const RegItem& item : reg.items) {
        if (item.piece == Piece::DefaultReader) {
            ReadDefaultBackups(item.reader, &backups);
        }
    }
    if (backups.len > 0) {
        GiveDefaultsBack(backups);
    }
}
}  // namespace

HKEY RegRootKey(RegRoot root) {
    return root == RegRoot::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
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

void RemoveRegistration(const Registration& reg, Removal why) {
    int n = 0;
    const Piece* order = RemovalOrder(why, &n);
    for (int i = 0; i < n; i++) {
        TempArenaScope scope;
        if (order[i] == Piece::DefaultReader) {
            GiveDefaultsBackFor(reg);
            continue;
        }
        for (const RegItem& item : reg.items) {
            if (item.piece == order[i]) {
                RemoveItem(reg, item, why);
            }
        }
    }
}
