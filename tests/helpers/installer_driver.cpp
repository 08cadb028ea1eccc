// Drives the installer window of another process the way a person would: through its
// controls, keys and clicks, one command after another.
//   installer_driver <command> [args] [-- <command> [args]]...
// Commands:
//   wait-window [ms]          waits for the installer window (class VLPDF_INSTALLER_FRAME), visible
//                             and done with its start (installer_window_ready.h)
//   dump                      prints the window: title, client size, whether it lies inside the
//                             work area, the focused control, every child control, the
//                             progress bar and the Close item of the system menu
//   wait-child <text> [ms]    waits for a visible child whose text (or class) is <text>
//   wait-gone [ms]            waits until the window is gone
//   click <text>              clicks the visible button or check box with that text
//   click-then-close <text>   clicks, then at once presses Esc and the close box
//   set-text <text|class> <new text>  types into a control (the directory edit: Edit)
//   click-install             clicks the Install button, whatever its language
//   click-link                clicks the options link (left end of the bottom row)
//   key <escape|return|tab>   presses the key in the focused control
//   close                     the close box (WM_SYSCOMMAND SC_CLOSE)
//   tabs <n>                  presses Tab n times, printing "tab|<text>" after each
//   progress                  samples the progress bar until it goes, printing each new
//                             position as "step|<pos>|<max>"
//   rect                      prints the window's screen rectangle as "rect|WxH+X+Y", then
//                             its client area's as "client-rect|WxH+X+Y"
//   dialog <title> [ms]       waits for a top-level dialog of another window with that
//                             title and prints its controls as "dialog|<class>|<text>", then
//                             "dialog|rtl|<0|1>" (laid out or read right to left)
//   dialog-click <title> <text>  clicks the dialog's button with that text
//   dialog-rect <title>       prints the dialog's screen rectangle as "rect|WxH+X+Y"
//   dialog-close <title>      closes the dialog as its close box does
//   dialog-gone <title> [ms]  waits until no such dialog is visible
//   high-contrast <0|1>       switches high contrast off or on while the window is open
//   modules                   prints each library the window's process has loaded as
//                             "module|<full path>"
//   freeze, thaw              suspends and resumes every thread of the window's process: a
//                             page that lasts a moment stays on the screen to be taken
// Exit code 0 when every command did what it says, else 1 (the failing command is named).
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

#include "command_groups.h"
#include "installer_window_ready.h"

namespace {
HWND gWindow = nullptr;

std::wstring TextOf(HWND hwnd) {
    static wchar_t buf[1 << 20];
    buf[0] = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 1 << 20, (LPARAM)buf, SMTO_ABORTIFHUNG, 2000, nullptr);
    std::wstring t = buf;
    std::wstring out;
    for (wchar_t c : t) {
        if (c == L'\n') out += L"\\n";
        else if (c != L'\r') out += c;
    }
    return out;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t cls[128] = {};
    GetClassNameW(hwnd, cls, 128);
    return cls;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> out;
    EnumChildWindows(
        parent, [](HWND h, LPARAM lp) -> BOOL {
            ((std::vector<HWND>*)lp)->push_back(h);
            return TRUE;
        },
        (LPARAM)&out);
    return out;
}

HWND FindChild(HWND parent, const std::wstring& text) {
    for (HWND h : Children(parent)) {
        if (IsWindowVisible(h) && (TextOf(h) == text || ClassOf(h) == text)) return h;
    }
    return nullptr;
}

template <typename F>
bool WaitFor(DWORD ms, F done) {
    for (DWORD waited = 0;; waited += 20) {
        if (done()) return true;
        if (waited >= ms) return false;
        Sleep(20);
    }
}

HWND FocusedControl(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

RECT ChildRect(HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, gWindow, (POINT*)&r, 2);
    if (r.left > r.right) std::swap(r.left, r.right);  // mirrored windows map right to left
    return r;
}

void DumpWindow() {
    printf("title|%s\n", Utf8(TextOf(gWindow)).c_str());
    RECT c, w;
    GetClientRect(gWindow, &c);
    GetWindowRect(gWindow, &w);
    printf("client|%ldx%ld\n", c.right, c.bottom);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromWindow(gWindow, MONITOR_DEFAULTTONEAREST), &mi);
    bool inside = w.left >= mi.rcWork.left && w.top >= mi.rcWork.top && w.right <= mi.rcWork.right &&
                  w.bottom <= mi.rcWork.bottom;
    printf("inside-work-area|%d\n", inside ? 1 : 0);
    printf("rtl|%d\n", (GetWindowLongW(gWindow, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) ? 1 : 0);
    HWND focus = FocusedControl(gWindow);
    printf("focus|%s\n", focus ? Utf8(TextOf(focus).empty() ? ClassOf(focus) : TextOf(focus)).c_str() : "");
    for (HWND h : Children(gWindow)) {
        RECT r = ChildRect(h);
        std::wstring cls = ClassOf(h);
        int checked = (int)SendMessageW(h, BM_GETCHECK, 0, 0);
        printf("child|%s|%s|visible=%d|enabled=%d|checked=%d|%ld,%ld,%ld,%ld\n", Utf8(cls).c_str(),
               Utf8(TextOf(h)).c_str(), IsWindowVisible(h) ? 1 : 0, IsWindowEnabled(h) ? 1 : 0,
               _wcsicmp(cls.c_str(), L"Button") == 0 ? checked : 0, r.left, r.top, r.right - r.left,
               r.bottom - r.top);
        if (_wcsicmp(cls.c_str(), PROGRESS_CLASSW) == 0) {
            printf("progress|%d|%d\n", (int)SendMessageW(h, PBM_GETPOS, 0, 0),
                   (int)SendMessageW(h, PBM_GETRANGE, FALSE, 0));
        }
    }
    UINT state = GetMenuState(GetSystemMenu(gWindow, FALSE), SC_CLOSE, MF_BYCOMMAND);
    printf("sysclose|%s\n", state == (UINT)-1 ? "?" : (state & (MF_GRAYED | MF_DISABLED)) ? "greyed" : "enabled");
}

void PostKey(HWND target, UINT vk) {
    PostMessageW(target, WM_KEYDOWN, vk, 0x00000001);
    PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
}

UINT KeyCode(const std::wstring& name) {
    if (name == L"escape") return VK_ESCAPE;
    if (name == L"return") return VK_RETURN;
    if (name == L"tab") return VK_TAB;
    return 0;
}

// The Install button: the visible push button of the bottom row (any language).
HWND FindInstallButton() {
    HWND install = nullptr;
    for (HWND h : Children(gWindow)) {
        LONG type = GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK;
        bool push = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;  // focus makes it the default
        if (_wcsicmp(ClassOf(h).c_str(), L"Button") == 0 && push && IsWindowVisible(h) && TextOf(h) != L"&...") {
            install = h;
        }
    }
    return install;
}

// The options link sits at the left end of the bottom row, level with the Install button,
// as far from the left edge as the button is from the right one.
bool ClickOptionsLink() {
    HWND install = FindInstallButton();
    if (!install) return false;
    RECT c, r = ChildRect(install);
    GetClientRect(gWindow, &c);
    int x = (c.right - r.right) + 4;
    int y = (r.top + r.bottom) / 2;
    LPARAM at = MAKELPARAM(x, y);
    PostMessageW(gWindow, WM_MOUSEMOVE, 0, at);
    PostMessageW(gWindow, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(gWindow, WM_LBUTTONUP, 0, at);
    Sleep(300);
    return true;
}

HWND FindDialog(const std::wstring& title) {
    DWORD pid = 0;
    GetWindowThreadProcessId(gWindow, &pid);
    struct Search {
        std::wstring title;
        HWND found;
    } s{title, nullptr};
    EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            Search* s = (Search*)lp;
            if (IsWindowVisible(h) && ClassOf(h) == L"#32770" && TextOf(h) == s->title) {
                s->found = h;
                return FALSE;
            }
            return TRUE;
        },
        (LPARAM)&s);
    return s.found;
}

DWORD Ms(const std::vector<std::wstring>& a, size_t i, DWORD fallback) {
    return i < a.size() ? (DWORD)_wtoi(a[i].c_str()) : fallback;
}

// Switches high contrast for the window the way Windows tells a running program: the setting
// changes, then WM_SETTINGCHANGE and WM_SYSCOLORCHANGE arrive. Wine keeps the setting off, so
// the window's stand-in, VLPDF_HIGH_CONTRAST in its own environment, is changed instead: by a
// thread started in its process at msvcrt's _wputenv.
// The address of a function in another process: the library's base there plus the function's
// offset here (the library may lie elsewhere there when something took its preferred place).
LPTHREAD_START_ROUTINE RemoteProc(DWORD pid, const wchar_t* dll, const char* name) {
    HMODULE here = LoadLibraryW(dll);
    FARPROC proc = here ? GetProcAddress(here, name) : nullptr;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (!proc || snap == INVALID_HANDLE_VALUE) return nullptr;
    BYTE* base = nullptr;
    MODULEENTRY32W m{};
    m.dwSize = sizeof(m);
    for (BOOL ok = Module32FirstW(snap, &m); ok && !base; ok = Module32NextW(snap, &m)) {
        if (_wcsicmp(m.szModule, dll) == 0) base = m.modBaseAddr;
    }
    CloseHandle(snap);
    if (!base) return nullptr;
    return (LPTHREAD_START_ROUTINE)(void*)(base + ((BYTE*)(void*)proc - (BYTE*)here));
}

bool SwitchHighContrast(bool on) {
    DWORD pid = 0;
    GetWindowThreadProcessId(gWindow, &pid);
    LPTHREAD_START_ROUTINE putenv = RemoteProc(pid, L"msvcrt.dll", "_wputenv");
    if (!putenv) {
        fprintf(stderr, "high-contrast: msvcrt's _wputenv not found in process %lu\n", pid);
        return false;
    }
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    if (!process) return false;
    std::wstring setting = on ? L"VLPDF_HIGH_CONTRAST=1" : L"VLPDF_HIGH_CONTRAST=";
    size_t bytes = (setting.size() + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    DWORD result = 1;
    if (remote && WriteProcessMemory(process, remote, setting.c_str(), bytes, nullptr)) {
        HANDLE thread = CreateRemoteThread(process, nullptr, 0, putenv, remote, 0, nullptr);
        if (thread && WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0) GetExitCodeThread(thread, &result);
        if (thread) CloseHandle(thread);
    }
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    if (result != 0) {
        fprintf(stderr, "high-contrast: setting the variable in process %lu failed (%lu)\n", pid, result);
        return false;
    }
    SendMessageTimeoutW(gWindow, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, (LPARAM)L"", SMTO_ABORTIFHUNG, 5000, nullptr);
    SendMessageTimeoutW(gWindow, WM_SYSCOLORCHANGE, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
    Sleep(300);
    return true;
}

bool DumpModules() {
    DWORD pid = 0;
    GetWindowThreadProcessId(gWindow, &pid);
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snap == INVALID_HANDLE_VALUE) return false;
    MODULEENTRY32W m{};
    m.dwSize = sizeof(m);
    for (BOOL ok = Module32FirstW(snap, &m); ok; ok = Module32NextW(snap, &m)) {
        printf("module|%ls\n", m.szExePath);
    }
    CloseHandle(snap);
    return true;
}

// Suspends (or resumes) every thread of the window's process.
bool SuspendWindowProcess(bool suspend) {
    DWORD pid = 0;
    GetWindowThreadProcessId(gWindow, &pid);
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return false;
    int done = 0;
    THREADENTRY32 t{};
    t.dwSize = sizeof(t);
    for (BOOL ok = Thread32First(snap, &t); ok; ok = Thread32Next(snap, &t)) {
        if (t.th32OwnerProcessID != pid) continue;
        HANDLE h = OpenThread(THREAD_SUSPEND_RESUME, FALSE, t.th32ThreadID);
        if (h && (suspend ? SuspendThread(h) : ResumeThread(h)) != (DWORD)-1) done++;
        if (h) CloseHandle(h);
    }
    CloseHandle(snap);
    return done > 0;
}

bool Run(const std::vector<std::wstring>& a) {
    const std::wstring& cmd = a[0];
    if (cmd == L"wait-window") {
        gWindow = WaitForReadyInstallerWindow(Ms(a, 1, 30000));
        return gWindow != nullptr;
    }
    if (!gWindow && cmd.rfind(L"dialog", 0) != 0) return false;
    if (cmd == L"dump") {
        DumpWindow();
        return true;
    }
    if (cmd == L"modules") return DumpModules();
    if (cmd == L"freeze" || cmd == L"thaw") return SuspendWindowProcess(cmd == L"freeze");
    if (cmd == L"wait-child" && a.size() > 1) {
        return WaitFor(Ms(a, 2, 30000), [&] { return FindChild(gWindow, a[1]) != nullptr; });
    }
    if (cmd == L"wait-gone") {
        return WaitFor(Ms(a, 1, 30000), [] { return !IsWindow(gWindow) || !IsWindowVisible(gWindow); });
    }
    if (cmd == L"click" && a.size() > 1) {
        HWND h = FindChild(gWindow, a[1]);
        if (!h || !IsWindowEnabled(h)) return false;
        PostMessageW(h, BM_CLICK, 0, 0);
        Sleep(300);
        return true;
    }
    if (cmd == L"click-then-close" && a.size() > 1) {
        // Esc and the close box right behind the click, while the click's work is under way.
        HWND h = FindChild(gWindow, a[1]);
        if (!h || !IsWindowEnabled(h)) return false;
        PostMessageW(h, BM_CLICK, 0, 0);
        PostKey(h, VK_ESCAPE);
        PostMessageW(gWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
        return true;
    }
    if (cmd == L"set-text" && a.size() > 2) {
        HWND h = FindChild(gWindow, a[1]);
        if (!h) return false;
        SendMessageTimeoutW(h, WM_SETTEXT, 0, (LPARAM)a[2].c_str(), SMTO_ABORTIFHUNG, 2000, nullptr);
        return true;
    }
    if (cmd == L"click-link") return ClickOptionsLink();
    if (cmd == L"click-install") {
        HWND h = FindInstallButton();
        if (!h) return false;
        PostMessageW(h, BM_CLICK, 0, 0);
        return true;
    }
    if (cmd == L"key" && a.size() > 1 && KeyCode(a[1])) {
        HWND focus = FocusedControl(gWindow);
        PostKey(focus ? focus : gWindow, KeyCode(a[1]));
        Sleep(300);
        return true;
    }
    if (cmd == L"high-contrast" && a.size() > 1) return SwitchHighContrast(a[1] == L"1");
    if (cmd == L"close") {
        PostMessageW(gWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
        Sleep(300);
        return true;
    }
    if (cmd == L"tabs" && a.size() > 1) {
        for (int i = 0; i < _wtoi(a[1].c_str()); i++) {
            HWND focus = FocusedControl(gWindow);
            PostKey(focus ? focus : gWindow, VK_TAB);
            Sleep(150);
            HWND now = FocusedControl(gWindow);
            printf("tab|%s\n", now ? Utf8(TextOf(now).empty() ? ClassOf(now) : TextOf(now)).c_str() : "");
        }
        return true;
    }
    if (cmd == L"progress") {
        HWND bar = nullptr;
        if (!WaitFor(30000, [&] { return (bar = FindChild(gWindow, PROGRESS_CLASSW)) != nullptr; })) return false;
        int last = -1;
        while (IsWindow(bar)) {
            int pos = (int)SendMessageW(bar, PBM_GETPOS, 0, 0);
            int max = (int)SendMessageW(bar, PBM_GETRANGE, FALSE, 0);
            if (IsWindow(bar) && pos != last) {
                printf("step|%d|%d\n", pos, max);
                fflush(stdout);
                last = pos;
            }
            Sleep(5);
        }
        return true;
    }
    if (cmd == L"rect") {
        RECT r;
        GetWindowRect(gWindow, &r);
        printf("rect|%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
        POINT origin{0, 0};
        GetClientRect(gWindow, &r);
        ClientToScreen(gWindow, &origin);
        printf("client-rect|%ldx%ld+%ld+%ld\n", r.right, r.bottom, origin.x, origin.y);
        return true;
    }
    if (cmd == L"dialog" && a.size() > 1) {
        HWND d = nullptr;
        if (!WaitFor(Ms(a, 2, 30000), [&] { return (d = FindDialog(a[1])) != nullptr; })) return false;
        printf("dialog|title|%s\n", Utf8(TextOf(d)).c_str());
        for (HWND h : Children(d)) {
            if (IsWindowVisible(h)) printf("dialog|%s|%s\n", Utf8(ClassOf(h)).c_str(), Utf8(TextOf(h)).c_str());
        }
        LONG ex = GetWindowLongW(d, GWL_EXSTYLE);
        printf("dialog|rtl|%d\n", (ex & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING)) ? 1 : 0);
        return true;
    }
    if (cmd == L"dialog-click" && a.size() > 2) {
        HWND d = FindDialog(a[1]);
        HWND b = d ? FindChild(d, a[2]) : nullptr;
        if (!b) return false;
        PostMessageW(b, BM_CLICK, 0, 0);
        Sleep(300);
        return true;
    }
    if (cmd == L"dialog-rect" && a.size() > 1) {
        HWND d = FindDialog(a[1]);
        RECT r;
        if (!d || !GetWindowRect(d, &r)) return false;
        printf("rect|%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
        return true;
    }
    if (cmd == L"dialog-close" && a.size() > 1) {
        HWND d = FindDialog(a[1]);
        if (!d) return false;
        PostMessageW(d, WM_CLOSE, 0, 0);
        return true;
    }
    if (cmd == L"dialog-gone" && a.size() > 1) {
        return WaitFor(Ms(a, 2, 30000), [&] { return FindDialog(a[1]) == nullptr; });
    }
    return false;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    return RunCommandGroups(argc, argv, Run);
}
