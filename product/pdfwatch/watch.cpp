// vlpdf-watch: the reader's background watcher.
//
// It runs until it is told to quit through the named event "Local\vlpdf-watch-quit",
// which the installer sets before it replaces the product's files. One watcher runs per
// session.
//   vlpdf-watch.exe /on   run (the installer starts it so after an installation)
//   vlpdf-watch.exe       the same: the log-on autostart entry starts it without arguments
//   vlpdf-watch.exe /off  tell a running watcher to quit, and exit
// Exit codes: 0 done (also when another watcher already runs, or /off found none to stop),
// 1 the quit event could not be created, 2 an unknown argument.
//
// The stand-in watches nothing beyond its own lifecycle: it keeps the contract the
// installer relies on (starting, single instance, quitting on the event).
#include <windows.h>
#include <shellapi.h>

namespace {

constexpr wchar_t kQuitEvent[] = L"Local\\vlpdf-watch-quit";

// A quit that is under way leaves the event signalled until the old watcher has closed it.
// Its watcher exits at once, so after this long a signalled event is only a left-over.
constexpr int kWaitForOldWatcherMs = 5000;
constexpr int kPollMs = 100;

int Run() {
    for (int waited = 0;; waited += kPollMs) {
        // Manual reset: a set event stays set for every watcher that still holds it.
        HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, kQuitEvent);
        if (!quit) return 1;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            WaitForSingleObject(quit, INFINITE);
            CloseHandle(quit);
            return 0;
        }
        if (WaitForSingleObject(quit, 0) == WAIT_TIMEOUT) {
            CloseHandle(quit);  // another watcher runs in this session
            return 0;
        }
        if (waited >= kWaitForOldWatcherMs) {
            // Nobody is left to read the old signal: take the event over.
            ResetEvent(quit);
            WaitForSingleObject(quit, INFINITE);
            CloseHandle(quit);
            return 0;
        }
        CloseHandle(quit);
        Sleep(kPollMs);
    }
}

int Stop() {
    HANDLE quit = OpenEventW(EVENT_MODIFY_STATE, FALSE, kQuitEvent);
    if (!quit) return 0;
    SetEvent(quit);
    CloseHandle(quit);
    return 0;
}

bool IsSwitch(const wchar_t* arg, const wchar_t* name) {
    return (arg[0] == L'/' || arg[0] == L'-') && lstrcmpiW(arg + 1, name) == 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 1;
    int rc;
    if (argc == 1 || (argc == 2 && IsSwitch(argv[1], L"on"))) {
        rc = Run();
    } else if (argc == 2 && IsSwitch(argv[1], L"off")) {
        rc = Stop();
    } else {
        rc = 2;
    }
    LocalFree(argv);
    return rc;
}
