// Where the program finds its payload: copies of archive_load_helper in a folder of their
// own, with or without a resource, with or without a vlpdf.exe beside them.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "../../helpers/archive_builder.h"
#include "test_dir.h"

namespace {

std::wstring W(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

std::string OwnDir() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of('\\'));
}

std::string Helper(const char* name) {
    return OwnDir() + "\\" + name;
}

bool Copy(const std::string& from, const std::string& to) {
    return CopyFileW(W(from).c_str(), W(to).c_str(), FALSE) != 0;
}

// Gives the executable an RCDATA resource 1 holding these bytes.
bool AddPayload(const std::string& exe, const std::string& bytes) {
    HANDLE h = BeginUpdateResourceW(W(exe).c_str(), FALSE);
    if (!h) {
        return false;
    }
    BOOL ok = UpdateResourceW(h, RT_RCDATA, MAKEINTRESOURCEW(1), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                              (void*)bytes.data(), (DWORD)bytes.size());
    return EndUpdateResourceW(h, !ok) && ok;
}

// Runs the program and returns what it printed.
std::string RunAndCapture(const std::string& exe) {
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) {
        return "<no pipe>";
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + W(exe) + L"\"";
    BOOL started = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return "<not started>";
    }
    std::string out;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buf, sizeof(buf), &got, nullptr) && got > 0) {
        out.append(buf, got);
    }
    CloseHandle(readEnd);
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    std::string clean;
    for (char c : out) {
        if (c != '\r') {
            clean.push_back(c);
        }
    }
    return clean;
}

int64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExW(W(path).c_str(), GetFileExInfoStandard, &d)) {
        return -1;
    }
    return ((int64_t)d.nFileSizeHigh << 32) | d.nFileSizeLow;
}

std::string OneFileArchive() {
    return testpak::Build({testpak::Lzma("own.txt", "the program's own archive")});
}

std::string DamagedSecondBlock() {
    std::vector<testpak::Entry> entries = {testpak::Stored("a.txt", "fine"), testpak::Stored("b.txt", "flipped")};
    std::string bytes = testpak::Build(entries);
    bytes[bytes.size() - 2] ^= 1;
    return bytes;
}

struct LoadCase {
    const char* what;
    // Arranges the folder; returns the program to run, or "" when arranging failed.
    std::function<std::string(const TestDir&)> arrange;
    std::function<std::string()> expected;
};

TEST(EnsureEmbeddedArchiveLoaded, FindsThePayloadWhereTheProgramKeepsIt) {
    const std::string packed = Helper("archive_load_helper_packed.exe");
    const std::string bare = Helper("archive_load_helper.exe");
    const std::string probe = Helper("archive_code_probe.dll");
    const std::string testPakSize = std::to_string(FileSize(OwnDir() + "\\pak\\test_payload.pak"));
    const std::string threeEntries = "entry readme.txt 24 ok\nentry docs\\guide.txt 13092 ok\nentry logo.png 69 ok\n";
    const std::string lockFailed = "log:\nEnsureEmbeddedArchiveLoaded: LockDataResource(IDR_EMBEDDED_PAK) failed\n";

    const std::vector<LoadCase> cases = {
        {"its own resource",
         [&](const TestDir& d) { return Copy(packed, d.Path("setup.exe")) ? d.Path("setup.exe") : ""; },
         [&] {
             return "loaded=1 again=1 count=3 size=" + testPakSize + "\n" + threeEntries +
                    "log:\nEnsureEmbeddedArchiveLoaded: 3 files in IDR_EMBEDDED_PAK (" + testPakSize + " bytes)\n";
         }},
        {"vlpdf.exe beside it, never run as code",
         [&](const TestDir& d) {
             bool ok = Copy(bare, d.Path("setup.exe")) && Copy(probe, d.Path("vlpdf.exe"));
             return ok ? d.Path("setup.exe") : "";
         },
         [&] {
             return "loaded=1 again=1 count=3 size=" + testPakSize + "\n" + threeEntries +
                    "log:\nEnsureEmbeddedArchiveLoaded: 3 files in IDR_EMBEDDED_PAK (" + testPakSize + " bytes)\n";
         }},
        {"its own resource before vlpdf.exe beside it",
         [&](const TestDir& d) {
             bool ok = Copy(bare, d.Path("setup.exe")) && AddPayload(d.Path("setup.exe"), OneFileArchive()) &&
                       Copy(probe, d.Path("vlpdf.exe"));
             return ok ? d.Path("setup.exe") : "";
         },
         [&] {
             std::string size = std::to_string(OneFileArchive().size());
             return "loaded=1 again=1 count=1 size=" + size + "\nentry own.txt 25 ok\n" +
                    "log:\nEnsureEmbeddedArchiveLoaded: 1 files in IDR_EMBEDDED_PAK (" + size + " bytes)\n";
         }},
        {"no resource anywhere",
         [&](const TestDir& d) { return Copy(bare, d.Path("setup.exe")) ? d.Path("setup.exe") : ""; },
         [&] { return "loaded=0 again=0 count=0 size=-1\n" + lockFailed; }},
        {"vlpdf.exe beside it without a resource",
         [&](const TestDir& d) {
             bool ok = Copy(bare, d.Path("setup.exe")) && Copy(bare, d.Path("vlpdf.exe"));
             return ok ? d.Path("setup.exe") : "";
         },
         [&] { return "loaded=0 again=0 count=0 size=-1\n" + lockFailed; }},
        {"a corrupted archive",
         [&](const TestDir& d) {
             bool ok = Copy(bare, d.Path("setup.exe")) &&
                       AddPayload(d.Path("setup.exe"), "LzSA" + std::string(20, '\x01'));
             return ok ? d.Path("setup.exe") : "";
         },
         [&] {
             return std::string("loaded=0 again=0 count=0 size=24\n") +
                    "log:\nEnsureEmbeddedArchiveLoaded: ParseSimpleArchive failed (size=24)\n";
         }},
        {"an archive without entries",
         [&](const TestDir& d) {
             bool ok = Copy(bare, d.Path("setup.exe")) && AddPayload(d.Path("setup.exe"), testpak::Header({}));
             return ok ? d.Path("setup.exe") : "";
         },
         [&] {
             return std::string("loaded=0 again=0 count=0 size=12\n") +
                    "log:\nEnsureEmbeddedArchiveLoaded: 0 files in IDR_EMBEDDED_PAK (12 bytes)\n";
         }},
        {"one damaged file",
         [&](const TestDir& d) {
             bool ok = Copy(bare, d.Path("setup.exe")) && AddPayload(d.Path("setup.exe"), DamagedSecondBlock());
             return ok ? d.Path("setup.exe") : "";
         },
         [&] {
             std::string size = std::to_string(DamagedSecondBlock().size());
             return "loaded=1 again=1 count=2 size=" + size + "\nentry a.txt 4 ok\nentry b.txt 7 bad\n" +
                    "log:\nEnsureEmbeddedArchiveLoaded: 2 files in IDR_EMBEDDED_PAK (" + size + " bytes)\n";
         }},
    };
    for (const LoadCase& c : cases) {
        TestDir dir;
        std::string exe = c.arrange(dir);
        ASSERT_FALSE(exe.empty()) << c.what << ": arranging failed, error " << GetLastError();
        EXPECT_EQ(RunAndCapture(exe), c.expected()) << c.what;
        EXPECT_FALSE(GetFileAttributesW(W(dir.Path("code-ran.txt")).c_str()) != INVALID_FILE_ATTRIBUTES) << c.what;
    }
}

}  // namespace
