// UserSDKHost: the host of the reader's plug-in web pages, which live beside it.
//   UserSDKHost.exe          opens index.html with the user's browser
//   UserSDKHost.exe --check  follows every relative href and src from index.html through
//                            the linked pages and lists the targets that are missing
// Exit codes: 0 done (--check: every target exists), 1 missing targets or no index.html,
// 2 an unknown argument. --check writes to standard output when it is redirected.
#include <windows.h>
#include <shellapi.h>

#include <ctype.h>
#include <string.h>

#include <string>
#include <vector>

#include "common/read_file.h"

namespace {

constexpr size_t kMaxPageBytes = 4u << 20;

std::wstring OwnDir() {
    wchar_t path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    std::wstring p(path, n);
    size_t slash = p.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : p.substr(0, slash + 1);
}

std::wstring Widen(const std::string& s) {
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
    std::wstring out((size_t)n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), out.data(), n);
    return out;
}

void Print(const std::wstring& line) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!out || out == INVALID_HANDLE_VALUE) return;
    std::wstring text = line + L"\r\n";
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string utf8((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), utf8.data(), n, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(out, utf8.data(), (DWORD)utf8.size(), &written, nullptr);
}

bool FileExists(const std::wstring& path) {
    DWORD attr = GetFileAttributesW(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

// "a/b/../c.html" relative to a page in dir, as a path below root; empty when the link
// leaves the host's folder, is absolute or has a scheme.
std::wstring Resolve(const std::wstring& pageDir, std::wstring link) {
    size_t cut = link.find_first_of(L"?#");
    if (cut != std::wstring::npos) link.resize(cut);
    if (link.empty() || link[0] == L'/' || link[0] == L'\\' || link.find(L':') != std::wstring::npos) return L"";
    std::vector<std::wstring> parts;
    std::wstring all = pageDir + link;
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find_first_of(L"/\\", start);
        if (end == std::wstring::npos) end = all.size();
        std::wstring part = all.substr(start, end - start);
        if (part == L"..") {
            if (parts.empty()) return L"";
            parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::wstring out;
    for (size_t i = 0; i < parts.size(); i++) out += (i ? L"\\" : L"") + parts[i];
    return out;
}

// The values of href="..." and src="..." attributes (either quote).
std::vector<std::wstring> Links(const std::string& html) {
    std::vector<std::wstring> out;
    for (const char* attr : {"href=", "src="}) {
        size_t n = strlen(attr);
        for (size_t p = html.find(attr); p != std::string::npos; p = html.find(attr, p + n)) {
            if (p > 0 && (isalnum((unsigned char)html[p - 1]) || html[p - 1] == '-')) continue;  // data-src=
            size_t q = p + n;
            if (q >= html.size() || (html[q] != '"' && html[q] != '\'')) continue;
            size_t close = html.find(html[q], q + 1);
            if (close == std::string::npos) break;
            out.push_back(Widen(html.substr(q + 1, close - q - 1)));
        }
    }
    return out;
}

int Check(const std::wstring& root) {
    if (!FileExists(root + L"index.html")) {
        Print(L"missing: index.html");
        return 1;
    }
    std::vector<std::wstring> queue = {L"index.html"};
    std::vector<std::wstring> seen = queue;
    int missing = 0;
    for (size_t i = 0; i < queue.size(); i++) {
        std::string html;
        if (ReadWholeFile((root + queue[i]).c_str(), kMaxPageBytes, &html) != 0) continue;
        size_t slash = queue[i].find_last_of(L'\\');
        std::wstring pageDir = slash == std::wstring::npos ? L"" : queue[i].substr(0, slash + 1);
        for (const std::wstring& link : Links(html)) {
            std::wstring target = Resolve(pageDir, link);
            if (target.empty()) continue;
            bool known = false;
            for (const std::wstring& s : seen) known = known || lstrcmpiW(s.c_str(), target.c_str()) == 0;
            if (known) continue;
            seen.push_back(target);
            if (!FileExists(root + target)) {
                Print(L"missing: " + queue[i] + L" -> " + link);
                missing++;
                continue;
            }
            size_t len = target.size();
            if (len > 5 && lstrcmpiW(target.c_str() + len - 5, L".html") == 0) queue.push_back(target);
        }
    }
    Print(L"checked " + std::to_wstring(seen.size()) + L" files, " + std::to_wstring(missing) + L" missing");
    return missing ? 1 : 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 1;
    std::wstring root = OwnDir();
    int rc = 2;
    if (argc == 2 && lstrcmpiW(argv[1], L"--check") == 0) {
        rc = Check(root);
    } else if (argc == 1) {
        std::wstring index = root + L"index.html";
        if (!FileExists(index)) {
            rc = 1;
        } else {
            HINSTANCE r = ShellExecuteW(nullptr, L"open", index.c_str(), nullptr, root.c_str(), SW_SHOWNORMAL);
            rc = (INT_PTR)r > 32 ? 0 : 1;
        }
    }
    LocalFree(argv);
    return rc;
}
