#include "installer/window_rules.h"

#include "base/arena.h"
#include "base/file.h"
#include "base/product.h"

bool OptionsShownAtStart(const InstallerOptions& cli) {
    return !cli.asked.Without({Choice::DefaultPdf}).IsEmpty() || cli.refused.Has(Choice::DesktopShortcut) ||
           cli.refused.Has(Choice::OfficeAddin);
}

bool OptionChecksWaitForFirstPaint(bool optionsShown, const InstallerOptions& cli) {
    return !optionsShown && !cli.fastInstall && !cli.runInstallNow;
}

ChoiceSet FirstBoxStates(const InstallChoices& chosen, ChoiceSet registeredNow, const InstallChoices* earlier,
                         ChoiceSet locked) {
    constexpr ChoiceSet kShellExtensions = {Choice::SearchFilter, Choice::Previewer};
    constexpr ChoiceSet kDefaultReaders = {Choice::DefaultPdf, Choice::DefaultComics, Choice::DefaultMarkdown};
    ChoiceSet shown = chosen.on.With(registeredNow.Only(kShellExtensions));
    shown = shown.With(earlier ? earlier->on.Only(kDefaultReaders) : ChoiceSet{Choice::DefaultPdf});
    return shown.Without(locked).With(chosen.on.Only(locked));
}

bool LockedOptionsNoteShown(ChoiceSet locked, bool optionsShown, bool started) {
    return !locked.IsEmpty() && optionsShown && !started;
}

StrView InstallDirForChosenFolderTemp(StrView folder) {
    if (str::EqI(folder, "vlpdf") || str::EndsWithI(folder, "\\vlpdf")) {
        return str::DupTemp(folder);
    }
    return path::JoinTemp(folder, "vlpdf");
}

int64_t MsUntilNextFrame(int64_t now, int64_t lastFrame, int64_t period, int64_t ticksPerMs) {
    // A loop more than a period behind has a negative wait: it runs frames back to back.
    int64_t ms = (lastFrame + period - now) / ticksPerMs;
    return ms > 0 ? ms : 0;
}

int64_t LoopSleepMs(bool animating, int64_t msUntilFrame, bool checkingHolders, int64_t msSinceCheck,
                    int64_t checkPeriodMs) {
    int64_t sleep = kSleepUntilMessage;
    if (checkingHolders) {
        sleep = msSinceCheck < checkPeriodMs ? checkPeriodMs - msSinceCheck : 0;
    }
    if (animating && (sleep == kSleepUntilMessage || msUntilFrame < sleep)) {
        sleep = msUntilFrame;
    }
    return sleep;
}

namespace {
struct DisplayName {
    const char* exeName;
    const char* shownAs;
};

// The preview host and the COM surrogate carry the previewer for Explorer.
constexpr DisplayName kDisplayNames[] = {
    {kReaderExeName, "VeloraPDF"},
    {"prevhost.exe", "Windows Explorer"},
    {"dllhost.exe", "Windows Explorer"},
};

// "name.exe (pid)" with a known name replaced; anything else unchanged.
StrView ShownItemTemp(StrView item) {
    for (const DisplayName& d : kDisplayNames) {
        StrView prefix = str::FormatTemp("%s (", d.exeName);
        if (str::StartsWithI(item, prefix)) {
            StrView rest(item.s + prefix.len, item.len - prefix.len);
            return str::FormatTemp("%s (%.*s", d.shownAs, (int)rest.len, rest.s);
        }
    }
    return item;
}
}  // namespace

StrView BlockingProcessesTextTemp(const Vec<StrView>& items) {
    Str out(GetTempArena());
    for (int32_t i = 0; i < items.len; i++) {
        if (i > 0) {
            str::Append(out, i == items.len - 1 ? " and " : ", ");
        }
        str::Append(out, ShownItemTemp(items.els[i]));
    }
    return str::View(out);
}
