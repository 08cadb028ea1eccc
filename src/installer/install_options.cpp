#include "installer/install_options.h"

#include "base/arena.h"
#include "base/log.h"
#include "installer/previous_install.h"

void CopyInstallerOptions(const Flags& cli, Flags* settled) {
    settled->log = cli.log;
    settled->silent = cli.silent;
    settled->installer = cli.installer;
    // Settled from the command line's value or the earlier installation afterwards.
    settled->installer.installDir = {};
}

void SettleInheritedChoices(const PreviousInstallInfo& prev, bool hasPrev, bool runInstallNow, Flags* settled) {
    InstallerOptions& o = settled->installer;
    if (!runInstallNow && hasPrev) {
        Log("!gCli->runInstallNew so inheriting prev install state\n");
        o.allUsers = o.allUsers || prev.needsElevation;
        o.withFilter = o.withFilter || prev.searchFilterInstalled;
        o.withPreview = o.withPreview || prev.previewInstalled;
        o.noDesktopShortcut = o.noDesktopShortcut || !prev.desktopShortcut;
    } else if (!runInstallNow) {
        o.withFilter = true;
        o.withPreview = true;
    }
    if (o.noFilter) {
        o.withFilter = false;
    }
    if (o.noPreview) {
        o.withPreview = false;
    }
}

bool SettleScopeForToken(TokenKind token, Flags* settled) {
    if (!RulesForToken(token).forcesAllUsers) {
        return false;
    }
    settled->installer.allUsers = true;
    return true;
}

ElevationChoice ChooseElevation(bool requiresSilentElevation, bool isElevated, bool needsElevation,
                                bool isRelaunchedCopy) {
    if (!requiresSilentElevation || isElevated || !needsElevation) {
        return ElevationChoice::Install;
    }
    // The elevated start gave no rights (the prompt is switched off, or the system started
    // the copy limited): restarting again would start copies forever.
    if (isRelaunchedCopy) {
        return ElevationChoice::InstallWithoutRights;
    }
    return ElevationChoice::RestartElevated;
}

StrView QuoteCommandLineArgTemp(StrView arg) {
    Str out(GetTempArena());
    str::Append(out, "\"");
    int32_t backslashes = 0;
    for (int32_t i = 0; i < arg.len; i++) {
        char c = arg[i];
        if (c == '\\') {
            backslashes++;
            continue;
        }
        // Backslashes are literal unless a quote follows them: then each one is doubled and
        // the quote itself escaped.
        int32_t copies = c == '"' ? backslashes * 2 + 1 : backslashes;
        for (int32_t k = 0; k < copies; k++) {
            str::Append(out, "\\");
        }
        backslashes = 0;
        char one[2] = {c, 0};
        str::Append(out, one);
    }
    for (int32_t k = 0; k < backslashes * 2; k++) {
        str::Append(out, "\\");
    }
    str::Append(out, "\"");
    return str::View(out);
}

StrView RelaunchArgumentsTemp(const Flags& settled, bool allUsers) {
    const InstallerOptions& o = settled.installer;
    const struct {
        bool set;
        const char* word;
    } words[] = {
        {allUsers, " -all-users"},
        {o.withFilter, " -with-filter"},
        {o.withPreview, " -with-preview"},
        {o.noOfficePlugin, " -no-office-plugin"},
        {o.noDesktopShortcut, " -no-desktop-shortcut"},
        {o.defaultPdf, " -default-pdf"},
        {o.defaultComics, " -default-comics"},
        {o.defaultMarkdown, " -default-markdown"},
        {settled.silent, " -silent"},
        {o.fastInstall, " -fast-install"},
        {o.startApp, " -start-app"},
        {settled.log, " -log"},
    };
    Str out(GetTempArena());
    str::Append(out, "-run-install-now");
    for (const auto& w : words) {
        if (w.set) {
            str::Append(out, w.word);
        }
    }
    str::Append(out, " -install-dir ");
    str::Append(out, QuoteCommandLineArgTemp(o.installDir));
    return str::View(out);
}
