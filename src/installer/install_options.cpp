#include "installer/install_options.h"

#include "base/choice_table.h"
#include "base/log.h"
#include "installer/previous_install.h"

void SettleInheritedChoices(const PreviousInstallInfo& prev, bool hasPrev, const InstallerOptions& cli,
                            InstallChoices* choices) {
    const InstallChoices& earlier = prev.choices;
    if (!cli.runInstallNow && hasPrev) {
        Log("!gCli->runInstallNew so inheriting prev install state\n");
        choices->on = choices->on.With(earlier.on.Only(ChoicesInheriting(Inherits::On)));
        choices->on = choices->on.Without(ChoicesInheriting(Inherits::Off).Without(earlier.on));
    } else if (!cli.runInstallNow) {
        choices->on = choices->on.With(ChoicesByDefault(ByDefault::OnFirst));
    }
    choices->on = choices->on.Without(cli.refused);
}

bool SettleScopeForToken(TokenKind token, InstallChoices* choices) {
    if (!RulesForToken(token).forcesAllUsers) {
        return false;
    }
    choices->on.Add(Choice::AllUsers);
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

bool RestartsElevated(ElevationChoice choice, const char* caller, const char* doing) {
    if (choice == ElevationChoice::InstallWithoutRights) {
        Logf("%s: started elevated already and still not elevated; %s without restarting again\n", caller, doing);
    }
    return choice == ElevationChoice::RestartElevated;
}

StrView RelaunchArgumentsTemp(const Flags& cli, const InstallChoices& choices, bool allUsers) {
    Flags carried;
    carried.silent = cli.silent;
    carried.log = cli.log;
    InstallerOptions& o = carried.installer;
    o.asked = choices.on;
    o.asked.Set(Choice::AllUsers, allUsers);
    o.refused = ChoiceSet::All().Without(o.asked);
    o.installDir = choices.installDir;
    o.fastInstall = cli.installer.fastInstall;
    o.startApp = cli.installer.startApp;
    o.runInstallNow = true;
    return CarriedArgumentsTemp(carried);
}
