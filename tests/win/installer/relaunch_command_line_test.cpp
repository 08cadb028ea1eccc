// The elevated copy must install exactly what was chosen: its command line, split by the
// system and parsed by the program, gives back every option and the directory unchanged.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "base/arena.h"
#include "installer/install_options.h"
#include "main/flags_win.h"

namespace {
std::wstring Wide(StrView s) {
    WStrView w = ToWStrTemp(s);
    return std::wstring((const wchar_t*)w.s, (size_t)w.len);
}
}  // namespace

TEST(RelaunchCommandLine, DirectoryAndOptionsSurviveTheSystemSplitAndTheParser) {
    const char* dirs[] = {
        "C:\\Apps\\",
        "C:\\Apps\\\\",
        "C:\\Program Files\\Vélora PDF ä 文件",
        "\\\\server\\share\\vlpdf\\",
        "D:\\with space\\and-dash -s",
        "C:\\x\\-all-users",
    };
    for (const char* dir : dirs) {
        for (bool everything : {false, true}) {
            TempArenaScope scope;
            Flags cli;
            cli.installer.startApp = everything;
            cli.silent = everything;
            cli.log = everything;
            InstallChoices chosen;
            chosen.installDir = dir;
            chosen.on = {Choice::DesktopShortcut, Choice::OfficeAddin};
            chosen.Set(Choice::Previewer, everything);
            chosen.Set(Choice::DefaultMarkdown, everything);
            std::wstring cmd = L"\"C:\\setup dir\\VeloraPDF-3.7-install.exe\" " +
                               Wide(RelaunchArgumentsTemp(cli, chosen, everything));

            int argc = 0;
            WCHAR** argv = CommandLineToArgvW(cmd.c_str(), &argc);
            ASSERT_NE(argv, nullptr);
            EXPECT_EQ(std::wstring(argv[argc - 2]), L"-install-dir") << dir;
            EXPECT_EQ(std::wstring(argv[argc - 1]), Wide(dir)) << dir;
            LocalFree(argv);

            Flags parsed;
            ParseFlags(cmd.c_str(), &parsed);
            const InstallerOptions& o = parsed.installer;
            EXPECT_STREQ(o.installDir.CStr(), dir);
            EXPECT_TRUE(o.runInstallNow) << dir;
            ChoiceSet asked;
            if (everything) asked = {Choice::AllUsers, Choice::Previewer, Choice::DefaultMarkdown};
            EXPECT_EQ(o.asked, asked) << dir;
            EXPECT_TRUE(o.refused.IsEmpty()) << dir;
            EXPECT_EQ(o.startApp, everything) << dir;
            EXPECT_EQ(parsed.silent, everything) << dir;
            EXPECT_EQ(parsed.log, everything) << dir;
            EXPECT_FALSE(o.fastInstall) << dir;
            EXPECT_EQ(parsed.fileNames.len, 0) << dir;
        }
    }
}
