#pragma once
// How the installer's options are settled before anything is installed: what the command
// line chose, what an earlier installation chose, and the command line that carries every
// choice to an elevated copy of this program. Pure decisions; the installer run acts on them.
#include "base/flags.h"
#include "base/str.h"
#include "base/token_kind.h"

struct PreviousInstallInfo;

// An earlier installation's choices fill in what the command line left off, as each choice's
// row of the choice table says (Inherits: all users, the search filter and the previewer when
// it had them, no desktop shortcut when it had none); a first installation gets the search
// filter and the previewer (ByDefault::OnFirst). Nothing is inherited by an elevated copy
// (-run-install-now): its command line already carries every choice. -no-filter and
// -no-preview win over both.
void SettleInheritedChoices(const PreviousInstallInfo& prev, bool hasPrev, const InstallerOptions& cli,
                            InstallChoices* choices);

// A run with the system's own rights installs for all users, as if -all-users were given:
// true when that rule applies to the token.
bool SettleScopeForToken(TokenKind token, InstallChoices* choices);

// What a run that is not elevated does about elevation.
enum class ElevationChoice {
    Install,               // it has the rights it needs, or a window will ask later
    RestartElevated,       // start an elevated copy with every choice, and hand over
    InstallWithoutRights,  // it is that copy already: never restart again, install and report
};
// needsElevation is the directory and all-users rule's answer; it only matters for runs
// that cannot ask later (silent, fast or already decided).
ElevationChoice ChooseElevation(bool requiresSilentElevation, bool isElevated, bool needsElevation,
                                bool isRelaunchedCopy);
// What the installer and the uninstaller both do with that choice: true when the run is to
// restart itself elevated. A copy that still has no rights goes on without them, and its log
// says so in the caller's name ("RunInstaller") and with what it goes on doing ("installing").
bool RestartsElevated(ElevationChoice choice, const char* caller, const char* doing);

// The elevated copy's arguments: "-run-install-now", the choices and the command line's other
// carried switches in a fixed order, then " -install-dir " and the directory quoted so that
// the system's command-line split gives it back exactly.
StrView RelaunchArgumentsTemp(const Flags& cli, const InstallChoices& choices, bool allUsers);
