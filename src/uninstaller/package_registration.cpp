#include "uninstaller/package_registration.h"

#include "base/str.h"

PackageRemoval DecidePackageRemoval(bool allUsers, bool startedByPackage, int uninstallExitCode) {
    if (!allUsers) {
        return PackageRemoval::NotAllUsers;
    }
    if (uninstallExitCode != 0) {
        return PackageRemoval::InstallationStays;
    }
    if (startedByPackage) {
        return PackageRemoval::ThePackageRemovesIt;
    }
    return PackageRemoval::Remove;
}

const char* PackageRemovalText(PackageRemoval decision) {
    switch (decision) {
        case PackageRemoval::Remove:
            return "removing the package's registration";
        case PackageRemoval::NotAllUsers:
            return "not an all-users installation, no package to remove";
        case PackageRemoval::InstallationStays:
            return "the installation stays, and so does its package";
        case PackageRemoval::ThePackageRemovesIt:
            return "started by the package's own removal, which unregisters it";
    }
    return "?";
}

bool IsHandedOverToAnotherPackage(StrView removing, const StrView* registered, int count) {
    for (int i = 0; i < count; i++) {
        if (!registered[i].IsEmpty() && !str::EqI(registered[i], removing)) {
            return true;
        }
    }
    return false;
}
