#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/arena.h"
#include "base/log.h"
#include "installer/install_options.h"
#include "installer/policies.h"
#include "installer/previous_install.h"
#include "uninstaller/uninstaller.h"
#include "../../helpers/log_capture.h"

namespace {
struct Choices {
    bool allUsers, filter, preview, noDesktop;
};

Choices Of(const InstallChoices& c) {
    return {c.AllUsers(), c.Has(Choice::SearchFilter), c.Has(Choice::Previewer), !c.Has(Choice::DesktopShortcut)};
}

Choices Settle(const PreviousInstallInfo& prev, bool hasPrev, bool runInstallNow, InstallerOptions given) {
    given.runInstallNow = runInstallNow;
    InstallChoices choices = ChoicesAsked(given);
    SettleInheritedChoices(prev, hasPrev, given, &choices);
    return Of(choices);
}
}  // namespace

TEST(InstallOptions, EarlierChoicesFillOnlyWhatTheCommandLineLeftOff) {
    PreviousInstallInfo allUsersNoFilter;
    allUsersNoFilter.keys = PrevInstallKeys::MachineOnly;
    allUsersNoFilter.choices.on = {Choice::AllUsers, Choice::Previewer};
    PreviousInstallInfo perUserEverything;
    perUserEverything.keys = PrevInstallKeys::UserOnly;
    perUserEverything.choices.on = {Choice::SearchFilter, Choice::Previewer, Choice::DesktopShortcut};

    InstallerOptions none, noFilterNoPreview, withFilter;
    noFilterNoPreview.refused = {Choice::SearchFilter, Choice::Previewer};
    noFilterNoPreview.asked = {Choice::SearchFilter, Choice::Previewer};  // the "no" options win
    withFilter.asked = {Choice::SearchFilter};

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
        ElevationChoice choice = ChooseElevation(c.requiresSilent, c.elevated, c.needs, c.relaunched);
        EXPECT_EQ(choice, c.want) << c.requiresSilent << c.elevated << c.needs << c.relaunched;
        // The installer and the uninstaller act on it alike; the copy that goes on without
        // rights says so in the words the scenarios look for.
        for (const char* who : {"RunInstaller", "RunUninstaller"}) {
            const char* doing = who[3] == 'I' ? "installing" : "uninstalling";
            TempArenaScope scope;
            LogCapture log;
            bool restarts = RestartsElevated(choice, who, doing);
            std::string said = log.Text();
            EXPECT_EQ(restarts, c.want == E::RestartElevated) << who;
            EXPECT_EQ(said, c.want == E::InstallWithoutRights
                                ? std::string(who) + ": started elevated already and still not elevated; " + doing +
                                      " without restarting again\n"
                                : "")
                << who;
        }
    }
}

TEST(InstallOptions, RelaunchCommandLineCarriesEveryChoiceInOrder) {
    TempArenaScope scope;
    Flags cli;
    InstallChoices chosen;
    chosen.installDir = "C:\\Apps\\vlpdf";
    chosen.on = {Choice::DesktopShortcut, Choice::OfficeAddin};
    EXPECT_STREQ(RelaunchArgumentsTemp(cli, chosen, false).CStr(),
                 "-run-install-now -install-dir \"C:\\Apps\\vlpdf\"");

    chosen.on = ChoiceSet::All().Without({Choice::AllUsers, Choice::DesktopShortcut, Choice::OfficeAddin});
    InstallerOptions& o = cli.installer;
    o.fastInstall = o.startApp = true;
    cli.silent = cli.log = true;
    // What the command line said is settled into the choices; options that an elevated copy
    // must not see again are never carried.
    o.asked = {Choice::DesktopShortcut};
    o.refused = {Choice::SearchFilter, Choice::DefaultPdf};
    o.runInstallNow = o.extractFiles = true;
    EXPECT_STREQ(RelaunchArgumentsTemp(cli, chosen, true).CStr(),
                 "-run-install-now -all-users -with-filter -with-preview -no-office-plugin -no-desktop-shortcut "
                 "-default-pdf -default-comics -default-markdown -silent -fast-install -start-app -log "
                 "-install-dir \"C:\\Apps\\vlpdf\"");

    // The uninstaller's copy takes its words from the same table: a name the table does not
    // know would go missing, and a copy without the marker would restart forever.
    UninstallRequest uninstall;
    EXPECT_STREQ(ElevatedUninstallArgumentsTemp(uninstall).CStr(), "-uninstall -all-users -run-install-now");
    uninstall.silent = uninstall.forTesting = true;
    EXPECT_STREQ(ElevatedUninstallArgumentsTemp(uninstall).CStr(),
                 "-uninstall -all-users -run-install-now -silent -for-testing");
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
        InstallerOptions cli;
        cli.asked.Set(Choice::AllUsers, c.allUsersGiven);
        InstallChoices chosen = ChoicesAsked(cli);
        EXPECT_EQ(SettleScopeForToken(c.kind, &chosen), c.kind == TokenKind::LocalSystem);
        EXPECT_EQ(chosen.AllUsers(), c.allUsers) << (int)c.kind << " " << c.allUsersGiven;
        EXPECT_EQ(RulesForToken(c.kind).needsPrivateTempFolder, c.privateFolders) << (int)c.kind;
    }
}

// An administrator's policy decides its option whatever the command line, the earlier
// installation or the window chose; the machine's value wins over the user's, and the user's
// counts only for the options a person chooses.
TEST(InstallOptions, PoliciesLockTheirOptionsAndTheMachineWins) {
    TempArenaScope scope;
    using P = Policy;
    struct Set {
        P policy;
        uint32_t value;
    };
    struct {
        const char* what;
        std::vector<Set> machine, user;
        bool stats;
        Choices want;    // from a command line with -all-users off, filter and preview on, shortcut on
        bool officeAddin;
        std::vector<Choice> locked;
        const char* log;
    } cases[] = {
        {"nothing set", {}, {}, true, {0, 1, 1, 0}, true, {}, "Policies: none set\n"},
        {"statistics off by the machine",
         {{P::InstallStatistics, 0}}, {}, false, {0, 1, 1, 0}, true, {},
         "Policies: InstallStatistics = 0 (machine)\n"},
        {"statistics are a machine policy only", {}, {{P::InstallStatistics, 0}}, true, {0, 1, 1, 0}, true, {},
         "Policies: none set\n"},
        {"every option forced off",
         {{P::DesktopShortcut, 0}, {P::SearchFilter, 0}, {P::PreviewHandler, 0}, {P::OfficePlugin, 0}}, {}, true,
         {0, 0, 0, 1}, false,
         {Choice::SearchFilter, Choice::DesktopShortcut, Choice::Previewer, Choice::OfficeAddin},
         "Policies: DesktopShortcut = 0 (machine)\nPolicies: SearchFilter = 0 (machine)\n"
         "Policies: PreviewHandler = 0 (machine)\nPolicies: OfficePlugin = 0 (machine)\n"},
        {"the user's policy counts for a person's option", {}, {{P::DesktopShortcut, 0}}, true, {0, 1, 1, 1}, true,
         {Choice::DesktopShortcut}, "Policies: DesktopShortcut = 0 (user)\n"},
        {"the machine wins where both are set", {{P::SearchFilter, 1}}, {{P::SearchFilter, 0}, {P::PreviewHandler, 0}},
         true, {0, 1, 0, 0}, true, {Choice::SearchFilter, Choice::Previewer},
         "Policies: SearchFilter = 1 (machine)\nPolicies: PreviewHandler = 0 (user)\n"},
        {"all users forced on, never by the user", {{P::AllUsers, 1}}, {{P::AllUsers, 0}}, true, {1, 1, 1, 0}, true,
         {Choice::AllUsers}, "Policies: AllUsers = 1 (machine)\n"},
        {"all users disabled leaves the choice free", {{P::AllUsers, 0}}, {}, true, {0, 1, 1, 0}, true, {},
         "Policies: AllUsers = 0 (machine)\n"},
        {"a value that is not 0 or 1 is nobody's policy", {{P::DesktopShortcut, 2}, {P::InstallStatistics, 7}},
         {{P::DesktopShortcut, 0}}, true, {0, 1, 1, 1}, true, {Choice::DesktopShortcut},
         "Policies: InstallStatistics = 7 (machine) ignored: not 0 or 1\n"
         "Policies: DesktopShortcut = 2 (machine) ignored: not 0 or 1\nPolicies: DesktopShortcut = 0 (user)\n"},
    };
    for (const auto& c : cases) {
        PolicyReading machine[kPolicyCount], user[kPolicyCount];
        for (const Set& s : c.machine) machine[(int)s.policy] = {true, s.value};
        for (const Set& s : c.user) user[(int)s.policy] = {true, s.value};
        LogCapture log;
        Policies policies = SettlePolicies(machine, user);
        LogPolicies(policies);
        EXPECT_EQ(log.Text(), c.log) << c.what;

        EXPECT_EQ(StatisticsAllowed(policies), c.stats) << c.what;
        ChoiceSet want;
        for (Choice ch : c.locked) want.Add(ch);
        EXPECT_EQ(LockedChoices(policies).bits, want.bits) << c.what;

        InstallChoices chosen;
        chosen.on = {Choice::SearchFilter, Choice::Previewer, Choice::DesktopShortcut, Choice::OfficeAddin};
        ApplyPolicies(policies, &chosen);
        Choices got = Of(chosen);
        EXPECT_EQ(got.allUsers, c.want.allUsers) << c.what;
        EXPECT_EQ(got.filter, c.want.filter) << c.what;
        EXPECT_EQ(got.preview, c.want.preview) << c.what;
        EXPECT_EQ(got.noDesktop, c.want.noDesktop) << c.what;
        EXPECT_EQ(chosen.Has(Choice::OfficeAddin), c.officeAddin) << c.what;
        // The elevated copy starts from the carried words alone: a forced choice must reach it.
        std::string words = RelaunchArgumentsTemp(Flags{}, chosen, chosen.AllUsers()).CStr();
        EXPECT_EQ(words.find("-with-filter") != std::string::npos, c.want.filter) << c.what << ": " << words;
        EXPECT_EQ(words.find("-no-desktop-shortcut") != std::string::npos, c.want.noDesktop) << c.what;
    }
}

// Every policy's option is one the window shows; the templates are generated from the table.
TEST(InstallOptions, PolicyTableNamesEachValueOnceInItsOwnRow) {
    std::set<std::string> names;
    for (int i = 0; i < kPolicyCount; i++) {
        const PolicyDef& def = kPolicies[i];
        EXPECT_EQ((int)def.policy, i) << def.valueName;
        EXPECT_TRUE(names.insert(def.valueName).second) << def.valueName;
        EXPECT_EQ(&PolicyDefOf(def.policy), &def);
    }
}
