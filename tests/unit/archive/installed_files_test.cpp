#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/arena.h"
#include "archive/installed_files.h"

// An uninstallation, or an upgrade removing another installation, deletes only what these
// say is the installation's: a wrong "true" deletes a user's file, a wrong "false" leaves the
// product behind, and its folder with it.
TEST(InstalledFiles, EntriesAndWhatReplacingThemLeavesButNothingElse) {
    TempArenaScope scope;
    Vec<StrView> installed = InstalledFilesTemp();
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
        // What a killed upgrade leaves: the copy kept in place, a replacing write's new bytes.
        {"PdfPreview.dll.keep", true},
        {"plugins\\pdfwatch\\vlpdf-watch.exe.patched", true},
        {"vlpdf.exe.tmp", true},
        {"UserSDKHost\\images\\logo.png.TMP", true},
        {"plugins\\officeplugin\\vloffice64.dll.Keep", true},
        {"libvlrender.dll.copy", true},
        // The user's and other programs' files.
        {"vlpdf-settings.txt", false},
        {"vlpdf.exe.bak", false},
        {"vlpdf.ex", false},
        {"vlpdf.exe2", false},
        {"vlpdf.exe.copy2", false},
        {"vlpdf.exe.keep2", false},
        {"vlpdf.exe.tmp.keep", false},
        {"vlpdf.exe.keep.tmp", false},
        {"notes.tmp", false},
        {".keep", false},
        {"UserSDKHost\\pages", false},
        {"UserSDKHost\\pages\\help.html.orig", false},
        {"pdfwatch\\vlpdf-watch.exe", false},
        {"other\\vlpdf.exe", false},
        {"My Documents\\report.pdf", false},
        // An entry that stays in the archive was never put into the folder.
        {"translations.txt", false},
        {"", false},
    };
    for (auto& c : cases) {
        EXPECT_EQ(IsInstalledFile(c.rel, installed), c.installed) << c.rel;
    }
    EXPECT_FALSE(IsInstalledFile("vlpdf.exe", Vec<StrView>()));
}

// The folders go deepest first: each must be empty when its turn comes, so none may come
// after a folder inside it, and each is asked once.
TEST(InstalledFiles, FoldersDeepestFirstEachOnce) {
    TempArenaScope scope;
    Vec<StrView> folders = FoldersOfTemp(InstalledFilesTemp());
    std::set<std::string> got;
    for (int32_t i = 0; i < folders.len; i++) {
        std::string f(folders.els[i].s, folders.els[i].len);
        EXPECT_TRUE(got.insert(f).second) << f << " twice";
        for (int32_t j = i + 1; j < folders.len; j++) {
            std::string later(folders.els[j].s, folders.els[j].len);
            EXPECT_NE(f + "\\", later.substr(0, f.size() + 1)) << f << " before " << later;
        }
    }
    std::set<std::string> expected = {"UserSDKHost",        "UserSDKHost\\pages", "UserSDKHost\\css",
                                      "UserSDKHost\\js",    "UserSDKHost\\images", "plugins",
                                      "plugins\\pdfwatch", "plugins\\officeplugin"};
    EXPECT_EQ(got, expected);
}

// The folders above an installation that its uninstallation may take away: only those the
// first installation created, never one above them (an administrator's) or beside them.
TEST(InstalledFiles, CreatedFoldersAboveTheDirectoryOnly) {
    TempArenaScope scope;
    struct {
        const char* dir;
        const char* created;
        std::vector<std::string> folders;
    } cases[] = {
        {"C:\\Apps\\VL", "C:\\Apps", {"C:\\Apps"}},
        {"C:\\Apps\\Tools\\VL", "C:\\Apps", {"C:\\Apps\\Tools", "C:\\Apps"}},
        {"c:\\apps\\VL", "C:\\Apps", {"c:\\apps"}},
        {"C:\\Apps\\VL", "C:\\Apps\\VL", {}},  // only the directory itself was new
        {"C:\\Apps\\VL", "", {}},              // it was there before
        {"C:\\Apps\\VL", "C:\\App", {}},       // a prefix of a name is not a folder above
        {"C:\\Apps\\VL", "D:\\Apps", {}},
        {"C:\\Apps", "C:\\Apps\\VL", {}},
    };
    for (auto& c : cases) {
        std::vector<std::string> got;
        for (StrView f : CreatedFoldersAboveTemp(c.dir, c.created)) {
            got.emplace_back(f.s, f.len);
        }
        EXPECT_EQ(got, c.folders) << c.dir << " from " << c.created;
    }
}
