#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "uninstaller/package_registration.h"

// Under Wine the Linux root is drive Z:.
#ifdef _WIN32
#define VLPDF_SOURCE_PATH "Z:" VLPDF_SOURCE_DIR
#else
#define VLPDF_SOURCE_PATH VLPDF_SOURCE_DIR
#endif

// A wrong Remove calls back into Windows Installer from inside the package's own removal, or
// takes the package away from an installation that is still there; a wrong "keep" leaves a
// deployment tool seeing an installation that is gone.
TEST(PackageRegistration, GoesOnlyWithAnAllUsersInstallationRemovedByAnotherRoute) {
    struct {
        bool allUsers;
        bool startedByPackage;
        int exitCode;
        PackageRemoval want;
    } cases[] = {
        {true, false, 0, PackageRemoval::Remove},
        {true, true, 0, PackageRemoval::ThePackageRemovesIt},
        {true, false, 1, PackageRemoval::InstallationStays},
        {true, true, 1, PackageRemoval::InstallationStays},
        {false, false, 0, PackageRemoval::NotAllUsers},
        {false, true, 0, PackageRemoval::NotAllUsers},
        {false, false, 1, PackageRemoval::NotAllUsers},
    };
    for (auto& c : cases) {
        EXPECT_EQ(DecidePackageRemoval(c.allUsers, c.startedByPackage, c.exitCode), c.want)
            << c.allUsers << c.startedByPackage << c.exitCode;
        EXPECT_STRNE(PackageRemovalText(c.want), "?");
    }
}

// A wrong "handed over" leaves an installation behind after its package's removal; a wrong
// "not" removes the installation that a newer package has just upgraded.
TEST(PackageRegistration, HandedOverOnlyWhenAnotherPackageIsRegistered) {
    const char* kOld = "{61B07295-81A8-56E4-84BA-B082F65E0100}";
    const char* kNew = "{1196AE04-82DB-5C6D-953B-AB41FF4362C8}";
    struct {
        std::vector<const char*> registered;
        bool handedOver;
    } cases[] = {
        {{kOld}, false},
        {{}, false},
        {{"{61b07295-81a8-56e4-84ba-b082f65e0100}"}, false},
        {{kOld, kNew}, true},
        {{kNew, kOld}, true},
        {{kNew}, true},
        {{"", kOld}, false},
    };
    for (auto& c : cases) {
        std::vector<StrView> views;
        for (const char* code : c.registered) views.push_back(StrView(code));
        EXPECT_EQ(IsHandedOverToAnotherPackage(kOld, views.data(), (int)views.size()), c.handedOver)
            << c.registered.size();
    }
}

// The upgrade code is how the uninstaller finds whichever version of the package deployed the
// installation; the package's source must carry the same one.
TEST(PackageRegistration, UpgradeCodeIsTheOneThePackageIsBuiltWith) {
    FILE* f = fopen(VLPDF_SOURCE_PATH "/scripts/msi/package.wxs", "rb");
    ASSERT_NE(f, nullptr);
    std::string text;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    fclose(f);
    EXPECT_NE(text.find(std::string("UpgradeCode=\"") + kPackageUpgradeCode + "\""), std::string::npos);
    EXPECT_NE(text.find(std::string("<Upgrade Id=\"") + kPackageUpgradeCode + "\""), std::string::npos);
}
