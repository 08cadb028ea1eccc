#include "installer/install_options.h"

#include "base/log.h"
#include "installer/previous_install.h"

bool GetChoice(const InstallerOptions& o, Choice c) {
    switch (c) {
        case Choice::AllUsers: return o.allUsers;
        case Choice::SearchFilter: return o.withFilter && !o.noFilter;
        case Choice::DesktopShortcut: return !o.noDesktopShortcut;
        case Choice::Previewer: return o.withPreview && !o.noPreview;
        case Choice::DefaultPdf: return o.defaultPdf;
        case Choice::DefaultComics: return o.defaultComics;
        case Choice::DefaultMarkdown: return o.defaultMarkdown;
        case Choice::OfficeAddin: return !o.noOfficePlugin;
        case Choice::None: break;
    }
    return false;
}

void SetChoice(InstallerOptions* o, Choice c, bool on) {
    switch (c) {
        case Choice::AllUsers: o->allUsers = on; break;
        case Choice::SearchFilter: o->withFilter = on; o->noFilter = !on; break;
        case Choice::DesktopShortcut: o->noDesktopShortcut = !on; break;
        case Choice::Previewer: o->withPreview = on; o->noPreview = !on; break;
        case Choice::DefaultPdf: o->defaultPdf = on; break;
        case Choice::DefaultComics: o->defaultComics = on; break;
        case Choice::DefaultMarkdown: o->defaultMarkdown = on; break;
        case Choice::OfficeAddin: o->noOfficePlugin = !on; break;
        case Choice::None: break;
    }
}

void CopyInstallerOptions(const Flags& cli, Flags* settled) {
    settled->log = cli.log;
    settled->silent = cli.silent;
    settled->installer = cli.installer;
    // Settled from the command line's value or the earlier installation afterwards.
    settled->installer.installDir = {};
}

void SettleInheritedChoices(const PreviousInstallInfo& prev, bool hasPrev, bool runInstallNow, Flags* settled) {
    InstallerOptions& o = settled->installer;
    if (!runInstallNow && hasPrev) {
        Log("!gCli->runInstallNew so inheriting prev install state\n");
        o.allUsers = o.allUsers || prev.allUsers;
        o.withFilter = o.withFilter || prev.searchFilterInstalled;
        o.withPreview = o.withPreview || prev.previewInstalled;
        o.noDesktopShortcut = o.noDesktopShortcut || !prev.desktopShortcut;
    } else if (!runInstallNow) {
        o.withFilter = true;
        o.withPreview = true;
    }
    if (o.noFilter) {
        o.withFilter = false;
    }
    if (o.noPreview) {
        o.withPreview = false;
    }
}

bool SettleScopeForToken(TokenKind token, Flags* settled) {
    if (!RulesForToken(token).forcesAllUsers) {
        return false;
    }
    settled->installer.allUsers = true;
    return true;
}

ElevationChoice ChooseElevation(bool requiresSilentElevation, bool isElevated, bool needsElevation,
                                bool isRelaunchedCopy) {
    if (!requiresSilentElevation || isElevated || !needsElevation) {
        return ElevationChoice::Install;
    }
    // The elevated start gave no rights (the prompt is switched off, or the system started
    // the copy limited): restarting again would start copies forever.
    if (isRelaunchedCopy) {
        return ElevationChoice::InstallWithoutRights;
    }
    return ElevationChoice::RestartElevated;
}

StrView RelaunchArgumentsTemp(const Flags& settled, bool allUsers) {
    Flags carried;
    carried.silent = settled.silent;
    carried.log = settled.log;
    carried.installer = settled.installer;
    carried.installer.allUsers = allUsers;
    carried.installer.runInstallNow = true;
    return CarriedArgumentsTemp(carried);
}
