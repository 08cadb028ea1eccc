#include <gtest/gtest.h>

#include <string>

#include "base/arena.h"
#include "installer/install_options.h"
#include "installer/previous_install.h"

namespace {
struct Choices {
    bool allUsers, filter, preview, noDesktop;
};

Choices Settle(const PreviousInstallInfo& prev, bool hasPrev, bool runInstallNow, const InstallerOptions& given) {
    Flags st;
    st.installer = given;
    SettleInheritedChoices(prev, hasPrev, runInstallNow, &st);
    const InstallerOptions& o = st.installer;
    return {o.allUsers, o.withFilter, o.withPreview, o.noDesktopShortcut};
}
}  // namespace

TEST(InstallOptions, EarlierChoicesFillOnlyWhatTheCommandLineLeftOff) {
    PreviousInstallInfo allUsersNoFilter;
    allUsersNoFilter.typ = 2;
    allUsersNoFilter.needsElevation = true;
    allUsersNoFilter.previewInstalled = true;
    allUsersNoFilter.desktopShortcut = false;
    PreviousInstallInfo perUserEverything;
    perUserEverything.typ = 1;
    perUserEverything.searchFilterInstalled = true;
    perUserEverything.previewInstalled = true;
    perUserEverything.desktopShortcut = true;

    InstallerOptions none, noFilterNoPreview, withFilter;
    noFilterNoPreview.noFilter = noFilterNoPreview.noPreview = true;
    noFilterNoPreview.withFilter = noFilterNoPreview.withPreview = true;  // the "no" options win
    withFilter.withFilter = true;

    struct {
        const char* what;
        const PreviousInstallInfo* prev;
        bool runInstallNow;
        const InstallerOptions* given;
        Choices want;
    } cases[] = {
        {"first installation: filter and preview by default", nullptr, false, &none, {0, 1, 1, 0}},
        {"first installation, -no-filter -no-preview", nullptr, false, &noFilterNoPreview, {0, 0, 0, 0}},
        {"an upgrade keeps all users and stays without the filter", &allUsersNoFilter, false, &none, {1, 0, 1, 1}},
        {"the command line adds to an earlier choice", &allUsersNoFilter, false, &withFilter, {1, 1, 1, 1}},
        {"per-user upgrade inherits everything", &perUserEverything, false, &none, {0, 1, 1, 0}},
        {"-no-filter beats the earlier filter", &perUserEverything, false, &noFilterNoPreview, {0, 0, 0, 0}},
        {"the elevated copy inherits nothing", &allUsersNoFilter, true, &none, {0, 0, 0, 0}},
        {"nor does it get first-install defaults", nullptr, true, &none, {0, 0, 0, 0}},
    };
    PreviousInstallInfo nothing;
    for (const auto& c : cases) {
        const PreviousInstallInfo& prev = c.prev ? *c.prev : nothing;
        Choices got = Settle(prev, c.prev != nullptr, c.runInstallNow, *c.given);
        EXPECT_EQ(got.allUsers, c.want.allUsers) << c.what;
        EXPECT_EQ(got.filter, c.want.filter) << c.what;
        EXPECT_EQ(got.preview, c.want.preview) << c.what;
        EXPECT_EQ(got.noDesktop, c.want.noDesktop) << c.what;
    }
}

TEST(InstallOptions, ElevationIsRequestedOnceAndOnlyWhenNoWindowCanAskLater) {
    using E = ElevationChoice;
    struct {
        bool requiresSilent, elevated, needs, relaunched;
        E want;
    } cases[] = {
        {1, 0, 1, 0, E::RestartElevated},
        {1, 0, 1, 1, E::InstallWithoutRights},  // never a third copy
        {1, 1, 1, 0, E::Install},
        {1, 1, 1, 1, E::Install},
        {1, 0, 0, 0, E::Install},
        {1, 0, 0, 1, E::Install},
        {0, 0, 1, 0, E::Install},  // the window asks when Install is pressed
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChooseElevation(c.requiresSilent, c.elevated, c.needs, c.relaunched), c.want)
            << c.requiresSilent << c.elevated << c.needs << c.relaunched;
    }
}

TEST(InstallOptions, RelaunchCommandLineCarriesEveryChoiceInOrder) {
    TempArenaScope scope;
    Flags st;
    st.installer.installDir = "C:\\Apps\\vlpdf";
    EXPECT_STREQ(RelaunchArgumentsTemp(st, false).CStr(), "-run-install-now -install-dir \"C:\\Apps\\vlpdf\"");

    InstallerOptions& o = st.installer;
    o.withFilter = o.withPreview = o.noOfficePlugin = o.noDesktopShortcut = true;
    o.defaultPdf = o.defaultComics = o.defaultMarkdown = o.fastInstall = o.startApp = true;
    st.silent = st.log = true;
    // Options that an elevated copy must not see again are never carried.
    o.runInstallNow = o.noFilter = o.noPreview = o.extractFiles = true;
    EXPECT_STREQ(RelaunchArgumentsTemp(st, true).CStr(),
                 "-run-install-now -all-users -with-filter -with-preview -no-office-plugin -no-desktop-shortcut "
                 "-default-pdf -default-comics -default-markdown -silent -fast-install -start-app -log "
                 "-install-dir \"C:\\Apps\\vlpdf\"");
}

TEST(InstallOptions, QuotingKeepsBackslashesAndQuotesForTheSystemSplit) {
    TempArenaScope scope;
    struct {
        const char* arg;
        const char* quoted;
    } cases[] = {
        {"C:\\Apps\\vlpdf", "\"C:\\Apps\\vlpdf\""},
        {"C:\\Apps\\", "\"C:\\Apps\\\\\""},  // the trailing backslash must not escape the quote
        {"C:\\Apps\\\\", "\"C:\\Apps\\\\\\\\\""},
        {"C:\\Program Files\\Vélora PDF", "\"C:\\Program Files\\Vélora PDF\""},
        {"\\\\server\\share\\x", "\"\\\\server\\share\\x\""},  // backslashes before no quote stay single
        {"a\"b", "\"a\\\"b\""},
        {"a\\\"b", "\"a\\\\\\\"b\""},
        {"", "\"\""},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(QuoteCommandLineArgTemp(c.arg).CStr(), c.quoted) << c.arg;
    }
}

// Deployment tools start installers as LocalSystem: a per-user installation would land in the
// system's own profile. Whatever runs with more than a user's rights takes its library and
// its uninstall copy from folders made new for it.
TEST(InstallOptions, TheRunsRightsDecideScopeAndPrivateFolders) {
    struct {
        TokenKind kind;
        bool allUsersGiven;
        bool allUsers;
        bool privateFolders;
    } cases[] = {
        {TokenKind::Limited, false, false, false},    {TokenKind::Limited, true, true, false},
        {TokenKind::Elevated, false, false, true},    {TokenKind::Elevated, true, true, true},
        {TokenKind::LocalSystem, false, true, true},  {TokenKind::LocalSystem, true, true, true},
    };
    for (const auto& c : cases) {
        Flags cli, st;
        cli.installer.allUsers = c.allUsersGiven;
        CopyInstallerOptions(cli, &st);
        EXPECT_EQ(SettleScopeForToken(c.kind, &st), c.kind == TokenKind::LocalSystem);
        EXPECT_EQ(st.installer.allUsers, c.allUsers) << (int)c.kind << " " << c.allUsersGiven;
        EXPECT_EQ(RulesForToken(c.kind).needsPrivateTempFolder, c.privateFolders) << (int)c.kind;
    }
}
