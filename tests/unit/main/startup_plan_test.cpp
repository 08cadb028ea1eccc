#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/arena.h"
#include "main/startup_plan.h"

TEST(StartupPlan, OnlyTheWindowsRunDefersWorkAndEveryPreloadedLibraryLoadsOnce) {
    struct Case {
        std::vector<std::string> args;
        bool installerWindow;
        Preload preloadAtStart;
        bool windowsBeforeHelp;
    } cases[] = {
        {{}, true, Preload::ForFirstPaint, false},
        {{"-install-dir", "C:\\x"}, true, Preload::ForFirstPaint, false},
        {{"-s"}, false, Preload::All, false},
        {{"-x"}, false, Preload::None, false},
        {{"-x", "-s"}, false, Preload::None, false},
        {{"-h"}, false, Preload::All, true},
        {{"-h", "-s"}, false, Preload::All, false},
    };
    for (const Case& c : cases) {
        TempArenaScope scope;
        std::vector<StrView> views{"setup.exe"};
        for (const std::string& a : c.args) views.emplace_back(a.c_str(), (int32_t)a.size());
        Flags flags;
        ParseFlagsArgs(views.data(), (int)views.size(), &flags, FlagsEnvironment{});
        StartupPlan plan = PlanStartup(flags);
        std::string what = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(plan.installerWindow, c.installerWindow) << what;
        EXPECT_EQ(plan.preloadAtStart, c.preloadAtStart) << what;
        EXPECT_EQ(plan.windowsBeforeHelp, c.windowsBeforeHelp) << what;
    }

    // A window's run loads each library of the list once: at the start or after the first
    // paint, and GDI+ (the first paint draws with it) at the start.
    int names = 0;
    for (const char* name = kPreloadLibraries; *name; name += strlen(name) + 1, names++) {
        EXPECT_TRUE(PreloadsIn(Preload::All, name)) << name;
        EXPECT_FALSE(PreloadsIn(Preload::None, name)) << name;
        EXPECT_NE(PreloadsIn(Preload::ForFirstPaint, name), PreloadsIn(Preload::AfterFirstPaint, name)) << name;
    }
    EXPECT_EQ(names, 7);
    EXPECT_TRUE(PreloadsIn(Preload::ForFirstPaint, "gdiplus.dll"));
    EXPECT_TRUE(PreloadsIn(Preload::AfterFirstPaint, "urlmon.dll"));
}
