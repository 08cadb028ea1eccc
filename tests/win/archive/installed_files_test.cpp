// Removing an installation's files, by the uninstaller's route and by the installer's (an
// earlier installation of the other scope, a failed first installation), in real folders: the
// product's files and the names a killed upgrade leaves beside them go; the user's files, a
// junction and what lies behind it stay.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "archive/installed_files.h"
#include "base/arena.h"
#include "base/file.h"
#include "reg_test.h"
#include "test_dir.h"

using regtest::LoggedDuring;
using regtest::Wide;

namespace {

StrView View(const std::string& s) {
    return str::DupTemp(s.c_str());
}

bool Exists(const std::string& path) {
    return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsLink(const std::string& path) {
    DWORD attrs = GetFileAttributesW(Wide(path).c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT);
}

void Put(const std::string& path) {
    std::string dir = path.substr(0, path.find_last_of('\\'));
    ASSERT_TRUE(dir::CreateAll(View(dir))) << dir;
    FILE* f = _wfopen(Wide(path).c_str(), L"wb");
    ASSERT_NE(f, nullptr) << path;
    fputs("bytes", f);
    fclose(f);
}

// Wine makes no junctions: a Unix symbolic link stands in for one (its folder shows the
// reparse-point attribute), made and taken away by the host's ln and rm. Wine starts those
// like its own programs but does not follow them, so the test waits for what they do.
class FolderLink {
  public:
    FolderLink(const std::string& link, const std::string& target) : link_(link) {
        EXPECT_TRUE(OnHost("ln -s", {target, link}, [&] { return IsLink(link); })) << link;
    }
    ~FolderLink() { EXPECT_TRUE(OnHost("rm -f", {link_}, [&] { return !Exists(link_); })) << link_; }

  private:
    template <typename Done>
    static bool OnHost(const char* command, const std::vector<std::string>& paths, Done done) {
        using UnixName = char*(CDECL*)(const WCHAR*);
        auto unixName = (UnixName)(void*)GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name");
        std::string cmd = std::string("Z:\\usr\\bin\\") + command;
        for (const std::string& p : paths) {
            char* unix = unixName ? unixName(Wide(p).c_str()) : nullptr;
            cmd += std::string(" \"") + (unix ? unix : "?") + "\"";
            HeapFree(GetProcessHeap(), 0, unix);
        }
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            return false;
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        for (int waited = 0; waited < 5000 && !done(); waited += 20) {
            Sleep(20);
        }
        return done();
    }
    std::string link_;
};

const RemovalPolicy kRoutes[] = {UninstallerRemoval(false), InstallerRemoval(false)};

}  // namespace

// Each route in one folder holding the product, the user's files and an empty folder of the
// user's, and a junction to a folder elsewhere holding names of the product; then in a folder
// that is itself a junction, which the installer (that did not start from it) leaves alone
// and the uninstaller (started from it) empties.
TEST(InstalledFiles, RemovalTakesTheInstallationAndLeavesTheUsersAndWhatLinksLeadTo) {
    // The product's files, and what replacing them leaves beside them.
    const char* installed[] = {
        "UserSDK.dll",  // read-only
        "UserSDKHost\\pages\\help.html",
        "UserSDKHost\\pages\\help.html.copy.stale7",
        "plugins\\pdfwatch\\vlpdf-watch.exe",
        "plugins\\pdfwatch\\vlpdf-watch.exe.tmp",
        "PdfPreview.dll.keep",
        "vlpdf.exe.tmp",
        "libtovarinpdf.dll.copy",
    };
    const char* users[] = {"notes.txt", "vlpdf.exe.bak", "My Stuff\\report.pdf"};
    const char* behindLink[] = {"vloffice64.dll", "vloffice64.dll.keep"};
    for (const RemovalPolicy& route : kRoutes) {
        SCOPED_TRACE(route.refuseLinkedDir ? "installer" : "uninstaller");
        TestDir td;
        std::string dir = td.Path("vlpdf");
        std::string elsewhere = td.Path("elsewhere");
        for (const char* f : installed) Put(dir + "\\" + f);
        for (const char* f : users) Put(dir + "\\" + f);
        for (const char* f : behindLink) Put(elsewhere + "\\" + f);
        Put(dir + "\\vlpdf.exe");  // the running reader
        SetFileAttributesW(Wide(dir + "\\UserSDK.dll").c_str(), FILE_ATTRIBUTE_READONLY);
        ASSERT_TRUE(CreateDirectoryW(Wide(dir + "\\plugins\\mine").c_str(), nullptr));
        FolderLink junction(dir + "\\plugins\\officeplugin", elsewhere);

        TempArenaScope scope;
        InstalledFilesSweep sweep(route);
        Deleted gone = Deleted::Now;
        std::string log = LoggedDuring([&] {
            DeleteInstalledFiles(View(dir), View(dir + "\\vlpdf.exe"), &sweep);
            gone = RemoveInstalledFolders(View(dir), &sweep);
        });
        for (const char* f : installed) EXPECT_FALSE(Exists(dir + "\\" + f)) << f;
        EXPECT_EQ(sweep.deleted, (int)(sizeof(installed) / sizeof(installed[0])));
        EXPECT_TRUE(sweep.firstFailed.IsEmpty()) << sweep.firstFailed.CStr();
        EXPECT_TRUE(Exists(dir + "\\vlpdf.exe")) << "the running reader is spared";
        for (const char* f : users) EXPECT_TRUE(Exists(dir + "\\" + f)) << f;
        for (const char* f : behindLink) EXPECT_TRUE(Exists(elsewhere + "\\" + f)) << f;
        EXPECT_TRUE(IsLink(dir + "\\plugins\\officeplugin")) << "the junction itself stays";
        EXPECT_EQ(sweep.kept, 4) << "the user's three files and the junction";
        EXPECT_NE(log.find("  not following a link to 'plugins\\officeplugin'\n"), std::string::npos) << log;
        EXPECT_NE(log.find("  kept '" + dir + "\\My Stuff\\report.pdf': not installed by VeloraPDF\n"),
                  std::string::npos)
            << log;
        EXPECT_FALSE(Exists(dir + "\\UserSDKHost"));
        EXPECT_FALSE(Exists(dir + "\\plugins\\pdfwatch"));
        EXPECT_EQ(Exists(dir + "\\plugins\\mine"), route.folders == FoldersThatGo::Installations);
        EXPECT_TRUE(Exists(dir + "\\plugins"));
        EXPECT_EQ(gone, Deleted::No);

        std::string real = td.Path("real");
        std::string linked = td.Path("linked");
        Put(real + "\\vlpdf.exe");
        Put(real + "\\plugins\\pdfwatch\\vlpdf-watch.exe");
        FolderLink linkedDir(linked, real);
        InstalledFilesSweep throughLink(route);
        log = LoggedDuring([&] {
            DeleteInstalledFiles(View(linked), {}, &throughLink);
            RemoveInstalledFolders(View(linked), &throughLink);
        });
        bool refused = route.refuseLinkedDir;
        EXPECT_EQ(throughLink.refused, refused);
        EXPECT_EQ(Exists(real + "\\vlpdf.exe"), refused);
        EXPECT_EQ(Exists(real + "\\plugins\\pdfwatch"), refused);
        EXPECT_EQ(log.find("  not following a link to '" + linked + "'\n") != std::string::npos, refused) << log;
    }
}
