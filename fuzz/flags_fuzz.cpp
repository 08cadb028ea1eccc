// Feeds arbitrary argument lists to the command-line parser: the input split at NUL bytes,
// the first piece the program itself, as the system's split would hand them over. Whatever
// the arguments, parsing must stay inside them and what it records must hold together; and
// the command line an elevated copy gets must give that copy the same installer choices.
#include <stdlib.h>

#include "base/arena.h"
#include "base/flags.h"
#include "installer/install_options.h"

namespace {

void Check(bool ok) {
    if (!ok) {
        abort();
    }
}

StrView FakeShortcutTarget(StrView lnk) {
    // Every other shortcut resolves to nothing, as a broken one does.
    return (lnk.len % 2) ? StrView("C:\\target.pdf") : StrView();
}

StrView FakePrinter() {
    return "Printer";
}

// Exact-size heap copies, so that AddressSanitizer reports any read past an argument.
Vec<StrView> SplitAtNul(const uint8_t* data, size_t size) {
    Vec<StrView> args;
    str::Parts parts(StrView((const char*)data, (int32_t)size), '\0');
    for (StrView part; parts.Next(&part);) {
        char* copy = (char*)malloc((size_t)part.len + 1);
        memcpy(copy, part.s, (size_t)part.len);
        copy[part.len] = 0;
        args.Append(StrView(copy, part.len));
    }
    return args;
}

void CheckParsed(const Flags& f) {
    for (StrView name : f.fileNames) {
        Check(!name.IsEmpty());
    }
    const ReaderOptions& r = f.reader;
    for (const ReaderArg& a : r.args) {
        Check(a.option >= 0 && a.option < kOptionCount);
        Check(FindOption(OptionName(a.option)) == a.option);
        Check(a.firstValue >= 0 && a.valueCount >= 0 && a.firstValue + a.valueCount <= r.values.len);
    }
    if (f.installer.extractFiles) {
        Check(f.silent && !f.installer.installDir.IsEmpty());
    }
}

// The elevated copy's arguments are fixed option words and then the quoted directory, which
// the system gives back unchanged (checked against the real split under Wine); here the
// words are split at spaces and the directory passed as it was.
void CheckRelaunch(const Flags& cli) {
    if (cli.installer.installDir.IsEmpty()) {
        return;  // the installer always settles a directory before it restarts itself
    }
    InstallChoices chosen = ChoicesAsked(cli.installer);
    chosen.installDir = cli.installer.installDir;
    StrView line = RelaunchArgumentsTemp(cli, chosen, chosen.AllUsers());
    StrView tail = " -install-dir ";
    Vec<StrView> args;
    args.Append("setup.exe");
    int32_t start = 0;
    for (int32_t i = 0; i + tail.len <= line.len; i++) {
        if (line.s[i] == ' ') {
            args.Append(StrView(line.s + start, i - start));
            start = i + 1;
        }
        if (str::StartsWith(StrView(line.s + i, line.len - i), tail)) {
            break;
        }
    }
    args.Append("-install-dir");
    args.Append(cli.installer.installDir);

    Flags copy;
    FlagsEnvironment env;
    ParseFlagsArgs(args.els, args.len, &copy, env);
    const InstallerOptions& b = copy.installer;
    Check(b.runInstallNow && copy.fileNames.len == 0);
    Check(str::Eq(chosen.installDir, b.installDir));
    // The copy inherits nothing and gets no first-install defaults: its words alone give back
    // the same choices.
    Check(ChoicesAsked(b).on == chosen.on);
    Check(cli.installer.fastInstall == b.fastInstall && cli.installer.startApp == b.startApp);
    Check(cli.silent == copy.silent && cli.log == copy.log);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // What the parser keeps lives in the process arena; give it back after every input.
    uint64_t mark = ArenaMark(GetProcessArena());
    {
        TempArenaScope scope;
        Vec<StrView> args = SplitAtNul(data, size);
        Flags flags;
        FlagsEnvironment env;
        env.resolveShortcut = FakeShortcutTarget;
        env.defaultPrinterName = FakePrinter;
        ParseFlagsArgs(args.els, args.len, &flags, env);
        CheckParsed(flags);
        CheckRelaunch(flags);
        for (StrView a : args) {
            free((void*)a.s);
        }
    }
    ArenaReset(GetProcessArena(), mark);
    return 0;
}
