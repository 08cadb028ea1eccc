#include <windows.h>
#include <shellapi.h>

#include "base/arena.h"
#include "base/system_lib.h"
#include "base/wide_win.h"
#include "integration/shortcut.h"
#include "main/flags_win.h"

namespace {
StrView DefaultPrinterNameTemp() {
    using Fn = BOOL(WINAPI*)(WCHAR*, DWORD*);
    // The print spooler's client is not a known system DLL, so it is loaded by full path.
    static HMODULE spooler = LoadSystemLibrary(L"winspool.drv");
    Fn fn = spooler ? (Fn)(void*)GetProcAddress(spooler, "GetDefaultPrinterW") : nullptr;
    WCHAR name[512];
    DWORD n = 512;
    if (!fn || !fn(name, &n)) {
        return {};
    }
    return U(name);
}
}  // namespace

void ParseFlags(const wchar_t* commandLine, Flags* flags) {
    int argc = 0;
    WCHAR** argv = CommandLineToArgvW(commandLine, &argc);
    if (!argv) {
        return;
    }
    TempArenaScope scope;
    Vec<StrView> args(GetTempArena());
    for (int i = 0; i < argc; i++) {
        args.Append(U(argv[i]));
    }
    LocalFree(argv);
    FlagsEnvironment env;
    env.resolveShortcut = ResolveShortcutTemp;
    env.defaultPrinterName = DefaultPrinterNameTemp;
    ParseFlagsArgs(args.els, args.len, flags, env);
}
