#include <stdio.h>
#include <windows.h>
#include <commctrl.h>

#include "base/arena.h"
#include "base/install_failure.h"
#include "base/log.h"
#include "base/ole.h"
#include "base/product.h"
#include "base/system_lib.h"
#include "base/thread.h"
#include "base/wide_win.h"
#include "i18n/lang.h"
#include "i18n/translations.h"
#include "installer/run_installer.h"
#include "main/console.h"
#include "main/flags_win.h"
#include "main/help.h"
#include "main/startup.h"
#include "main/startup_plan.h"
#include "archive/extract.h"
#include "archive/translations_source.h"
#include "ui/dpi_win.h"
#include "ui/gdiplus_api.h"
#include "ui/uitask.h"

namespace {
void PreloadSystemLibraries(Preload part) {
    TempArenaScope scope;
    for (const char* name = kPreloadLibraries; *name; name += strlen(name) + 1) {
        if (PreloadsIn(part, name)) {
            LoadSystemLibrary(W(name));
        }
    }
}

void PreloadAfterFirstPaint() {
    PreloadSystemLibraries(Preload::AfterFirstPaint);
}

// Under Wine the first window class a process registers waits for the desktop and the
// display driver: 10 to 25 ms, more when the desktop process must start. A run that shows
// the installer window asks for the desktop at once, on a thread of its own, so that this
// happens while this thread loads the libraries above and settles the run; the same thread
// then loads the common controls (about 10 ms, their classes need the desktop), which this
// thread initialises later. On Windows the desktop always exists.
void StartDesktopEarly() {
    auto connect = [](void*) {
        GetDesktopWindow();
        CommonControlsApi::Get();
    };
    void* thread = StartThread(connect, nullptr, "desktop");
    if (thread) {
        DetachThread(thread);
    }
}

void HardenProcess() {
    SetProcessDEPPolicy(PROCESS_DEP_ENABLE);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

bool HasConsoleOutput(ConsoleState s) {
    return s == ConsoleState::Redirected || s == ConsoleState::Attached;
}

int ShowHelp() {
    TempArenaScope scope;
    StrView text = FormatHelpTemp();
    if (HasConsoleOutput(ConsoleAttach())) {
        fprintf(stdout, "%s\n", text.CStr());
        fflush(stdout);
    } else {
        MessageBoxW(nullptr, W(text), L"VeloraPDF", MB_OK | MB_ICONINFORMATION);
    }
    ConsoleRelease();
    return 0;
}

int ExtractOnly(const Flags& flags) {
    if (flags.log) {
        SetLogFilePath(str::Dup(GetProcessArena(), GetLogFilePathTemp()), false);
    }
    ConsoleState console = ConsoleAttach();
    bool ok = ExtractInstallerFiles(flags.installer.installDir, ExtractMode{flags.silent, true});
    if (!ok) {
        StrView msg = GetFirstFailureMessage();
        if (msg.IsEmpty()) {
            msg = "failed to extract files";
        }
        Logf("%s\n", msg.CStr());
        if (HasConsoleOutput(console)) {
            fprintf(stderr, "%s\n", msg.CStr());
            fflush(stderr);
        }
    }
    ConsoleRelease();
    return ok ? 0 : 1;
}

// What only a run that shows windows needs, in this order: the window through which other
// threads hand work to the window's thread, OLE, the common controls, GDI+ and the DPI the
// window starts at. A silent run (-s, -x) shows none: these would only cost it start-up time
// and memory before its work begins (under Wine the first window class registered starts
// the desktop process). OLE then starts when the run first needs it (EnsureOle); GDI+ is
// reached through the copy preloaded from the system directory. The installer window's run
// does this once the run has settled, right before it makes the window.
void PrepareForWindows() {
    uitask::Initialize();
    EnsureOle();
    INITCOMMONCONTROLSEX icc{sizeof(icc), 0x7FF};
    const CommonControlsApi& comctl = CommonControlsApi::Get();
    if (!comctl.ok || !comctl.InitCommonControlsEx(&icc)) {
        Log("RunProgram: InitCommonControlsEx() failed\n");
    }
    if (!gp::Startup()) {
        Log("RunProgram: GdiplusStartup() failed\n");
    }
    InitDpiAtStartup();
}
}  // namespace

int RunProgram() {
    RestrictLibrarySearchToSystem();
    Flags flags;
    ParseFlags(GetCommandLineW(), &flags);
    flags.install = true;
    gLoadTranslationsFile = LoadTranslationsFromArchive;

    LoadOptionalPlatformFunctions();
    StartupPlan plan = PlanStartup(flags);
    if (plan.installerWindow) {
        StartDesktopEarly();
    }
    PreloadSystemLibraries(plan.preloadAtStart);
    HardenProcess();

    SetOleThread();

    int exitCode;
    if (flags.showHelp) {
        if (plan.windowsBeforeHelp) {
            PrepareForWindows();
        }
        exitCode = ShowHelp();
    } else if (!flags.installer.extractFiles) {
        // The window's preparation waits for the desktop (above); the run settles its options
        // first, which needs none of it.
        ExitProcess((UINT)RunInstaller(flags, WindowHooks{PrepareForWindows, PreloadAfterFirstPaint}));
    } else {
        exitCode = ExtractOnly(flags);
    }

    gp::Shutdown();
    StopOle();
    return exitCode;
}
