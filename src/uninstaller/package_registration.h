#pragma once
// An all-users installation that the Windows Installer package put on the machine is
// registered twice: by the installer's own uninstall entry, and by Windows Installer under the
// package's product code, which deployment tools check. The package's own removal runs this
// uninstaller; every other route (the visible uninstall entry, the reader's -uninstall) must
// take the package's registration away too, or a tool would see an installation that is gone.
#include "base/str.h"

// Shared by every version of the package (each version has a product code of its own), so
// that whichever version deployed the installation is found. The package's source has it too.
constexpr const char* kPackageUpgradeCode = "{4A4292ED-ACBB-4914-A534-EC788B9C573E}";

enum class PackageRemoval {
    Remove,               // the installation is gone: the package's registration goes as well
    NotAllUsers,          // a per-user installation: the package only ever installs for all users
    InstallationStays,    // the uninstallation failed or refused: the package still describes it
    ThePackageRemovesIt,  // the package's own removal started this uninstaller and unregisters itself
};

// startedByPackage: the command line carried the package's marker (-package-removal). Calling
// back into Windows Installer from inside the package's removal would find its execution
// under way (or, under Wine, remove the package a second time inside the first removal).
PackageRemoval DecidePackageRemoval(bool allUsers, bool startedByPackage, int uninstallExitCode);

// For the log.
const char* PackageRemovalText(PackageRemoval decision);

// The package `removing` runs its uninstall step while `registered` (the products of the
// upgrade code that Windows Installer has) lists another one too: a newer package replaced it
// and upgraded the installation in place, which is now that package's and stays. Windows
// skips the step then (UPGRADINGPRODUCTCODE); Wine's msiexec runs it, as may any removal of an
// older package while a newer one is registered. Product codes compare without letter case.
bool IsHandedOverToAnotherPackage(StrView removing, const StrView* registered, int count);

#ifdef _WIN32
// The products of the upgrade code from Windows Installer, then the decision above, logged.
bool IsPackageHandingOver(StrView removingProductCode);

// Carries out the decision: every product of the package's upgrade code that Windows
// Installer says is installed is removed silently. Failures are logged; the uninstallation's
// own outcome stands.
void RemovePackageRegistration(bool allUsers, bool startedByPackage, int uninstallExitCode);
#endif
