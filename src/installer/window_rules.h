#pragma once
// The installer window's decisions that need no window: whether the options open expanded,
// whether the line about locked options shows, what a folder chosen in the folder browser
// becomes, and how the programs that still use the installation are named to the user.
#include "base/flags.h"
#include "base/install_choices.h"
#include "base/str.h"
#include "base/vec.h"

// Any option the user asked for on the command line, except the default PDF reader, which
// is a default choice people pass without wanting to see the others. Of the refusals,
// "-no-desktop-shortcut" and "-no-office-plugin" open them; "-no-filter" and "-no-preview"
// never did.
bool OptionsShownAtStart(const InstallerOptions& cli);

// The eight option check boxes may wait until after the window's first paint (they are a
// good part of the time before it) when they start hidden and the installation does not
// start by itself, which reads them at once.
bool OptionChecksWaitForFirstPaint(bool optionsShown, const InstallerOptions& cli);

// What the option check boxes show first. The run's choices, and besides them: the shell
// extensions that are registered now (from any installation), the default-reader groups the
// earlier installation had (`earlier`, when there is one) and, for a first installation, the
// PDF reader. What a policy locks shows exactly what the policy decided.
ChoiceSet FirstBoxStates(const InstallChoices& chosen, ChoiceSet registeredNow, const InstallChoices* earlier,
                         ChoiceSet locked);

// The line above the options that says why some cannot be changed ("Some options are set by
// your organization"): there only when a policy locks one of them, and only while the options
// themselves show, on the first page. Nothing locked, no line: it would only worry people.
bool LockedOptionsNoteShown(ChoiceSet locked, bool optionsShown, bool started);

// The product goes into its own folder inside the chosen one, unless the chosen folder is
// already that folder ("...\vlpdf" in any letter case).
StrView InstallDirForChosenFolderTemp(StrView folder);

// The message loop's clock, in counter ticks: the milliseconds to sleep before the next frame
// is due, or 0 when a frame is due now (more than a period behind, or less than a
// millisecond to go).
int64_t MsUntilNextFrame(int64_t now, int64_t lastFrame, int64_t period, int64_t ticksPerMs);

// The loop sleeps this long when no message waits: until the next frame while something
// moves; else until the next check for programs holding the files while those checks run;
// else until a message comes (kSleepUntilMessage). An idle window costs nothing.
constexpr int64_t kSleepUntilMessage = -1;
int64_t LoopSleepMs(bool animating, int64_t msUntilFrame, bool checkingHolders, int64_t msSinceCheck,
                    int64_t checkPeriodMs);

// The processes as the "Close %s to continue." message names them: "a", "a and b",
// "a, b and c". Items have the form "name.exe (pid)"; known programs get their display
// name in place of the file name ("VeloraPDF (1234)").
StrView BlockingProcessesTextTemp(const Vec<StrView>& items);
