#include "base/flags.h"

#include "base/arena.h"
#include "base/choice_table.h"
#include "base/log.h"

namespace {

// How many of the following arguments an option takes.
enum class Takes : uint8_t {
    Nothing,
    One,              // the next argument, whatever it looks like
    OneInt,           // the same, also read as an integer
    OnePlusOptional,  // one, then each further argument that does not look like an option
    Two,              // two, the second one not looking like an option
};

// What an option does once its values are taken, besides setting `flag` and keeping `text`.
enum class Does : uint8_t {
    Set,            // nothing more: an option the installer acts on
    Record,         // a reader option: recorded in ReaderOptions with its values
    RecordSetting,  // recorded, and its name and values passed on to the reader's settings
    RecordFile,     // recorded, and its value is also a file argument
    RecordPrinter,  // recorded; prints to the default printer (asks when there is none), then exits
    RecordAndStop,  // recorded, and nothing after it is parsed
    BeFile,         // never acted on: the argument itself is a file argument
};

// The member an option sets, as a function of the Flags it is parsing into, so that one
// table row can name a member of Flags or of its installer or reader part.
template <typename T>
T* MemberOf(Flags* f, T Flags::*m) {
    return &(f->*m);
}
template <typename T>
T* MemberOf(Flags* f, T InstallerOptions::*m) {
    return &(f->installer.*m);
}
template <typename T>
T* MemberOf(Flags* f, T ReaderOptions::*m) {
    return &(f->reader.*m);
}
template <auto member>
auto* Field(Flags* f) {
    return MemberOf(f, member);
}

using FlagField = bool* (*)(Flags*);
using TextField = StrView* (*)(Flags*);

// One option: its name, what it takes and what it does. Parsing, the words an elevated copy
// is started with and the -h summary are all read from these rows.
struct OptionRow {
    const char* name = nullptr;
    Takes takes = Takes::Nothing;
    Does does = Does::Record;
    FlagField flag = nullptr;  // set to `on`
    bool on = true;
    TextField text = nullptr;  // keeps the option's value
    Choice choice = Choice::None;
    ChoiceWord word = ChoiceWord::Ask;  // which of the choice's words the row is
    // Place among the words an elevated copy is started with (1-based; 0: not carried). A
    // switch is carried when its member holds what the option sets; a value, always.
    int8_t carried = 0;
    OptionHelp help;

    constexpr OptionRow Carried(int8_t place) const {
        OptionRow r = *this;
        r.carried = place;
        return r;
    }
    constexpr OptionRow Help(int8_t place, const char* text, const char* synopsis = nullptr) const {
        OptionRow r = *this;
        r.help = {place, synopsis, text};
        return r;
    }
};

// An option the installer acts on: it sets `flag` to `on`.
constexpr OptionRow Switch(const char* name, FlagField flag, bool on = true) {
    OptionRow r;
    r.name = name;
    r.does = Does::Set;
    r.flag = flag;
    r.on = on;
    return r;
}

// A switch about one of the eight choices. Its name is the choice table's word, which the
// package's properties and the elevated copy's command line also stand on.
constexpr OptionRow Choose(Choice choice, ChoiceWord word) {
    OptionRow r = Switch(ChoiceDefOf(choice).words[(int)word], nullptr);
    r.choice = choice;
    r.word = word;
    return r;
}
constexpr ChoiceWord kAsk = ChoiceWord::Ask;
constexpr ChoiceWord kAskToo = ChoiceWord::AskToo;
constexpr ChoiceWord kRefuse = ChoiceWord::Refuse;

// An option the installer acts on that keeps its value (and sets `flag` too, when given).
constexpr OptionRow Value(const char* name, TextField text, FlagField flag = nullptr) {
    OptionRow r = Switch(name, flag);
    r.takes = Takes::One;
    r.text = text;
    return r;
}

// An option of the reader, recorded for it.
constexpr OptionRow Reader(const char* name, Takes takes = Takes::Nothing, Does does = Does::Record,
                           FlagField flag = nullptr) {
    OptionRow r;
    r.name = name;
    r.takes = takes;
    r.does = does;
    r.flag = flag;
    return r;
}

constexpr Takes kOne = Takes::One;
constexpr Takes kInt = Takes::OneInt;
constexpr Takes kOnePlus = Takes::OnePlusOptional;
constexpr Takes kTwo = Takes::Two;
constexpr Does kSetting = Does::RecordSetting;

// Positions matter: they are logged with every match and recorded with reader options, so a
// new option goes at the end. The comments number every tenth row.
constexpr OptionRow kOptions[] = {
    // 0
    Switch("s", Field<&Flags::silent>).Help(1, "installs silently (without user interaction)", ""),
    Switch("silent", Field<&Flags::silent>).Carried(10),
    Switch("fast-install", Field<&InstallerOptions::fastInstall>).Carried(11),
    Reader("print-to-default", Takes::Nothing, Does::RecordPrinter),
    Reader("print-dialog", Takes::Nothing, Does::Record, Field<&ReaderOptions::printDialog>),
    Reader("p"),
    Switch("h", Field<&Flags::showHelp>),
    Switch("?", Field<&Flags::showHelp>),
    Switch("help", Field<&Flags::showHelp>),
    Reader("exit-when-done", Takes::Nothing, Does::Record, Field<&ReaderOptions::exitWhenDone>),
    // 10
    Reader("exit-on-print"),
    Reader("restrict"),
    Reader("presentation"),
    Reader("fullscreen"),
    Reader("invertcolors"),
    Reader("invert-colors"),
    Reader("console"),
    Switch("install", Field<&Flags::install>),
    Switch("uninstall", Field<&Flags::uninstall>),
    Choose(Choice::SearchFilter, kAsk)
        .Carried(3)
        .Help(4, "install search filter (on by default for a first install)", ""),
    // 20
    Choose(Choice::SearchFilter, kAskToo),
    Choose(Choice::Previewer, kAsk)
        .Carried(4)
        .Help(5, "install shell preview (on by default for a first install)", ""),
    Reader("rand"),
    Reader("regress"),
    Switch("x", Field<&InstallerOptions::extractFiles>).Help(12, "extracts the files, doesn't install", ""),
    Reader("tester"),
    Reader("testapp"),
    Reader("test-plugin", Takes::Nothing, Does::RecordAndStop, Field<&ReaderOptions::testPlugin>),
    Reader("test-preview", Takes::Nothing, Does::RecordAndStop, Field<&ReaderOptions::testPreview>),
    Reader("new-window"),
    // 30
    Switch("log", Field<&Flags::log>).Carried(13).Help(13, "writes installation log to %TEMP%\\vlpdf-install-log.txt"),
    Value("log-to-file", Field<&Flags::logToFilePath>, Field<&Flags::log>),
    Reader("crash-on-open"),
    Reader("reuse-instance"),
    Reader("esc-to-exit", Takes::Nothing, kSetting),
    Reader("enum-printers"),
    Reader("list-printers"),
    Reader("sleep-ms", kInt),
    Reader("print-to", kOne),
    Reader("t", kOnePlus),
    // 40
    Reader("print-settings", kOne),
    Reader("inverse-search", kOne),
    Reader("forward-search", kTwo),
    Reader("fwdsearch", kTwo),
    Reader("nameddest", kOne),
    Reader("named-dest", kOne),
    Reader("page", kInt),
    Reader("view", kOne),
    Reader("zoom", kOne),
    Reader("scroll", kOne),
    // 50
    Reader("appdata", kOne),
    Reader("plugin", kOnePlus),
    Reader("stress-test", kOnePlus),
    Reader("n", kInt),
    Reader("max", kInt),
    Reader("max-files", kInt),
    Reader("render", kInt, Does::Record, Field<&ReaderOptions::render>),
    Reader("extract-text", kInt, Does::Record, Field<&ReaderOptions::extractText>),
    Reader("bench", kOnePlus),
    Value("d", Field<&InstallerOptions::installDir>)
        .Help(2, "set installation directory (default: previous install, else %LOCALAPPDATA%\\vlpdf)", "<path>"),
    // 60
    Value("install-dir", Field<&InstallerOptions::installDir>).Carried(14),
    Reader("lang", kOne),
    Reader("update-self-to", kOne),
    Reader("delete-file", kOne),
    Reader("bgcolor", kOne, kSetting),
    Reader("bg-color", kOne, kSetting),
    Reader("fwdsearch-offset", kOne, kSetting),
    Reader("fwdsearch-width", kOne, kSetting),
    Reader("fwdsearch-color", kOne, kSetting),
    Reader("fwdsearch-permanent", kOne, kSetting),
    // 70
    Reader("manga-mode", kOne, kSetting),
    Reader("search", kOne),
    Choose(Choice::AllUsers, kAsk).Carried(2),
    Choose(Choice::AllUsers, kAskToo),
    Switch("run-install-now", Field<&InstallerOptions::runInstallNow>).Carried(1),
    Reader("a", kOne),
    Reader("dde", kOne),
    Reader("pwd", kOne),
    Reader("engine-dump", Takes::Nothing, Does::BeFile),
    Reader("set-color-range", kTwo, kSetting),
    // 80
    Reader("upgrade-from", kOne),
    Switch("for-testing", Field<&Flags::forTesting>),
    Reader("quicklook"),
    Reader("quicklook-agent"),
    Reader("window-pos", kOne),
    Reader("dump-exif", kOne, Does::RecordFile),
    Reader("dump-chm", kOne, Does::RecordFile),
    Reader("dbg-control", kOne),
    Reader("unit-tests"),
    Reader("for-ai"),
    // 90
    Reader("new-window-tabs"),
    Reader("html-backend", kOne),
    Reader("start-perf-log"),
    Reader("log-perf-file", kOne),
    Choose(Choice::DesktopShortcut, kRefuse)
        .Carried(6)
        .Help(8, "don't create a desktop shortcut", ""),
    Choose(Choice::DefaultPdf, kAsk)
        .Carried(7)
        .Help(9, "set as default reader for PDF documents"),
    Choose(Choice::DefaultComics, kAsk)
        .Carried(8)
        .Help(10, "set as default reader for comic books"),
    Choose(Choice::DefaultMarkdown, kAsk)
        .Carried(9)
        .Help(11, "set as default reader for Markdown documents"),
    Choose(Choice::SearchFilter, kRefuse).Help(6, "don't install the search filter"),
    Choose(Choice::Previewer, kRefuse).Help(7, "don't install the shell preview"),
    // 100
    Choose(Choice::OfficeAddin, kRefuse).Carried(5),
    Choose(Choice::OfficeAddin, ChoiceWord::TakeBack),
    Switch("start-app", Field<&InstallerOptions::startApp>)
        .Carried(12)
        .Help(3, "with -s: start the app when the installation is done", ""),
};
static_assert(sizeof(kOptions) / sizeof(kOptions[0]) == kOptionCount);

// What parsing and the elevated copy's words rely on: every row has a name, a row that keeps
// a value takes one, a row the installer acts on or carries has a member to set, no two rows
// share a place, and every word of the choice table is exactly one row.
constexpr bool RowsHoldTogether() {
    for (const ChoiceDef& def : kChoiceDefs) {
        for (int w = 0; w < kChoiceWordCount; w++) {
            int rows = 0;
            for (const OptionRow& r : kOptions) rows += r.choice == def.choice && (int)r.word == w;
            if (rows != (def.words[w] ? 1 : 0)) {
                return false;
            }
        }
    }
    for (const OptionRow& r : kOptions) {
        bool hasMember = r.flag || r.text || r.choice != Choice::None;
        if (!r.name) {
            return false;
        }
        if ((r.text || r.does == Does::RecordFile) && r.takes == Takes::Nothing) {
            return false;
        }
        if ((r.does == Does::Set || r.carried > 0) && !hasMember) {
            return false;
        }
        for (const OptionRow& other : kOptions) {
            if (&other != &r && ((r.carried > 0 && other.carried == r.carried) ||
                                 (r.help.place > 0 && other.help.place == r.help.place))) {
                return false;
            }
        }
    }
    return true;
}
static_assert(RowsHoldTogether());

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
        int valueCount = ValuesToTake(kOptions[opt], i);
        if (valueCount < 0) {
            AddFileArg(arg);
            return i + 1;
        }
        Act(opt, &args_[i + 1], valueCount);
        return i + 1 + valueCount;
    }

    // How many of the following arguments the option consumes; -1 when its required values
    // are missing and the option itself becomes a file argument.
    int ValuesToTake(const OptionRow& row, int i) {
        if (row.does == Does::BeFile) {
            return -1;
        }
        int left = count_ - i - 1;
        switch (row.takes) {
            case Takes::Nothing:
                return 0;
            case Takes::One:
            case Takes::OneInt:
                return left >= 1 ? 1 : -1;
            case Takes::OnePlusOptional: {
                if (left < 1) {
                    return -1;
                }
                int n = 1;
                while (n < left && !IsOptionLike(args_[i + 1 + n])) {
                    n++;
                }
                return n;
            }
            case Takes::Two:
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
        const OptionRow& row = kOptions[opt];
        if (row.text) {
            *row.text(f_) = Keep(values[0]);
        }
        if (row.flag) {
            *row.flag(f_) = row.on;
        }
        if (row.choice != Choice::None) {
            ActOnChoice(row.choice, row.word);
        }
        if (row.does != Does::Set) {
            RecordReaderOption(opt, values, n);
        }
    }

    void ActOnChoice(Choice c, ChoiceWord word) {
        InstallerOptions& o = f_->installer;
        switch (word) {
            case ChoiceWord::Ask:
            case ChoiceWord::AskToo: o.asked.Add(c); return;
            case ChoiceWord::Refuse: o.refused.Add(c); return;
            case ChoiceWord::TakeBack: o.refused.Remove(c); return;
        }
    }

    void RecordReaderOption(int opt, const StrView* values, int n) {
        const OptionRow& row = kOptions[opt];
        ReaderOptions& r = f_->reader;
        ReaderArg ra;
        ra.option = opt;
        ra.firstValue = r.values.len;
        ra.valueCount = n;
        for (int k = 0; k < n; k++) {
            r.values.Append(Keep(values[k]));
        }
        if (row.takes == Takes::OneInt) {
            ra.intValue = ParseFlagInt(values[0]);
        }
        r.args.Append(ra);
        switch (row.does) {
            case Does::RecordPrinter:
                r.defaultPrinter = env_.defaultPrinterName ? Keep(env_.defaultPrinterName()) : StrView();
                r.printDialog = r.printDialog || r.defaultPrinter.IsEmpty();
                r.exitWhenDone = true;
                return;
            case Does::RecordAndStop:
                stop_ = true;
                return;
            case Does::RecordFile:
                f_->fileNames.Append(Keep(values[0]));
                return;
            case Does::RecordSetting:
                r.settingsArgs.Append(Keep(row.name));
                for (int k = 0; k < n; k++) {
                    r.settingsArgs.Append(Keep(values[k]));
                }
                return;
            default:
                return;
        }
    }
};

// Whether an elevated copy is given the row's word: a value always, a switch when the
// options hold what it sets.
bool IsCarried(const OptionRow& row, const Flags& f) {
    if (row.text) {
        return true;
    }
    if (row.choice != Choice::None) {
        const InstallerOptions& o = f.installer;
        return row.word == ChoiceWord::Refuse ? o.refused.Has(row.choice)
                                              : row.word != ChoiceWord::TakeBack && o.asked.Has(row.choice);
    }
    // The members are only read; the rows name them through a parser's non-const Flags.
    return row.flag && *row.flag(const_cast<Flags*>(&f)) == row.on;
}

// The row's word, and its value quoted when it keeps one.
void AppendWord(Str& out, const OptionRow& row, const Flags& f) {
    if (out.len > 0) {
        str::Append(out, " ");
    }
    str::Append(out, "-");
    str::Append(out, row.name);
    if (row.text) {
        str::Append(out, " ");
        str::Append(out, QuoteCommandLineArgTemp(*row.text(const_cast<Flags*>(&f))));  // only read
    }
}

// The row carried at `place`, or null when none is.
const OptionRow* CarriedAt(int place) {
    for (const OptionRow& row : kOptions) {
        if (row.carried == place) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace

int FindOption(StrView name) {
    for (int i = 0; i < kOptionCount; i++) {
        if (EqIgnoringCaseAndSpace(name, kOptions[i].name)) {
            return i;
        }
    }
    return -1;
}

StrView OptionName(int option) {
    if (option < 0 || option >= kOptionCount) {
        return {};
    }
    return kOptions[option].name;
}

OptionHelp HelpOfOption(int option) {
    if (option < 0 || option >= kOptionCount) {
        return {};
    }
    return kOptions[option].help;
}

InstallChoices ChoicesAsked(const InstallerOptions& cli) {
    InstallChoices choices;
    choices.on = cli.asked.With(ChoicesByDefault(ByDefault::On)).Without(cli.refused);
    return choices;
}

StrView CarriedArgumentsTemp(const Flags& options) {
    Str out(GetTempArena());
    for (int place = 1; place <= kOptionCount; place++) {
        const OptionRow* row = CarriedAt(place);
        if (row && IsCarried(*row, options)) {
            AppendWord(out, *row, options);
        }
    }
    return str::View(out);
}

StrView OptionWordsTemp(const Flags& options, const char* const* names, int32_t count) {
    Str out(GetTempArena());
    for (int32_t i = 0; i < count; i++) {
        int option = FindOption(names[i]);
        if (option >= 0 && IsCarried(kOptions[option], options)) {
            AppendWord(out, kOptions[option], options);
        }
    }
    return str::View(out);
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
