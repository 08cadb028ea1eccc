#pragma once
// The program's options: the parsed command line, and the same record for the installer's
// settled copy of it (the run's own, see installer/installer_run.h).
// The installer shares its option vocabulary with the reader: every one of the 103 options
// is recognised and consumes its values, the installer acts on about twenty of them and
// records the rest.
#include <stdint.h>

#include "base/install_choices.h"
#include "base/str.h"
#include "base/vec.h"

// The installer's part of the command line, as given. What it says about the eight choices is
// settled into the run's InstallChoices together with the earlier installation and the
// policies (installer/install_options.h).
struct InstallerOptions {
    ChoiceSet asked;    // turned on: "-all-users", "-with-filter", "-default-pdf", ...
    ChoiceSet refused;  // turned off by a "-no-" switch; a refusal wins over everything else
    StrView installDir;  // as given, not normalised; "." for -x without -d
    bool extractFiles = false;
    bool runInstallNow = false;
    bool fastInstall = false;
    bool startApp = false;
};

// The choices the command line gives before an earlier installation or a policy has a say:
// what it asks for, and what is on unless refused (ByDefault::On in the choice table: the
// desktop shortcut and the Office add-in). The folder is left empty: it is settled
// separately (it may be relative or missing).
InstallChoices ChoicesAsked(const InstallerOptions& cli);

// A reader option as it was given: its position in the option list and its values
// (a slice of ReaderOptions::values). The installer never reads these.
struct ReaderArg {
    int32_t option = 0;
    int32_t firstValue = 0;
    int32_t valueCount = 0;
    int64_t intValue = 0;  // for options whose value is an integer
};

struct ReaderOptions {
    Vec<ReaderArg> args;
    Vec<StrView> values;
    Vec<StrView> settingsArgs;  // options passed on to the reader's settings
    StrView defaultPrinter;
    bool printDialog = false;
    bool exitWhenDone = false;
    bool render = false;
    bool extractText = false;
    bool testPlugin = false;
    bool testPreview = false;
};

struct Flags {
    bool silent = false;
    bool showHelp = false;
    bool install = false;
    bool uninstall = false;
    bool log = false;
    StrView logToFilePath;
    bool forTesting = false;
    Vec<StrView> fileNames;
    InstallerOptions installer;
    ReaderOptions reader;
};

// What parsing needs from the system: the target of a .lnk file argument and the default
// printer name (empty when there is none).
struct FlagsEnvironment {
    StrView (*resolveShortcut)(StrView lnkPath) = nullptr;
    StrView (*defaultPrinterName)() = nullptr;
};

constexpr int kOptionCount = 103;

// The option's position in the option list, or -1. Letter case (ASCII) and whitespace
// anywhere in either string are ignored.
int FindOption(StrView name);
StrView OptionName(int option);

// What the -h summary says about an option.
struct OptionHelp {
    int8_t place = 0;                // in the summary, 1-based; 0: the option is not listed
    const char* synopsis = nullptr;  // in the one-line synopsis: "" alone, else its value's name
    const char* text = nullptr;
};
OptionHelp HelpOfOption(int option);

// The words that give ParseFlagsArgs back the options an elevated copy is started with, in
// their fixed order: "-run-install-now" when it is set, each carried switch that is set, and
// "-install-dir" with the directory, always, quoted as by QuoteCommandLineArgTemp.
StrView CarriedArgumentsTemp(const Flags& options);
// The words for the named options as options holds them, in the order named, spelled as
// CarriedArgumentsTemp spells them: each switch whose member holds what it sets, each value.
// For a copy started to do something other than install (the uninstaller's elevated one).
StrView OptionWordsTemp(const Flags& options, const char* const* names, int32_t count);

// arg in double quotes, with backslashes before a quote (the closing one included) and
// quotes inside escaped, so that the system's split returns arg unchanged.
StrView QuoteCommandLineArgTemp(StrView arg);

// Parses the program's arguments (UTF-8; args[0] is the program itself). Never fails:
// unknown options and missing values become file arguments.
void ParseFlagsArgs(const StrView* args, int count, Flags* flags, const FlagsEnvironment& env);

// An optional '-' and decimal digits; parsing stops at the first non-digit; else 0.
int64_t ParseFlagInt(StrView s);
