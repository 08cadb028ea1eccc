// The installation sequence when extraction fails: the shell extensions that were taken
// away to free their files (by this run, or by an earlier one that was killed) come back
// with the same all-users choice, nothing of the new installation is registered, and the
// failure is reported unless the user chose to abort.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/arena.h"
#include "base/install_failure.h"
#include "installer/installation.h"
#include "installer/previous_install.h"
#include "integration/registry.h"
#include "integration/shell_ext.h"
#include "integration/uninstall.h"
#include "replace/move_aside.h"
#include "reg_test.h"

using namespace regtest;

TEST(Installation, FailedExtractionPutsShellExtensionsBackAndReportsUnlessAborted) {
    // No drive Q: in the machine, so the installation directory cannot be made.
    const char* dir = "Q:\\vlpdf";
    struct Case {
        const char* name;
        bool aborted;
        // An earlier run was killed with the shell extensions unregistered: only the pending
        // record in the uninstall entry (read back as the earlier installation) says they
        // belong here.
        bool afterKilledRun;
    };
    for (const Case& c : {Case{"not aborted", false, false}, Case{"user aborted", true, false},
                          Case{"after a killed run", false, true}}) {
        SCOPED_TRACE(c.name);
        SetLogRegistryCalls(true);
        Flags cli;
        InstallerRun run;
        run.cli = &cli;
        if (c.afterKilledRun) {
            PutSz(HKEY_LOCAL_MACHINE, kUninstallRegKey, "InstallLocation", dir);
            DWORD one = 1;
            Put(HKEY_LOCAL_MACHINE, kUninstallRegKey, kPendingSearchFilterValue, REG_DWORD, &one, 4);
            Put(HKEY_LOCAL_MACHINE, kUninstallRegKey, kPendingPreviewerValue, REG_DWORD, &one, 4);
            run.prev.keys = PrevInstallKeys::MachineOnly;
            run.prev.choices.on = {Choice::AllUsers, Choice::SearchFilter, Choice::Previewer};
        } else {
            OnePiece(Piece::SearchFilter, true, dir).Write();
            OnePiece(Piece::Previewer, true, dir).Write();
            // Without an earlier entry the run still knows them registered, and takes them away.
            GetPreviousInstallInfo(&run.prev);
            ASSERT_FALSE(HasPreviousInstall(run.prev));
            ASSERT_EQ(run.prev.registered.bits, ChoiceSet({Choice::SearchFilter, Choice::Previewer}).bits);
        }
        ResetInstallOutcome();
        if (c.aborted) SetInstallOutcome(InstallOutcome::Aborted);
        run.choices.installDir = dir;
        run.choices.on = {Choice::AllUsers};

        std::string log = LoggedDuring([&] { RunInstallation(&run); });

        EXPECT_TRUE(InstallationFailed());
        EXPECT_EQ(log.find("  unregistering search filter before file overwrite\n") != std::string::npos,
                  !c.afterKilledRun)
            << log;
        EXPECT_NE(log.find("ExtractInstallerFiles() failed\n"), std::string::npos) << log;
        EXPECT_NE(log.find("RestoreShellExtensions: filter=1 preview=1 allUsers=1 dir='Q:\\vlpdf'\n"),
                  std::string::npos)
            << log;
        EXPECT_TRUE(IsSearchFilterInstalled());
        EXPECT_TRUE(IsPreviewInstalled());
        EXPECT_EQ(log.find("Installer thread finished"), std::string::npos) << log;
        size_t report = log.find("InstallerThread: upload debug report: Installation failed: ");
        EXPECT_EQ(report != std::string::npos, !c.aborted) << log;
        // The indexer was stopped while files were replaced (Wine has no such service).
        EXPECT_NE(log.find("StopServiceAndDependents('WSearch')"), std::string::npos) << log;
        if (c.afterKilledRun) {
            // The earlier entry stays as it was, its pending record done with.
            ExpectSz(HKEY_LOCAL_MACHINE, kUninstallRegKey, "InstallLocation", dir);
            EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kUninstallRegKey, kPendingSearchFilterValue));
            EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kUninstallRegKey, kPendingPreviewerValue));
            Remove(HKEY_LOCAL_MACHINE, kUninstallRegKey);
        }
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallRegKey));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallRegKey));
        OnePiece(Piece::SearchFilter, true, dir).Remove();
        OnePiece(Piece::Previewer, true, dir).Remove();
    }
}
