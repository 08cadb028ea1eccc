#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/arena.h"
#include "base/log.h"
#include "base/flags.h"
#include "main/help.h"
#include "../../helpers/log_capture.h"

namespace {
std::vector<std::string> gResolved;
std::string gPrinter;

StrView FakeResolve(StrView lnk) {
    gResolved.push_back(lnk.CStr());
    if (str::EqI(lnk, "broken.lnk")) {
        return {};
    }
    return str::FormatTemp("C:\\target-of-%s", lnk.CStr());
}

StrView FakePrinter() {
    return str::DupTemp(gPrinter.c_str());
}

struct Parsed {
    Flags flags;
    std::string log;  // what the parse added to the process log
};

void Parse(const std::vector<std::string>& args, Parsed* out) {
    std::vector<StrView> views{"setup.exe"};
    for (const std::string& a : args) views.emplace_back(a.c_str(), (int32_t)a.size());
    LogCapture log;
    FlagsEnvironment env;
    env.resolveShortcut = FakeResolve;
    env.defaultPrinterName = FakePrinter;
    ParseFlagsArgs(views.data(), (int)views.size(), &out->flags, env);
    out->log = log.Text();
}

std::vector<std::string> Files(const Flags& f) {
    std::vector<std::string> v;
    for (StrView s : f.fileNames) v.emplace_back(s.CStr());
    return v;
}

std::string Dir(const Flags& f) {
    return f.installer.installDir.CStr();
}
}  // namespace

TEST(ParseFlags, InstallerOptionEdgeCases) {
    struct Case {
        std::vector<std::string> args;
        bool silent;
        bool allUsers;
        std::string installDir;
        std::vector<std::string> files;
    } cases[] = {
        {{"/S"}, true, false, "", {}},
        {{"-all-users"}, false, true, "", {}},
        {{"-allusers"}, false, true, "", {}},
        {{"-all users"}, false, true, "", {}},                    // whitespace inside is ignored
        {{"-ALL\tUSERS"}, false, true, "", {}},
        {{"-fast install"}, false, false, "", {"-fast install"}},  // the hyphen is missing
        {{"-d"}, false, false, "", {"-d"}},                        // no value: a file argument
        {{"-d", "-s"}, false, false, "-s", {}},                    // a value whatever it looks like
        {{"-install-dir", "D:\\Apps"}, false, false, "D:\\Apps", {}},
        {{"-x"}, true, false, ".", {}},
        {{"-x", "-d", "C:\\out"}, true, false, "C:\\out", {}},
        {{"-d", "C:\\out", "-x"}, true, false, "C:\\out", {}},
        {{"-engine-dump"}, false, false, "", {"-engine-dump"}},
        {{"", "-s", ""}, true, false, "", {}},                     // empty arguments are dropped
        {{"doc.pdf", "-nosuch", "/s"}, true, false, "", {"doc.pdf", "-nosuch"}},
        {{"a.LNK", "broken.lnk"}, false, false, "", {"C:\\target-of-a.LNK"}},
        {{"-"}, false, false, "", {"-"}},
    };
    for (const Case& c : cases) {
        Parsed p;
        Parse(c.args, &p);
        std::string what = c.args.empty() ? "" : c.args[0];
        EXPECT_EQ(p.flags.silent, c.silent) << what;
        EXPECT_EQ(p.flags.installer.asked.Has(Choice::AllUsers), c.allUsers) << what;
        EXPECT_EQ(Dir(p.flags), c.installDir) << what;
        EXPECT_EQ(Files(p.flags), c.files) << what;
    }
}

TEST(ParseFlags, LaterOfficeOptionWins) {
    Parsed a, b;
    Parse({"-no-office-plugin", "-with-office-plugin"}, &a);
    Parse({"-with-office-plugin", "-no-office-plugin"}, &b);
    EXPECT_FALSE(a.flags.installer.refused.Has(Choice::OfficeAddin));
    EXPECT_TRUE(b.flags.installer.refused.Has(Choice::OfficeAddin));
    EXPECT_FALSE(a.flags.installer.asked.Has(Choice::OfficeAddin));
}

TEST(ParseFlags, PlaceholderArgumentsAreLoggedAndSkipped) {
    Parsed p;
    Parse({"%2", "%3", "%4", "%5"}, &p);
    EXPECT_EQ(p.log, "ParseFlags: skipping '%2'\nParseFlags: skipping '%3'\nParseFlags: skipping '%4'\n");
    EXPECT_EQ(Files(p.flags), std::vector<std::string>{"%5"});
}

TEST(ParseFlags, MatchIsLoggedWithWholeArgumentAndPosition) {
    Parsed p;
    Parse({"/Log-To-File", "C:\\l.txt", "-d"}, &p);
    EXPECT_EQ(p.log, "ParseFlags: argName: '/Log-To-File', arg: 31\nParseFlags: argName: '-d', arg: 59\n");
    EXPECT_TRUE(p.flags.log);
    EXPECT_STREQ(p.flags.logToFilePath.CStr(), "C:\\l.txt");
}

TEST(ParseFlags, InstallerBooleans) {
    Parsed p;
    Parse({"-fast-install", "-h", "-install", "-uninstall", "-with-search", "-with-preview", "-run-install-now",
           "-for-testing", "-no-desktop-shortcut", "-default-pdf", "-default-comics", "-default-markdown",
           "-no-filter", "-no-preview", "-start-app"},
          &p);
    const Flags& f = p.flags;
    const InstallerOptions& in = f.installer;
    EXPECT_TRUE(in.fastInstall && f.showHelp && f.install && f.uninstall && in.runInstallNow && f.forTesting &&
                in.startApp);
    EXPECT_EQ(in.asked, (ChoiceSet{Choice::SearchFilter, Choice::Previewer, Choice::DefaultPdf,
                                   Choice::DefaultComics, Choice::DefaultMarkdown}));
    EXPECT_EQ(in.refused, (ChoiceSet{Choice::DesktopShortcut, Choice::SearchFilter, Choice::Previewer}));
    EXPECT_FALSE(f.silent || in.extractFiles || f.log);
}

TEST(ParseFlags, TwoValueOptionNeedsBothValues) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> files;
    } cases[] = {
        {{"-forward-search", "a.tex", "12"}, {}},
        {{"-forward-search", "a.tex", "-12"}, {"-forward-search", "a.tex", "-12"}},  // -12: an unknown option
        {{"-fwdsearch", "a.tex"}, {"-fwdsearch", "a.tex"}},
        {{"-set-color-range", "#000", "/x"}, {"-set-color-range", "#000"}},
    };
    for (const Case& c : cases) {
        Parsed p;
        Parse(c.args, &p);
        // "/x" is still parsed as the extract option once the two-value option gave up.
        std::vector<std::string> files = Files(p.flags);
        EXPECT_EQ(files, c.files) << c.args[0] << " " << c.args.back();
    }
}

TEST(ParseFlags, ReaderOptionsAreRecorded) {
    gPrinter = "";
    Parsed p;
    Parse({"-page", "12x", "-print-to-default", "-bgcolor", "#fff", "-esc-to-exit", "-dump-exif", "pic.jpg",
           "-sleep-ms", "abc", "-n", "-42"},
          &p);
    const ReaderOptions& r = p.flags.reader;
    ASSERT_EQ(r.args.len, 7);
    EXPECT_EQ(r.args[0].intValue, 12);
    EXPECT_EQ(r.args[5].intValue, 0);
    EXPECT_EQ(r.args[6].intValue, -42);
    EXPECT_TRUE(r.printDialog);  // no default printer
    EXPECT_TRUE(r.exitWhenDone);
    std::vector<std::string> settings;
    for (StrView s : r.settingsArgs) settings.emplace_back(s.CStr());
    EXPECT_EQ(settings, (std::vector<std::string>{"bgcolor", "#fff", "esc-to-exit"}));
    EXPECT_EQ(Files(p.flags), std::vector<std::string>{"pic.jpg"});

    gPrinter = "Office Laser";
    Parsed q;
    Parse({"-print-to-default"}, &q);
    EXPECT_STREQ(q.flags.reader.defaultPrinter.CStr(), "Office Laser");
    EXPECT_FALSE(q.flags.reader.printDialog);
}

TEST(ParseFlags, TestPluginEndsParsingAtOnce) {
    Parsed p;
    Parse({"-test-plugin", "-s", "-x"}, &p);
    EXPECT_TRUE(p.flags.reader.testPlugin);
    EXPECT_FALSE(p.flags.silent);
    EXPECT_FALSE(p.flags.installer.extractFiles);
}

TEST(ParseFlagInt, OptionalMinusThenDigits) {
    struct Case {
        const char* s;
        int64_t v;
    } cases[] = {{"42", 42}, {"-7", -7}, {"12abc", 12}, {"", 0}, {"abc", 0}, {"-", 0}, {"+5", 0}, {"007", 7}};
    for (const Case& c : cases) {
        EXPECT_EQ(ParseFlagInt(c.s), c.v) << c.s;
    }
}

// Every option name at its position, with the number of following arguments it takes
// when three plain values follow it. 'F': the option itself becomes a file argument;
// 'E': it ends parsing.
TEST(ParseFlags, EveryOptionNameWithItsPositionAndValueCount) {
    struct Case {
        const char* name;
        char values;
    } cases[] = {
        {"s", 0}, {"silent", 0}, {"fast-install", 0}, {"print-to-default", 0}, {"print-dialog", 0}, {"p", 0},
        {"h", 0}, {"?", 0}, {"help", 0}, {"exit-when-done", 0}, {"exit-on-print", 0}, {"restrict", 0},
        {"presentation", 0}, {"fullscreen", 0}, {"invertcolors", 0}, {"invert-colors", 0}, {"console", 0},
        {"install", 0}, {"uninstall", 0}, {"with-filter", 0}, {"with-search", 0}, {"with-preview", 0},
        {"rand", 0}, {"regress", 0}, {"x", 0}, {"tester", 0}, {"testapp", 0}, {"test-plugin", 'E'},
        {"test-preview", 'E'}, {"new-window", 0}, {"log", 0}, {"log-to-file", 1}, {"crash-on-open", 0},
        {"reuse-instance", 0}, {"esc-to-exit", 0}, {"enum-printers", 0}, {"list-printers", 0},
        {"sleep-ms", 1}, {"print-to", 1}, {"t", 3}, {"print-settings", 1}, {"inverse-search", 1},
        {"forward-search", 2}, {"fwdsearch", 2}, {"nameddest", 1}, {"named-dest", 1}, {"page", 1},
        {"view", 1}, {"zoom", 1}, {"scroll", 1}, {"appdata", 1}, {"plugin", 3}, {"stress-test", 3},
        {"n", 1}, {"max", 1}, {"max-files", 1}, {"render", 1}, {"extract-text", 1}, {"bench", 3},
        {"d", 1}, {"install-dir", 1}, {"lang", 1}, {"update-self-to", 1}, {"delete-file", 1},
        {"bgcolor", 1}, {"bg-color", 1}, {"fwdsearch-offset", 1}, {"fwdsearch-width", 1},
        {"fwdsearch-color", 1}, {"fwdsearch-permanent", 1}, {"manga-mode", 1}, {"search", 1},
        {"all-users", 0}, {"allusers", 0}, {"run-install-now", 0}, {"a", 1}, {"dde", 1}, {"pwd", 1},
        {"engine-dump", 'F'}, {"set-color-range", 2}, {"upgrade-from", 1}, {"for-testing", 0},
        {"quicklook", 0}, {"quicklook-agent", 0}, {"window-pos", 1}, {"dump-exif", 1}, {"dump-chm", 1},
        {"dbg-control", 1}, {"unit-tests", 0}, {"for-ai", 0}, {"new-window-tabs", 0}, {"html-backend", 1},
        {"start-perf-log", 0}, {"log-perf-file", 1}, {"no-desktop-shortcut", 0}, {"default-pdf", 0},
        {"default-comics", 0}, {"default-markdown", 0}, {"no-filter", 0}, {"no-preview", 0},
        {"no-office-plugin", 0}, {"with-office-plugin", 0}, {"start-app", 0},
    };
    ASSERT_EQ(sizeof(cases) / sizeof(cases[0]), (size_t)kOptionCount);
    for (int pos = 0; pos < kOptionCount; pos++) {
        const Case& c = cases[pos];
        std::string arg = std::string("-") + c.name;
        EXPECT_EQ(FindOption(c.name), pos) << c.name;
        EXPECT_STREQ(OptionName(pos).CStr(), c.name);

        Parsed p;
        Parse({arg, "v1", "v2", "v3", "-start-app"}, &p);
        std::string expectedLog = "ParseFlags: argName: '" + arg + "', arg: " + std::to_string(pos) + "\n";
        EXPECT_EQ(p.log.substr(0, expectedLog.size()), expectedLog);

        std::vector<std::string> files = Files(p.flags);
        std::vector<std::string> expected;
        if (c.values == 'E') {
            EXPECT_FALSE(p.flags.installer.startApp) << c.name;
            continue;
        }
        if (c.values == 'F') {
            expected = {arg, "v1", "v2", "v3"};
        } else {
            if (str::Eq(c.name, "dump-exif") || str::Eq(c.name, "dump-chm")) expected.push_back("v1");
            const char* plain[] = {"v1", "v2", "v3"};
            for (int k = c.values; k < 3; k++) expected.push_back(plain[k]);
        }
        EXPECT_EQ(files, expected) << c.name;
        EXPECT_TRUE(p.flags.installer.startApp) << c.name;
    }
}

// What an elevated copy is started with parses back to the same choices: nothing, each
// carried choice alone, and all of them.
TEST(OptionTable, CarriedWordsParseBackToTheSameChoices) {
    bool Flags::*const top[] = {&Flags::silent, &Flags::log};
    bool InstallerOptions::*const installer[] = {&InstallerOptions::fastInstall, &InstallerOptions::startApp};
    const Choice asked[] = {Choice::AllUsers,   Choice::SearchFilter,  Choice::Previewer,
                            Choice::DefaultPdf, Choice::DefaultComics, Choice::DefaultMarkdown};
    const Choice refused[] = {Choice::OfficeAddin, Choice::DesktopShortcut};
    const int kKnobs = 2 + 2 + 6 + 2;
    for (int which = -1; which <= kKnobs; which++) {
        TempArenaScope scope;
        Flags given;
        InstallerOptions& o = given.installer;
        o.runInstallNow = true;
        o.installDir = "C:\\Apps\\vlpdf";
        for (int k = 0; k < kKnobs; k++) {
            bool on = which == k || which == kKnobs;
            if (k < 2) {
                given.*top[k] = on;
            } else if (k < 4) {
                o.*installer[k - 2] = on;
            } else if (k < 10) {
                o.asked.Set(asked[k - 4], on);
            } else {
                o.refused.Set(refused[k - 10], on);
            }
        }
        std::string line = CarriedArgumentsTemp(given).CStr();
        std::vector<std::string> words;
        for (size_t start = 0, end; start < line.size(); start = end + 1) {
            end = std::min(line.find(' ', start), line.size());
            words.push_back(line.substr(start, end - start));
        }
        ASSERT_GE(words.size(), 2u) << line;
        words.back() = words.back().substr(1, words.back().size() - 2);  // the quoted directory

        Parsed p;
        Parse(words, &p);
        const Flags& back = p.flags;
        EXPECT_EQ(back.silent, given.silent) << line;
        EXPECT_EQ(back.log, given.log) << line;
        EXPECT_EQ(back.installer.fastInstall, o.fastInstall) << line;
        EXPECT_EQ(back.installer.startApp, o.startApp) << line;
        EXPECT_EQ(back.installer.asked, o.asked) << line;
        EXPECT_EQ(back.installer.refused, o.refused) << line;
        EXPECT_STREQ(back.installer.installDir.CStr(), "C:\\Apps\\vlpdf") << line;
        EXPECT_TRUE(back.installer.runInstallNow) << line;
        EXPECT_EQ(back.reader.args.len + back.fileNames.len, 0) << line;
    }
}

// The -h summary lists each option the table documents, under the option's own name, and the
// synopsis names the value of each option there that takes one.
TEST(OptionTable, HelpListsTheDocumentedOptions) {
    TempArenaScope scope;
    std::string help = FormatHelpTemp().CStr();
    std::string synopsis = help.substr(help.find('\n') + 1);
    synopsis = synopsis.substr(0, synopsis.find('\n'));
    int documented = 0;
    for (int opt = 0; opt < kOptionCount; opt++) {
        OptionHelp h = HelpOfOption(opt);
        if (h.place == 0) {
            continue;
        }
        documented++;
        std::string name = OptionName(opt).CStr();
        EXPECT_NE(help.find("\n-" + name + "\n    " + h.text + "\n"), std::string::npos) << name;
        if (h.synopsis) {
            Parsed alone;
            Parse({"-" + name}, &alone);
            bool takesValue = alone.flags.fileNames.len > 0;
            EXPECT_EQ(*h.synopsis != 0, takesValue) << name;
            std::string entry = "[-" + name + (takesValue ? std::string(" ") + h.synopsis : "") + "]";
            EXPECT_NE(synopsis.find(entry), std::string::npos) << name;
        }
    }
    int entries = 0;
    for (size_t at = help.find("\n-"); at != std::string::npos; at = help.find("\n-", at + 1)) entries++;
    EXPECT_EQ(entries, documented);
    EXPECT_GT(documented, 0);
}
