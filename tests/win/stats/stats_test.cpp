// The installation report against a real loopback HTTP server, with the stand-in
// HardwareId.dll from the product archive this test program carries as its own payload.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>

#include <set>
#include <string>

#include "base/arena.h"
#include "base/file.h"
#include "base/log_sinks.h"
#include "integration/registry.h"
#include "archive/archive.h"
#include "archive/extract.h"
#include "reg_test.h"
#include "stats/hardware_id.h"
#include "stats/stats.h"
#include "stats_server.h"

using namespace regtest;
using namespace statstest;

namespace {
const char* kKey = "Software\\VLPdf";
const char* kExpectedVersion = "5.4.3";  // this program's product version 5.4.3.2, see stats_tests.rc

std::string TempPath(const std::string& name) {
    TempArenaScope scope;
    return path::JoinTemp(logsink::TempDirTemp(), name.c_str()).CStr();
}

void MakeDirs(const std::string& dir) {
    TempArenaScope scope;
    ASSERT_TRUE(dir::CreateAll(dir.c_str())) << dir;
}

// The archive's HardwareId.dll.
const std::string& ArchivedHardwareId() {
    static const std::string bytes = [] {
        EXPECT_TRUE(OpenEmbeddedFilesArchive(true));
        StrView data;
        EXPECT_TRUE(DecodeArchivedHardwareId(GetOpenedArchive(), &data));
        std::string copy(data.s, (size_t)data.len);
        free((void*)data.s);
        return copy;
    }();
    return bytes;
}

// Writes the archive's HardwareId.dll, with extra bytes after it, into dir.
void ExtractHardwareId(const std::string& dir, const std::string& extra = "") {
    MakeDirs(dir);
    TempArenaScope scope;
    std::string bytes = ArchivedHardwareId() + extra;
    StrView data(bytes.data(), (int32_t)bytes.size());
    EXPECT_TRUE(file::WriteFile(path::JoinTemp(dir.c_str(), kHardwareIdDll), data));
}

using HwIdFn = int (*)(wchar_t*, int);

// The library's own answers, which the report must carry.
struct HwIdTexts {
    std::string id, system;
};

HwIdTexts AskLibrary(const std::string& dir) {
    HwIdTexts t;
    HMODULE lib = LoadLibraryW(Wide(dir + "\\HardwareId.dll").c_str());
    EXPECT_NE(lib, nullptr);
    if (!lib) return t;
    wchar_t buf[64] = {};
    if (((HwIdFn)(void*)GetProcAddress(lib, "HwId_Generate"))(buf, 33) == 0) t.id = Narrow(buf);
    if (((HwIdFn)(void*)GetProcAddress(lib, "SystemInfo_Get"))(buf, 32) == 0) t.system = Narrow(buf);
    FreeLibrary(lib);
    return t;
}

std::string WindowsVersion() {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    auto fn = (RtlGetVersionFn)(void*)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof(v);
    fn(&v);
    return std::to_string(v.dwMajorVersion) + "." + std::to_string(v.dwMinorVersion) + "." +
           std::to_string(v.dwBuildNumber);
}

std::string SpacesEncoded(std::string s) {
    for (size_t at; (at = s.find(' ')) != std::string::npos;) s.replace(at, 1, "%20");
    return s;
}

// The report as the statistics thread builds it: with the library in libraryDir when it is
// the archive's copy.
std::string Build(const std::string& libraryDir, const std::string& exeName) {
    const std::string& expected = ArchivedHardwareId();
    HardwareIdLib lib = LoadHardwareIdLib(libraryDir.c_str(), StrView(expected.data(), (int32_t)expected.size()));
    char url[kStatsUrlCap];
    int32_t n = BuildStatsUrl("install", lib, exeName.c_str(), url, kStatsUrlCap);
    FreeHardwareIdLib(&lib);
    EXPECT_EQ(n, (int32_t)strlen(url));
    return url;
}

std::string Query(const std::string& system, const std::string& machineId, const std::string& exeName) {
    return std::string("?type=install&version=") + kExpectedVersion + "&system=" + system +
           "&product=dizezodu&64bit=true&machineid=" + machineId + "&exeName=" + exeName + "&encoding=utf8";
}

void SetEnv(const wchar_t* name, const std::string& value) {
    SetEnvironmentVariableW(name, Wide(value).c_str());
}

void ClearIdentity() {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"Software\\VLPdf", KEY_WOW64_32KEY, 0);
    RegDeleteKeyExW(HKEY_CURRENT_USER, L"Software\\VLPdf", KEY_WOW64_32KEY, 0);
}

int64_t GetSize(const std::string& path) {
    TempArenaScope scope;
    return file::GetSize(path.c_str());
}

double MillisecondsSince(LARGE_INTEGER start) {
    LARGE_INTEGER now, freq;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&freq);
    return (double)(now.QuadPart - start.QuadPart) * 1000.0 / (double)freq.QuadPart;
}

bool Exists(const std::string& path) {
    return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The folder named by the log line "SendInstallStats: sending, dir '...', package '...'".
std::string SentDir(const std::string& logged) {
    size_t from = logged.find("dir '"), to = logged.find("', package 'stats_tests.exe'\n");
    return from == std::string::npos || to == std::string::npos ? "" : logged.substr(from + 5, to - from - 5);
}

}  // namespace

// First in the program: the first step runs before any archive is opened. A limited run
// keeps its library in its own temporary folder's "vlpdf-stats".
TEST(SendInstallStats, NeedsTheArchiveHonoursTheSwitchAndNeverWaitsForTheServer) {
    ClearIdentity();
    auto limited = [] { SendInstallStats(TokenKind::Limited); };
    EXPECT_EQ(LoggedDuring(limited), "SendInstallStats: no archive\n");
    ASSERT_TRUE(OpenEmbeddedFilesArchive(true));
    StatsServer server;
    SetEnv(L"VLPDF_STATS_URL", server.Base());
    std::string dir = TempPath("vlpdf-stats");
    std::string lib = dir + "\\HardwareId.dll";
    // Another file under the library's name is replaced, never used.
    ExtractHardwareId(dir, "left by someone else");
    std::string sending = "SendInstallStats: sending, dir '" + dir + "', package 'stats_tests.exe'\n";

    // Switched off: the library is unpacked and stays, no thread goes out.
    SetEnv(L"VLPDF_STATS_OFF", "1");
    EXPECT_EQ(LoggedDuring(limited), sending);
    Sleep(300);
    EXPECT_EQ(server.Requests().size(), 0u);
    ASSERT_TRUE(Exists(lib));
    EXPECT_EQ(GetSize(lib), (int64_t)ArchivedHardwareId().size());
    HwIdTexts texts = AskLibrary(dir);

    // Set but empty: the report goes out, once, and the thread removes its library copy.
    SetEnv(L"VLPDF_STATS_OFF", "");
    EXPECT_EQ(LoggedDuring(limited), sending);
    std::vector<Request> got = server.WaitForRequests(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].path, "/helper/statistics" + Query(SpacesEncoded(texts.system), texts.id, "stats_tests.exe"));
    EXPECT_EQ(got[0].userAgent, "vlpdf-stats");
    EXPECT_FALSE(Exists(lib));
    Sleep(300);
    EXPECT_EQ(server.Requests().size(), 1u);

    // A server that takes the request and never answers costs the caller nothing.
    StatsServer silent(true);
    SetEnv(L"VLPDF_STATS_URL", silent.Base());
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    SendInstallStats(TokenKind::Limited);
    double ms = MillisecondsSince(start);
    EXPECT_LT(ms, 100.0);
    printf("SendInstallStats returned after %.1f ms\n", ms);
    EXPECT_EQ(silent.WaitForRequests(1).size(), 1u) << "the request went out and now waits for an answer";
    SetEnvironmentVariableW(L"VLPDF_STATS_OFF", nullptr);
}

// An elevated run (and LocalSystem's) makes a folder of its own for every report, with a name
// nobody could have taken beforehand and only administrators as writers, and removes it.
TEST(SendInstallStats, ElevatedRunsUseAFolderMadeNewForEachReport) {
    ASSERT_TRUE(OpenEmbeddedFilesArchive(true));
    StatsServer server;
    SetEnv(L"VLPDF_STATS_URL", server.Base());
    std::string prefix = TempPath("vlpdf-stats-");
    std::set<std::string> seen;
    for (TokenKind kind : {TokenKind::Elevated, TokenKind::LocalSystem}) {
        SCOPED_TRACE(kind == TokenKind::Elevated ? "elevated" : "LocalSystem");
        SetEnv(L"VLPDF_STATS_OFF", "1");
        std::string off = SentDir(LoggedDuring([kind] { SendInstallStats(kind); }));
        SetEnv(L"VLPDF_STATS_OFF", "");
        std::string on = SentDir(LoggedDuring([kind] { SendInstallStats(kind); }));
        for (const std::string& dir : {off, on}) {
            EXPECT_EQ(dir.substr(0, prefix.size()), prefix);
            EXPECT_EQ(dir.size(), prefix.size() + 32) << dir;
            EXPECT_TRUE(seen.insert(dir).second) << dir << " used twice";
        }
        EXPECT_FALSE(Exists(off)) << "a report switched off leaves no folder behind";
        EXPECT_EQ(server.WaitForRequests(seen.size() / 2).size(), seen.size() / 2);
        for (int i = 0; i < 50 && Exists(on); i++) Sleep(20);
        EXPECT_FALSE(Exists(on)) << "the thread removes the folder with the library";
    }
    // Each request carried the library's own identifier: it was loaded from those folders.
    for (const Request& r : server.Requests()) {
        EXPECT_EQ(r.path.find("machineid=empty"), std::string::npos) << r.path;
    }
    SetEnvironmentVariableW(L"VLPDF_STATS_OFF", nullptr);
}

TEST(StatsUrl, CarriesEveryKeyEncodedToTheServerAndFallsBackWithoutTheLibrary) {
    ClearIdentity();
    // The library is used from the folder it was written to, and from nowhere else: not from
    // the folders above it, and not when the file there is not the archive's copy.
    std::string root = TempPath("vlpdf-stats-url");
    ExtractHardwareId(root);
    std::string nearDir = root + "\\x\\y";
    std::string farDir = root + "\\x\\y\\z";
    std::string changedDir = root + "\\changed";
    MakeDirs(farDir);
    ExtractHardwareId(changedDir, "one more byte");
    HwIdTexts lib = AskLibrary(root);
    ASSERT_EQ(lib.id.size(), 32u) << lib.id;
    ASSERT_FALSE(lib.system.empty());
    ASSERT_NE(lib.system.find(' '), std::string::npos) << "a description with spaces shows the encoding";
    ASSERT_EQ(AskLibrary(changedDir).id, lib.id) << "the changed copy still loads and answers";
    StatsServer server;
    SetEnv(L"VLPDF_STATS_URL", server.Base());
    for (const std::string& dir : {nearDir, changedDir, std::string()}) {
        EXPECT_EQ(Build(dir, "a.exe"), server.Base() + Query(WindowsVersion(), "empty", "a.exe")) << dir;
    }

    // A name with a space and letters outside ASCII, sent once, for real.
    std::string url = Build(root, "Velora Setup \xC3\xBC\xE4\xB8\xAD.exe");
    std::string query = Query(SpacesEncoded(lib.system), lib.id, "Velora%20Setup%20%C3%BC%E4%B8%AD.exe");
    EXPECT_EQ(url, server.Base() + query);
    EXPECT_TRUE(SendStatsRequest(url.c_str()));
    std::vector<Request> got = server.Requests();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].method, "GET");
    EXPECT_EQ(got[0].path, "/helper/statistics" + query);
    EXPECT_EQ(got[0].userAgent, "vlpdf-stats");

    // An identifier recorded earlier wins over a new one, and its '&' and '#' stay inside it.
    PutSz(HKEY_LOCAL_MACHINE, kKey, "hardwareid", "C0FFEE 42&machineid=x#1", KEY_WOW64_32KEY);
    EXPECT_EQ(Build(root, "a.exe"), server.Base() + Query(SpacesEncoded(lib.system),
                                                          "C0FFEE%2042%26machineid%3Dx%231", "a.exe"));

    // Without the library: the Windows version and "empty"; no name given: the recorded one,
    // per user when the machine has none.
    ClearIdentity();
    PutSz(HKEY_CURRENT_USER, kKey, "PackageName", "Old Setup.exe", KEY_WOW64_32KEY);
    EXPECT_EQ(Build(farDir, ""), server.Base() + Query(WindowsVersion(), "empty", "Old%20Setup.exe"));

    // An endpoint that cannot be split sends nothing.
    EXPECT_FALSE(SendStatsRequest("stats.velorapdf.example/helper/statistics?type=install"));
    EXPECT_EQ(server.Requests().size(), 1u);

    // Recording: both values machine-wide in the 32-bit view, none in the native one.
    ClearIdentity();
    RecordInstallIdentity(root.c_str(), "VeloraPDF-3.7-install.exe");
    ExpectSz(HKEY_LOCAL_MACHINE, kKey, "PackageName", "VeloraPDF-3.7-install.exe", KEY_WOW64_32KEY);
    ExpectSz(HKEY_LOCAL_MACHINE, kKey, "hardwareid", lib.id, KEY_WOW64_32KEY);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_64KEY));
    EXPECT_EQ(Build(farDir, ""), server.Base() + Query(WindowsVersion(), lib.id, "VeloraPDF-3.7-install.exe"));

    // A machine key the user may not write: the values go to the user's key, and are read
    // back from there.
    ClearIdentity();
    PutSz(HKEY_LOCAL_MACHINE, kKey, "other", "x", KEY_WOW64_32KEY);
    DenyEveryone(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\VLPdf");
    RecordInstallIdentity(changedDir.c_str(), "Limited Setup.exe");
    EXPECT_FALSE(Get(HKEY_LOCAL_MACHINE, kKey, "PackageName", KEY_WOW64_32KEY).exists);
    ExpectSz(HKEY_CURRENT_USER, kKey, "PackageName", "Limited Setup.exe", KEY_WOW64_32KEY);
    ExpectSz(HKEY_CURRENT_USER, kKey, "hardwareid", "empty", KEY_WOW64_32KEY);
    EXPECT_EQ(Build(farDir, ""), server.Base() + Query(WindowsVersion(), "empty", "Limited%20Setup.exe"));
    TempArenaScope scope;
    EXPECT_TRUE(DeleteRegKey(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\VLPdf", true));
    ClearIdentity();
}

TEST(HardwareIdLibrary, WritesWithinTheBufferAndFailsCleanlyWhenItIsTooSmall) {
    std::string dir = TempPath("vlpdf-stats-contract");
    ExtractHardwareId(dir);
    HMODULE lib = LoadLibraryW(Wide(dir + "\\HardwareId.dll").c_str());
    ASSERT_NE(lib, nullptr);
    auto generate = (HwIdFn)(void*)GetProcAddress(lib, "HwId_Generate");
    auto systemInfo = (HwIdFn)(void*)GetProcAddress(lib, "SystemInfo_Get");
    ASSERT_TRUE(generate && systemInfo);
    wchar_t probe[64];
    ASSERT_EQ(systemInfo(probe, 64), 0);
    int systemLen = (int)wcslen(probe);
    EXPECT_GT(systemLen, 0);
    EXPECT_LE(systemLen, 31);
    struct {
        HwIdFn fn;
        const char* name;
        int cap;
        bool ok;
        int len;
    } cases[] = {
        {generate, "HwId_Generate", 33, true, 32},   {generate, "HwId_Generate", 64, true, 32},
        {generate, "HwId_Generate", 32, false, 0},   {generate, "HwId_Generate", 1, false, 0},
        {systemInfo, "SystemInfo_Get", 32, true, systemLen},
        {systemInfo, "SystemInfo_Get", systemLen + 1, true, systemLen},
        {systemInfo, "SystemInfo_Get", systemLen, false, 0},
        {systemInfo, "SystemInfo_Get", 1, false, 0},
    };
    for (auto& c : cases) {
        wchar_t buf[80];
        wmemset(buf, L'#', 80);
        int result = c.fn(buf, c.cap);
        EXPECT_EQ(result == 0, c.ok) << c.name << " cap " << c.cap << " result " << result;
        EXPECT_EQ((int)wcsnlen(buf, 80), c.len) << c.name << " cap " << c.cap;
        for (int i = c.cap; i < 80; i++) {
            ASSERT_EQ(buf[i], L'#') << c.name << " cap " << c.cap << " wrote at " << i;
        }
    }
    EXPECT_NE(generate(nullptr, 33), 0);
    EXPECT_NE(systemInfo(nullptr, 32), 0);
    wchar_t untouched[1] = {L'#'};
    EXPECT_NE(generate(untouched, 0), 0);
    EXPECT_EQ(untouched[0], L'#');
    FreeLibrary(lib);
}
