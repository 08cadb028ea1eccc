#include "uninstaller/package_registration.h"

#include <windows.h>
#include <msi.h>

#include "base/arena.h"
#include "base/log.h"
#include "base/system_lib.h"
#include "base/wide_win.h"

namespace {
// Not imported: msi.dll is not a known DLL, and an elevated uninstaller runs from folders
// where a copy could wait beside it.
#define VL_MSI_FUNCTIONS(X) \
    X(MsiEnumRelatedProductsW) X(MsiQueryProductStateW) X(MsiSetInternalUI) X(MsiConfigureProductExW)
VL_SYSTEM_API(MsiApi, L"msi.dll", VL_MSI_FUNCTIONS)

constexpr int kMaxPackages = 8;
constexpr int kCodeChars = 39;  // a braced GUID and its NUL

struct Packages {
    WCHAR codes[kMaxPackages][kCodeChars];
    int count = 0;
};

// Every registered product of the package's upgrade code, listed before any is removed
// (removing one while enumerating would shift the enumeration). False when msi.dll is missing.
bool ListPackages(const MsiApi& msi, Packages* out) {
    if (!msi.ok) {
        Log("RemovePackageRegistration: msi.dll could not be loaded from the system directory\n");
        return false;
    }
    for (DWORD i = 0; out->count < kMaxPackages; i++) {
        if (msi.MsiEnumRelatedProductsW(W(kPackageUpgradeCode), 0, i, out->codes[out->count]) != ERROR_SUCCESS) {
            break;
        }
        out->count++;
    }
    return true;
}
}  // namespace

bool IsPackageHandingOver(StrView removingProductCode) {
    Packages packages;
    if (!ListPackages(MsiApi::Get(), &packages)) {
        return false;
    }
    StrView registered[kMaxPackages];
    for (int i = 0; i < packages.count; i++) {
        registered[i] = str::Dup(GetTempArena(), U(packages.codes[i]));
    }
    bool handedOver = IsHandedOverToAnotherPackage(removingProductCode, registered, packages.count);
    Logf("RunUninstaller: started by the removal of package %s, %d package(s) registered%s\n",
         removingProductCode.CStr(), packages.count,
         handedOver ? ": a newer package upgraded the installation, which stays" : "");
    return handedOver;
}

void RemovePackageRegistration(bool allUsers, bool startedByPackage, int uninstallExitCode) {
    PackageRemoval decision = DecidePackageRemoval(allUsers, startedByPackage, uninstallExitCode);
    Logf("RemovePackageRegistration: %s\n", PackageRemovalText(decision));
    if (decision != PackageRemoval::Remove) {
        return;
    }
    const MsiApi& msi = MsiApi::Get();
    Packages packages;
    if (!ListPackages(msi, &packages)) {
        return;
    }
    if (packages.count == 0) {
        Log("RemovePackageRegistration: no package registered\n");
        return;
    }
    msi.MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    for (int i = 0; i < packages.count; i++) {
        const WCHAR* wide = packages.codes[i];
        StrView code = U(wide);
        INSTALLSTATE state = msi.MsiQueryProductStateW(wide);
        if (state != INSTALLSTATE_DEFAULT) {
            Logf("RemovePackageRegistration: package %s is in state %d, left alone\n", code.CStr(), (int)state);
            continue;
        }
        // The package's own uninstall step finds no installation any more and is skipped.
        UINT result = msi.MsiConfigureProductExW(wide, INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT,
                                                 L"REBOOT=ReallySuppress");
        Logf("RemovePackageRegistration: removing package %s: %u\n", code.CStr(), (unsigned)result);
    }
}
