#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/arena.h"
#include "installer/window_rules.h"

// And the check boxes wait for the first paint only while hidden and nothing reads them at once.
TEST(WindowRules, OptionsOpenExpandedForAnyOptionButTheDefaultPdfReader) {
    TempArenaScope scope;
    struct {
        const char* option;
        bool expanded;
        bool checksWait;
    } cases[] = {
        {"-all-users", true, false},        {"-with-filter", true, false},      {"-with-preview", true, false},
        {"-no-desktop-shortcut", true, false}, {"-default-comics", true, false}, {"-default-markdown", true, false},
        {"-no-office-plugin", true, false}, {"-default-pdf", false, true},      {"-no-filter", false, true},
        {"-no-preview", false, true},       {"-start-app", false, true},        {"-fast-install", false, false},
        {"-run-install-now", false, false},
    };
    EXPECT_FALSE(OptionsShownAtStart(InstallerOptions{}));
    EXPECT_TRUE(OptionChecksWaitForFirstPaint(false, InstallerOptions{}));
    for (const auto& c : cases) {
        StrView args[] = {"installer.exe", c.option};
        Flags f;
        ParseFlagsArgs(args, 2, &f, FlagsEnvironment{});
        EXPECT_EQ(OptionsShownAtStart(f.installer), c.expanded) << c.option;
        EXPECT_EQ(OptionChecksWaitForFirstPaint(OptionsShownAtStart(f.installer), f.installer), c.checksWait)
            << c.option;
    }
}

// The boxes show the choices, what the machine has now and what the earlier installation had;
// a policy's lock wins over all of them.
TEST(WindowRules, FirstBoxStatesAddWhatTheMachineHasAndLocksWin) {
    using C = Choice;
    InstallChoices chosen;
    chosen.on = {C::DesktopShortcut, C::OfficeAddin};
    InstallChoices earlier;
    earlier.on = {C::DefaultComics, C::SearchFilter, C::AllUsers};
    struct {
        const char* name;
        ChoiceSet registered;
        const InstallChoices* earlier;
        ChoiceSet locked;
        ChoiceSet expected;
    } cases[] = {
        {"first installation: the PDF reader too", {}, nullptr, {},
         {C::DesktopShortcut, C::OfficeAddin, C::DefaultPdf}},
        {"upgrade: the earlier reader groups, not its other choices", {}, &earlier, {},
         {C::DesktopShortcut, C::OfficeAddin, C::DefaultComics}},
        {"a registered previewer shows, a registered reader group does not", {C::Previewer, C::DefaultMarkdown},
         &earlier, {}, {C::DesktopShortcut, C::OfficeAddin, C::DefaultComics, C::Previewer}},
        {"locked: as the choice says, whatever else would show", {C::Previewer}, nullptr,
         {C::Previewer, C::DefaultPdf, C::OfficeAddin}, {C::DesktopShortcut, C::OfficeAddin}},
    };
    for (const auto& c : cases) {
        ChoiceSet shown = FirstBoxStates(chosen, c.registered, c.earlier, c.locked);
        for (int i = 0; i < kChoiceCount; i++) {
            EXPECT_EQ(shown.Has((Choice)i), c.expected.Has((Choice)i)) << c.name << ": choice " << i;
        }
    }
}

// The line about the organization's settings comes with the options, and only when it has
// something to explain.
TEST(WindowRules, LockedOptionsNoteShowsWithTheOptionsOnlyWhenOneIsLocked) {
    using C = Choice;
    struct {
        const char* name;
        ChoiceSet locked;
        bool optionsShown, started, shown;
    } cases[] = {
        {"nothing locked", {}, true, false, false},
        {"one option locked", {C::DesktopShortcut}, true, false, true},
        {"all users alone", {C::AllUsers}, true, false, true},
        {"every option a policy can lock",
         {C::AllUsers, C::SearchFilter, C::DesktopShortcut, C::Previewer, C::OfficeAddin}, true, false, true},
        {"options collapsed", {C::SearchFilter, C::Previewer}, false, false, false},
        {"installing", {C::SearchFilter}, true, true, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LockedOptionsNoteShown(c.locked, c.optionsShown, c.started), c.shown) << c.name;
    }
}

TEST(WindowRules, ChosenFolderGetsItsOwnProductFolderOnce) {
    TempArenaScope scope;
    const char* cases[][2] = {
        {"C:\\Apps", "C:\\Apps\\vlpdf"},
        {"C:\\", "C:\\vlpdf"},
        {"D:\\Tools\\VLPDF", "D:\\Tools\\VLPDF"},
        {"D:\\Tools\\vlpdf", "D:\\Tools\\vlpdf"},
        {"D:\\Tools\\myvlpdf", "D:\\Tools\\myvlpdf\\vlpdf"},
        {"D:\\vlpdf.old", "D:\\vlpdf.old\\vlpdf"},
        {"\\\\server\\share", "\\\\server\\share\\vlpdf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::string(InstallDirForChosenFolderTemp(c[0]).CStr()), c[1]) << c[0];
    }
}

TEST(WindowRules, TheLoopSleepsUntilTheNextFrameAndCatchesUpWithoutSleeping) {
    // A counter of 60,000 ticks a second: 60 per millisecond, a frame every 1,000 ticks.
    struct {
        int64_t now, lastFrame, ms;
    } cases[] = {
        {0, 0, 16},         // just after a frame: the rest of the period
        {500, 0, 8},        // half way
        {959, 0, 0},        // 41 ticks to go: under a millisecond
        {1000, 0, 0},       // due
        {1001, 0, 0},       // late
        {5000, 1000, 0},    // far behind after a blocked loop: frames back to back
        {10000, 9500, 8},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MsUntilNextFrame(c.now, c.lastFrame, 1000, 60), c.ms) << c.now << " " << c.lastFrame;
    }
}

TEST(WindowRules, TheLoopSleepsUntilAFrameOrAHolderCheckIsDueElseUntilAMessage) {
    struct {
        bool animating;
        int64_t msUntilFrame;
        bool checking;
        int64_t msSinceCheck, sleep;
    } cases[] = {
        {true, 16, true, 0, 16},           // the header moves: frames
        {true, 16, true, 9995, 5},         // a holder check comes before the next frame
        {true, 0, false, 0, 0},            // a frame is due
        {false, 16, true, 0, 10000},       // nothing moves: only the holder check wakes it
        {false, 0, true, 4000, 6000},      // a stale frame clock does not wake an idle loop
        {false, 16, true, 12000, 0},       // a late check runs at once
        {false, 16, false, 0, kSleepUntilMessage},  // installing: messages only
        {true, 7, false, 0, 7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LoopSleepMs(c.animating, c.msUntilFrame, c.checking, c.msSinceCheck, 10000), c.sleep)
            << c.animating << " " << c.msUntilFrame << " " << c.checking << " " << c.msSinceCheck;
    }
}

TEST(WindowRules, BlockingProcessesAreListedAsPeopleReadThem) {
    TempArenaScope scope;
    struct {
        std::vector<const char*> items;
        const char* text;
    } cases[] = {
        {{}, ""},
        {{"vlpdf.exe (12)"}, "VeloraPDF (12)"},
        {{"VLPDF.EXE (12)", "prevhost.exe (7)"}, "VeloraPDF (12) and Windows Explorer (7)"},
        {{"vlpdf.exe (12)", "dllhost.exe (8)", "indexer.exe (9)"},
         "VeloraPDF (12), Windows Explorer (8) and indexer.exe (9)"},
        {{"a.exe (1)", "b.exe (2)", "c.exe (3)", "d.exe (4)"}, "a.exe (1), b.exe (2), c.exe (3) and d.exe (4)"},
        // Only the whole file name counts: a program whose name merely starts like the reader's.
        {{"vlpdf.exe.bak (5)", "myvlpdf.exe (6)"}, "vlpdf.exe.bak (5) and myvlpdf.exe (6)"},
    };
    for (const auto& c : cases) {
        Vec<StrView> items(GetTempArena());
        for (const char* i : c.items) items.Append(StrView(i));
        EXPECT_EQ(std::string(BlockingProcessesTextTemp(items).CStr()), c.text);
    }
}
