#include <gtest/gtest.h>

#include "uninstaller/installed_files.h"

// An uninstallation deletes only what these say is the installation's: a wrong "true" deletes
// a user's file, a wrong "false" leaves the product behind.
TEST(InstalledFiles, EntriesAndWhatReplacingThemLeavesButNothingElse) {
    const char* const entries[] = {"vlpdf.exe", "libtovarinpdf.dll", "UserSDKHost\\pages\\help.html",
                                   "plugins\\pdfwatch\\vlpdf-watch.exe"};
    struct {
        const char* rel;
        bool installed;
    } cases[] = {
        {"vlpdf.exe", true},
        {"VLPDF.EXE", true},
        {"UserSDKHost\\pages\\help.html", true},
        {"plugins\\pdfwatch\\vlpdf-watch.exe", true},
        {"vlpdf.exe.copy", true},
        {"libtovarinpdf.dll.copy.stale12345", true},
        {"plugins\\pdfwatch\\vlpdf-watch.exe.failed", true},
        {"libvlrender.dll", true},
        // The user's and other programs' files.
        {"vlpdf-settings.txt", false},
        {"vlpdf.exe.bak", false},
        {"vlpdf.ex", false},
        {"vlpdf.exe2", false},
        {"vlpdf.exe.copy2", false},
        {"UserSDKHost\\pages", false},
        {"UserSDKHost\\pages\\help.html.orig", false},
        {"pdfwatch\\vlpdf-watch.exe", false},
        {"other\\vlpdf.exe", false},
        {"My Documents\\report.pdf", false},
        {"", false},
    };
    for (auto& c : cases) {
        EXPECT_EQ(IsInstalledFile(c.rel, entries, 4), c.installed) << c.rel;
    }
    EXPECT_FALSE(IsInstalledFile("vlpdf.exe", entries, 0));
}
