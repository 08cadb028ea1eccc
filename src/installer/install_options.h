#pragma once
// How the installer's options are settled before anything is installed: what the command
// line chose, what an earlier installation chose, and the command line that carries every
// choice to an elevated copy of this program. Pure decisions; the installer run acts on them.
#include "base/flags.h"
#include "base/str.h"
#include "base/token_kind.h"

struct PreviousInstallInfo;

// The eight options a person chooses on the first page, in its order. A policy may lock any of
// them but the default-reader ones.
enum class Choice : uint8_t {
    AllUsers,
    SearchFilter,
    DesktopShortcut,
    Previewer,
    DefaultPdf,
    DefaultComics,
    DefaultMarkdown,
    OfficeAddin,
    None,
};
constexpr int kChoiceCount = 8;

struct ChoiceSet {
    uint8_t bits = 0;
    bool Has(Choice c) const { return c != Choice::None && (bits >> (int)c) & 1; }
    void Add(Choice c) {
        if (c != Choice::None) bits |= (uint8_t)(1u << (int)c);
    }
    bool IsEmpty() const { return bits == 0; }
};

// A choice as the options hold it. Setting one also sets its "-no-" switch, so that the choice
// survives the settling that follows and reaches an elevated copy as it is.
bool GetChoice(const InstallerOptions& o, Choice c);
void SetChoice(InstallerOptions* o, Choice c, bool on);

// The installer members of the command line, copied into the settled options. The
// directory is settled separately (it may be relative or empty).
void CopyInstallerOptions(const Flags& cli, Flags* settled);

// An earlier installation's choices fill in what the command line left off; a first
// installation gets the search filter and the previewer. Nothing is inherited by an
// elevated copy (runInstallNow): its command line already carries every choice.
// -no-filter and -no-preview win over both.
void SettleInheritedChoices(const PreviousInstallInfo& prev, bool hasPrev, bool runInstallNow, Flags* settled);

// A run with the system's own rights installs for all users, as if -all-users were given:
// true when that rule applies to the token.
bool SettleScopeForToken(TokenKind token, Flags* settled);

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

// The elevated copy's arguments: "-run-install-now", the chosen options in a fixed order,
// then " -install-dir " and the directory quoted so that the system's command-line split
// gives it back exactly.
StrView RelaunchArgumentsTemp(const Flags& settled, bool allUsers);
