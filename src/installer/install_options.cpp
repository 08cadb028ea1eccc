#include "installer/install_options.h"

#include "base/log.h"
#include "installer/previous_install.h"

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
