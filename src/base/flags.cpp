#include "base/flags.h"

#include "base/arena.h"
#include "base/log.h"

namespace {

// Positions matter: they are logged with every match.
const char kOptionNames[] =
    "s\0silent\0fast-install\0print-to-default\0print-dialog\0p\0h\0?\0help\0exit-when-done\0"
    "exit-on-print\0restrict\0presentation\0fullscreen\0invertcolors\0invert-colors\0console\0"
    "install\0uninstall\0with-filter\0with-search\0with-preview\0rand\0regress\0x\0tester\0"
    "testapp\0test-plugin\0test-preview\0new-window\0log\0log-to-file\0crash-on-open\0"
    "reuse-instance\0esc-to-exit\0enum-printers\0list-printers\0sleep-ms\0print-to\0t\0"
    "print-settings\0inverse-search\0forward-search\0fwdsearch\0nameddest\0named-dest\0page\0"
    "view\0zoom\0scroll\0appdata\0plugin\0stress-test\0n\0max\0max-files\0render\0extract-text\0"
    "bench\0d\0install-dir\0lang\0update-self-to\0delete-file\0bgcolor\0bg-color\0"
    "fwdsearch-offset\0fwdsearch-width\0fwdsearch-color\0fwdsearch-permanent\0manga-mode\0"
    "search\0all-users\0allusers\0run-install-now\0a\0dde\0pwd\0engine-dump\0set-color-range\0"
    "upgrade-from\0for-testing\0quicklook\0quicklook-agent\0window-pos\0dump-exif\0dump-chm\0"
    "dbg-control\0unit-tests\0for-ai\0new-window-tabs\0html-backend\0start-perf-log\0"
    "log-perf-file\0no-desktop-shortcut\0default-pdf\0default-comics\0default-markdown\0"
    "no-filter\0no-preview\0no-office-plugin\0with-office-plugin\0start-app\0";

enum Opt {
    kS, kSilent, kFastInstall, kPrintToDefault, kPrintDialog, kP, kH, kQuestion, kHelp, kExitWhenDone,
    kExitOnPrint, kRestrict, kPresentation, kFullscreen, kInvertcolors, kInvertColors, kConsole,
    kInstall, kUninstall, kWithFilter, kWithSearch, kWithPreview, kRand, kRegress, kX, kTester,
    kTestapp, kTestPlugin, kTestPreview, kNewWindow, kLog, kLogToFile, kCrashOnOpen,
    kReuseInstance, kEscToExit, kEnumPrinters, kListPrinters, kSleepMs, kPrintTo, kT,
    kPrintSettings, kInverseSearch, kForwardSearch, kFwdsearch, kNameddest, kNamedDest, kPage,
    kView, kZoom, kScroll, kAppdata, kPlugin, kStressTest, kN, kMax, kMaxFiles, kRender, kExtractText,
    kBench, kD, kInstallDir, kLang, kUpdateSelfTo, kDeleteFile, kBgcolor, kBgColor,
    kFwdsearchOffset, kFwdsearchWidth, kFwdsearchColor, kFwdsearchPermanent, kMangaMode,
    kSearch, kAllUsers, kAllusers, kRunInstallNow, kA, kDde, kPwd, kEngineDump, kSetColorRange,
    kUpgradeFrom, kForTesting, kQuicklook, kQuicklookAgent, kWindowPos, kDumpExif, kDumpChm,
    kDbgControl, kUnitTests, kForAi, kNewWindowTabs, kHtmlBackend, kStartPerfLog,
    kLogPerfFile, kNoDesktopShortcut, kDefaultPdf, kDefaultComics, kDefaultMarkdown,
    kNoFilter, kNoPreview, kNoOfficePlugin, kWithOfficePlugin, kStartApp, kOptEnd
};
static_assert(kOptEnd == kOptionCount);

enum class Values { None, One, OneInt, OnePlusOptional, Two };

Values ValuesOf(int opt) {
    switch (opt) {
        case kLogToFile: case kD: case kInstallDir: case kPrintTo: case kPrintSettings:
        case kInverseSearch: case kNameddest: case kNamedDest: case kView: case kZoom: case kScroll:
        case kWindowPos: case kHtmlBackend: case kAppdata: case kLang: case kUpdateSelfTo:
        case kDeleteFile: case kSearch: case kA: case kDde: case kPwd: case kUpgradeFrom:
        case kDumpExif: case kDumpChm: case kDbgControl: case kLogPerfFile: case kBgcolor:
        case kBgColor: case kFwdsearchOffset: case kFwdsearchWidth: case kFwdsearchColor:
        case kFwdsearchPermanent: case kMangaMode:
            return Values::One;
        case kSleepMs: case kPage: case kN: case kMax: case kMaxFiles: case kRender: case kExtractText:
            return Values::OneInt;
        case kT: case kPlugin: case kStressTest: case kBench:
            return Values::OnePlusOptional;
        case kForwardSearch: case kFwdsearch: case kSetColorRange:
            return Values::Two;
        default:
            return Values::None;
    }
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? (char)(c + 32) : c;
}

bool EqIgnoringCaseAndSpace(StrView a, StrView b) {
    int32_t i = 0, j = 0;
    while (true) {
        while (i < a.len && IsSpace(a.s[i])) i++;
        while (j < b.len && IsSpace(b.s[j])) j++;
        if (i == a.len || j == b.len) {
            return i == a.len && j == b.len;
        }
        if (AsciiLower(a.s[i]) != AsciiLower(b.s[j])) {
            return false;
        }
        i++;
        j++;
    }
}

bool IsOptionLike(StrView arg) {
    return arg.len > 0 && (arg.s[0] == '-' || arg.s[0] == '/');
}

StrView Keep(StrView s) {
    return str::Dup(GetProcessArena(), s);
}

class Parser {
  public:
    Parser(const StrView* args, int count, Flags* flags, const FlagsEnvironment& env)
        : args_(args), count_(count), f_(flags), env_(env) {}

    void Run() {
        for (int i = 0; i < count_ && !stop_;) {
            i = ParseOne(i);
        }
        if (f_->installer.extractFiles) {
            f_->silent = true;
            if (f_->installer.installDir.IsEmpty()) {
                f_->installer.installDir = Keep(".");
            }
        }
    }

  private:
    const StrView* args_;
    int count_;
    Flags* f_;
    const FlagsEnvironment& env_;
    bool stop_ = false;

    // Returns the index of the next argument to parse.
    int ParseOne(int i) {
        StrView arg = args_[i];
        if (str::Eq(arg, "%2") || str::Eq(arg, "%3") || str::Eq(arg, "%4")) {
            Logf("ParseFlags: skipping '%s'\n", arg.CStr());
            return i + 1;
        }
        if (!IsOptionLike(arg)) {
            AddFileArg(arg);
            return i + 1;
        }
        int opt = FindOption(StrView(arg.s + 1, arg.len - 1));
        if (opt < 0) {
            AddFileArg(arg);
            return i + 1;
        }
        Logf("ParseFlags: argName: '%s', arg: %d\n", arg.CStr(), opt);
        int valueCount = ValuesToTake(opt, i);
        if (valueCount < 0) {
            AddFileArg(arg);
            return i + 1;
        }
        Act(opt, &args_[i + 1], valueCount);
        return i + 1 + valueCount;
    }

    // How many of the following arguments the option consumes; -1 when its required values
    // are missing and the option itself becomes a file argument.
    int ValuesToTake(int opt, int i) {
        int left = count_ - i - 1;
        switch (ValuesOf(opt)) {
            case Values::None:
                return opt == kEngineDump ? -1 : 0;
            case Values::One:
            case Values::OneInt:
                return left >= 1 ? 1 : -1;
            case Values::OnePlusOptional: {
                if (left < 1) {
                    return -1;
                }
                int n = 1;
                while (n < left && !IsOptionLike(args_[i + 1 + n])) {
                    n++;
                }
                return n;
            }
            case Values::Two:
                return (left >= 2 && !IsOptionLike(args_[i + 2])) ? 2 : -1;
        }
        return 0;
    }

    void AddFileArg(StrView arg) {
        StrView name = arg;
        if (str::EndsWithI(arg, ".lnk")) {
            name = env_.resolveShortcut ? env_.resolveShortcut(arg) : StrView();
        }
        if (!name.IsEmpty()) {
            f_->fileNames.Append(Keep(name));
        }
    }

    void Act(int opt, const StrView* values, int n) {
        InstallerOptions& in = f_->installer;
        StrView value = n > 0 ? values[0] : StrView();
        switch (opt) {
            case kS: case kSilent: f_->silent = true; return;
            case kFastInstall: in.fastInstall = true; return;
            case kH: case kQuestion: case kHelp: f_->showHelp = true; return;
            case kInstall: f_->install = true; return;
            case kUninstall: f_->uninstall = true; return;
            case kWithFilter: case kWithSearch: in.withFilter = true; return;
            case kWithPreview: in.withPreview = true; return;
            case kX: in.extractFiles = true; return;
            case kLog: f_->log = true; return;
            case kLogToFile: f_->logToFilePath = Keep(value); f_->log = true; return;
            case kD: case kInstallDir: in.installDir = Keep(value); return;
            case kAllUsers: case kAllusers: in.allUsers = true; return;
            case kRunInstallNow: in.runInstallNow = true; return;
            case kForTesting: f_->forTesting = true; return;
            case kNoDesktopShortcut: in.noDesktopShortcut = true; return;
            case kDefaultPdf: in.defaultPdf = true; return;
            case kDefaultComics: in.defaultComics = true; return;
            case kDefaultMarkdown: in.defaultMarkdown = true; return;
            case kNoFilter: in.noFilter = true; return;
            case kNoPreview: in.noPreview = true; return;
            case kNoOfficePlugin: in.noOfficePlugin = true; return;
            case kWithOfficePlugin: in.noOfficePlugin = false; return;
            case kStartApp: in.startApp = true; return;
            default: RecordReaderOption(opt, values, n); return;
        }
    }

    void RecordReaderOption(int opt, const StrView* values, int n) {
        ReaderOptions& r = f_->reader;
        ReaderArg ra;
        ra.option = opt;
        ra.firstValue = r.values.len;
        ra.valueCount = n;
        for (int k = 0; k < n; k++) {
            r.values.Append(Keep(values[k]));
        }
        if (ValuesOf(opt) == Values::OneInt) {
            ra.intValue = ParseFlagInt(values[0]);
        }
        r.args.Append(ra);
        switch (opt) {
            case kPrintToDefault:
                r.defaultPrinter = env_.defaultPrinterName ? Keep(env_.defaultPrinterName()) : StrView();
                r.printDialog = r.printDialog || r.defaultPrinter.IsEmpty();
                r.exitWhenDone = true;
                return;
            case kPrintDialog: r.printDialog = true; return;
            case kExitWhenDone: r.exitWhenDone = true; return;
            case kRender: r.render = true; return;
            case kExtractText: r.extractText = true; return;
            case kTestPlugin: r.testPlugin = true; stop_ = true; return;
            case kTestPreview: r.testPreview = true; stop_ = true; return;
            case kDumpExif: case kDumpChm: f_->fileNames.Append(Keep(values[0])); return;
            case kEscToExit:
                r.settingsArgs.Append(Keep(OptionName(opt)));
                return;
            case kBgcolor: case kBgColor: case kFwdsearchOffset: case kFwdsearchWidth:
            case kFwdsearchColor: case kFwdsearchPermanent: case kMangaMode: case kSetColorRange:
                r.settingsArgs.Append(Keep(OptionName(opt)));
                for (int k = 0; k < n; k++) {
                    r.settingsArgs.Append(Keep(values[k]));
                }
                return;
            default:
                return;
        }
    }
};

}  // namespace

int FindOption(StrView name) {
    const char* p = kOptionNames;
    for (int i = 0; *p; i++) {
        StrView candidate(p);
        if (EqIgnoringCaseAndSpace(name, candidate)) {
            return i;
        }
        p += candidate.len + 1;
    }
    return -1;
}

StrView OptionName(int option) {
    const char* p = kOptionNames;
    for (int i = 0; *p; i++) {
        StrView candidate(p);
        if (i == option) {
            return candidate;
        }
        p += candidate.len + 1;
    }
    return {};
}

int64_t ParseFlagInt(StrView s) {
    int32_t i = 0;
    bool negative = i < s.len && s.s[i] == '-';
    if (negative) {
        i++;
    }
    int64_t v = 0;
    for (; i < s.len && s.s[i] >= '0' && s.s[i] <= '9'; i++) {
        // Saturate instead of overflowing on absurdly long digit runs.
        if (v > (INT64_MAX - 9) / 10) {
            break;
        }
        v = v * 10 + (s.s[i] - '0');
    }
    return negative ? -v : v;
}

void ParseFlagsArgs(const StrView* args, int count, Flags* flags, const FlagsEnvironment& env) {
    Vec<StrView> kept;
    for (int i = 0; i < count; i++) {
        if (!args[i].IsEmpty()) {
            kept.Append(args[i]);
        }
    }
    if (kept.len <= 1) {
        return;
    }
    Parser(kept.els + 1, kept.len - 1, flags, env).Run();
}
