// The stand-in reader: a window that shows the product, its version and the document it
// was started with. Its window uses the reader's two libraries, as the real reader does,
// so that a running reader holds them loaded. They are loaded when the window is made, not
// at start: an uninstalling reader must not hold the files it deletes.
//
// Command lines it meets, from the shell and from the uninstall entry:
//   vlpdf.exe [options] [file]                 a window for the file (options are ignored)
//   vlpdf.exe -print-to-default file           cannot print: says so, exit code 1
//   vlpdf.exe -print-to printer file           cannot print: says so, exit code 1
//   vlpdf.exe -uninstall [-all-users] [-silent] uninstalls the installation it belongs to:
//                                              exit code 0, or 1 with the reason
//   ... -uninstall -all-users -run-install-now  the elevated copy an all-users uninstallation
//                                              starts; the marker keeps it from restarting
//   ... -uninstall-finish dir pid -silent       a copy in the temporary folder that deletes the
//                                              reader in dir once process pid ended
//   ... -uninstall -all-users -silent -package-removal {product code}  the Windows Installer
//                                              package's own removal, which unregisters the
//                                              package itself
// With -silent (or -s) the message goes to standard output only; otherwise it is also
// shown in a message box. An uninstallation speaks Chinese, as the installer does, unless
// -for-testing lets it speak the user's language; a right-to-left language gets a
// right-to-left message box.
#include <windows.h>
#include <shellapi.h>

#include <stdio.h>
#include <wchar.h>

#include <string>

#include "common/product_info.h"
#include "tovarinpdf/tovarinpdf.h"
#include "uninstaller/uninstaller.h"
#include "usersdk/usersdk.h"

namespace {

constexpr wchar_t kWindowClass[] = L"VLPDF_STANDIN_READER";
constexpr wchar_t kTitle[] = VLPDF_PRODUCT_NAME L" " VLPDF_PRODUCT_VERSION;

// Reader options that take a value: the value is not the document.
const wchar_t* const kValueOptions[] = {
    L"page",           L"view",           L"zoom",      L"scroll",         L"named-dest", L"nameddest",
    L"lang",           L"appdata",        L"plugin",    L"print-settings", L"bg-color",   L"bgcolor",
    L"inverse-search", L"forward-search", L"fwdsearch", L"install-dir",    L"d",          L"print-to",
};

struct Command {
    bool uninstall = false;
    bool allUsers = false;
    bool relaunched = false;
    std::wstring packageRemoval;  // the product code of the package being removed
    std::wstring finishDir;
    unsigned long finishAfterPid = 0;
    bool silent = false;
    bool forTesting = false;
    bool print = false;
    std::wstring file;
};

bool IsOption(const wchar_t* arg, const wchar_t* name) {
    if (arg[0] != L'-' && arg[0] != L'/') return false;
    return _wcsicmp(arg + 1, name) == 0;
}

Command ParseCommand(int argc, wchar_t** argv) {
    Command cmd;
    for (int i = 1; i < argc; i++) {
        const wchar_t* a = argv[i];
        if (IsOption(a, L"uninstall")) {
            cmd.uninstall = true;
        } else if (IsOption(a, L"all-users") || IsOption(a, L"allusers")) {
            cmd.allUsers = true;
        } else if (IsOption(a, L"uninstall-finish") && i + 2 < argc) {
            cmd.uninstall = true;
            cmd.finishDir = argv[++i];
            cmd.finishAfterPid = wcstoul(argv[++i], nullptr, 10);
        } else if (IsOption(a, L"run-install-now")) {
            cmd.relaunched = true;
        } else if (IsOption(a, L"package-removal") && i + 1 < argc) {
            cmd.packageRemoval = argv[++i];
        } else if (IsOption(a, L"silent") || IsOption(a, L"s")) {
            cmd.silent = true;
        } else if (IsOption(a, L"for-testing")) {
            cmd.forTesting = true;
        } else if (IsOption(a, L"print-to-default") || IsOption(a, L"print-to")) {
            cmd.print = true;
            if (IsOption(a, L"print-to") && i + 1 < argc) i++;  // the printer
        } else if (a[0] == L'-') {
            for (const wchar_t* opt : kValueOptions) {
                if (IsOption(a, opt) && i + 1 < argc) {
                    i++;
                    break;
                }
            }
        } else if (cmd.file.empty()) {
            cmd.file = a;
        }
    }
    return cmd;
}

std::string Utf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string utf8((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

// Standard output of a GUI program: usable when the caller redirected it.
void WriteStdout(const std::wstring& text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!out || out == INVALID_HANDLE_VALUE) return;
    std::string utf8 = Utf8(text);
    DWORD written = 0;
    WriteFile(out, utf8.data(), (DWORD)utf8.size(), &written, nullptr);
}

int Tell(const Command& cmd, const std::wstring& message, int exitCode, bool rtl = false) {
    WriteStdout(message + L"\r\n");
    UINT icon = exitCode ? MB_ICONERROR : MB_ICONINFORMATION;
    UINT reading = rtl ? MB_RTLREADING | MB_RIGHT : 0;
    if (!cmd.silent) MessageBoxW(nullptr, message.c_str(), kTitle, MB_OK | icon | reading);
    return exitCode;
}

int Refuse(const Command& cmd, const std::wstring& message) {
    return Tell(cmd, message, 1);
}

int Uninstall(const Command& cmd) {
    std::string finishDir = Utf8(cmd.finishDir);
    std::string packageRemoval = Utf8(cmd.packageRemoval);
    UninstallRequest req;
    req.finishDir = StrView(finishDir.c_str(), (int32_t)finishDir.size());
    req.finishAfterPid = cmd.finishAfterPid;
    req.allUsers = cmd.allUsers;
    req.silent = cmd.silent;
    req.relaunched = cmd.relaunched;
    req.packageRemoval = StrView(packageRemoval.c_str(), (int32_t)packageRemoval.size());
    req.forTesting = cmd.forTesting;
    UninstallOutcome outcome = RunUninstaller(req);
    if (outcome.message.IsEmpty()) return outcome.exitCode;  // the elevated copy told the user
    int n = MultiByteToWideChar(CP_UTF8, 0, outcome.message.s, outcome.message.len, nullptr, 0);
    std::wstring text((size_t)n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, outcome.message.s, outcome.message.len, text.data(), n);
    return Tell(cmd, text, outcome.exitCode, outcome.rtl);
}

// The two libraries beside the reader, by full path (never searched for elsewhere).
struct ReaderLibraries {
    decltype(&tovarin_version) version = nullptr;
    decltype(&tovarin_probe_file) probe = nullptr;
    decltype(&UserSDK_Version) sdkVersion = nullptr;
};

FARPROC LoadBesideReader(const wchar_t* dll, const char* function) {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    wchar_t* slash = wcsrchr(path, L'\\');
    if (!slash || (size_t)(slash + 1 - path) + wcslen(dll) >= MAX_PATH) return nullptr;
    wcscpy(slash + 1, dll);
    HMODULE lib = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return lib ? GetProcAddress(lib, function) : nullptr;
}

bool LoadReaderLibraries(ReaderLibraries* libs) {
    libs->version = (decltype(&tovarin_version))(void*)LoadBesideReader(L"libtovarinpdf.dll", "tovarin_version");
    libs->probe = (decltype(&tovarin_probe_file))(void*)LoadBesideReader(L"libtovarinpdf.dll", "tovarin_probe_file");
    libs->sdkVersion = (decltype(&UserSDK_Version))(void*)LoadBesideReader(L"UserSDK.dll", "UserSDK_Version");
    return libs->version && libs->probe && libs->sdkVersion;
}

std::wstring DescribeFile(const ReaderLibraries& libs, const std::wstring& file) {
    if (file.empty()) return L"No document was given.";
    TovarinDocInfo info;
    int rc = libs.probe(file.c_str(), &info);
    wchar_t line[200];
    if (rc == 0) {
        swprintf(line, ARRAYSIZE(line), L"PDF %d.%d, %d page%ls, %llu bytes", info.pdfMajor, info.pdfMinor, info.pages,
                 info.pages == 1 ? L"" : L"s", (unsigned long long)info.fileSize);
    } else if (rc == -1) {
        swprintf(line, ARRAYSIZE(line), L"Not a PDF document, %llu bytes", (unsigned long long)info.fileSize);
    } else {
        swprintf(line, ARRAYSIZE(line), L"Cannot be read (error %d)", rc);
    }
    return L"Document: " + file + L"\n" + line;
}

// The text lives in a static control, so that tools (and tests) read it with WM_GETTEXT.
LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE: {
            HWND text = GetDlgItem(wnd, 1);
            if (text) SetWindowPos(text, nullptr, 16, 16, LOWORD(lp) - 32, HIWORD(lp) - 32, SWP_NOZORDER);
            return 0;
        }
        case WM_CTLCOLORSTATIC:
            // The text sits on the window's own background, not on a dialog-grey box.
            SetBkColor((HDC)wp, GetSysColor(COLOR_WINDOW));
            return (LRESULT)GetSysColorBrush(COLOR_WINDOW);
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(wnd, msg, wp, lp);
}

int ShowReaderWindow(HINSTANCE inst, const Command& cmd, int show) {
    ReaderLibraries libs;
    if (!LoadReaderLibraries(&libs)) {
        return Refuse(cmd, L"The reader's libraries libtovarinpdf.dll and UserSDK.dll are missing.");
    }
    int v = libs.version();
    wchar_t head[160];
    swprintf(head, ARRAYSIZE(head), L"%ls %ls (stand-in reader)\nLibrary %d.%d, SDK %ls\n\n", VLPDF_PRODUCT_NAME,
             VLPDF_PRODUCT_VERSION, v >> 8, v & 0xFF, libs.sdkVersion());
    std::wstring text = head + DescribeFile(libs, cmd.file);
    // A static control shows line breaks as CR LF only.
    for (size_t i = 0; (i = text.find(L'\n', i)) != std::wstring::npos; i += 2) text.insert(i, 1, L'\r');

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WndProc;
    wc.hInstance = inst;
    wc.hIcon = LoadIconW(inst, MAKEINTRESOURCEW(1));
    wc.hIconSm = (HICON)LoadImageW(inst, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                   GetSystemMetrics(SM_CYSMICON), 0);
    wc.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&wc)) return (int)GetLastError();

    std::wstring title = kTitle;
    if (!cmd.file.empty()) {
        size_t slash = cmd.file.find_last_of(L"\\/");
        title = cmd.file.substr(slash == std::wstring::npos ? 0 : slash + 1) + L" - " + title;
    }
    HWND wnd = CreateWindowExW(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640,
                               360, nullptr, nullptr, inst, nullptr);
    if (!wnd) return (int)GetLastError();
    HWND label = CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 16, 16, 600,
                                 300, wnd, (HMENU)1, inst, nullptr);
    if (label) SendMessageW(label, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), FALSE);
    RECT client;
    GetClientRect(wnd, &client);
    SendMessageW(wnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    ShowWindow(wnd, show);
    UpdateWindow(wnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int show) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Command cmd = argv ? ParseCommand(argc, argv) : Command{};
    if (argv) LocalFree(argv);

    if (cmd.uninstall) {
        return Uninstall(cmd);
    }
    if (cmd.print) {
        return Refuse(cmd, std::wstring(L"This is the stand-in ") + kTitle + L" reader; it cannot print" +
                               (cmd.file.empty() ? L"." : L" '" + cmd.file + L"'."));
    }
    return ShowReaderWindow(inst, cmd, show);
}
