#include <gtest/gtest.h>
#include <windows.h>

#include "base/file.h"
#include "replace/holders.h"
#include "replace_test_util.h"
#include "../../helpers/starting_process.h"

namespace {
constexpr int kSelfKillSurvived = 77;
}  // namespace

int SelfKillCheck(const char* libraryPath);

namespace {
// A copy of the empty test DLL under a product name.
std::string PlaceLibrary(TestDir& dir, const std::string& name) {
    std::string path = dir.Path(name);
    CopyFileA(HelperPath("held_lib.dll").c_str(), path.c_str(), FALSE);
    return path;
}

bool Ended(const PROCESS_INFORMATION& pi) {
    return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0;
}

void EndAndClose(PROCESS_INFORMATION& pi) {
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}
}  // namespace

TEST(KillProcessesWithModule, FileNobodyHasLoadedKillsNothing) {
    TestDir dir;
    std::string path = PlaceLibrary(dir, "PdfPreview.dll");
    LogCapture log;
    EXPECT_EQ(KillProcessesWithModule(path.c_str()), 0);
    EXPECT_EQ(log.Text(), "KillProcessesWithModule: '" + path + "'\n");
}

TEST(KillProcessesWithModule, TerminatesEveryProcessThatLoadedTheFile) {
    TestDir dir;
    std::string path = PlaceLibrary(dir, "PdfPreview.dll");
    Holder a, b, other;
    ASSERT_TRUE(a.Start("load", path));
    ASSERT_TRUE(b.Start("load", path));
    std::string otherLib = PlaceLibrary(dir, "PdfFilter.dll");
    ASSERT_TRUE(other.Start("load", otherLib));
    LogCapture log;

    EXPECT_EQ(KillProcessesWithModule(path.c_str()), 2);

    EXPECT_FALSE(a.Running());
    EXPECT_FALSE(b.Running());
    EXPECT_TRUE(other.Running());
    EXPECT_TRUE(log.Has("KillProcWithIdAndModule() processId=" + std::to_string(a.Pid()) + ", modulePath=" + path +
                        "\n"))
        << log.Text();
    EXPECT_TRUE(log.Has("  killed process with id " + std::to_string(b.Pid()) + "\n"));
}

// The installer may have the very file loaded itself (extracting into its own folder): it
// must never terminate itself while freeing the file. A process that terminated itself
// would end with exit code 0 like a passing test, so a child of this program does it and
// tells by its exit code that it survived (see SelfKillCheck).
TEST(KillProcessesWithModule, NeverTerminatesTheInstallersOwnProcess) {
    TestDir dir;
    std::string path = PlaceLibrary(dir, "libtovarinpdf.dll");
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string cmd = std::string("\"") + self + "\" self-kill-check \"" + path + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    EXPECT_EQ(code, (DWORD)kSelfKillSurvived);
}

int SelfKillCheck(const char* libraryPath) {
    HMODULE lib = LoadLibraryA(libraryPath);
    if (!lib) {
        return 2;
    }
    bool survived = KillProcessesWithModule(libraryPath) == 0 &&
                    !KillProcWithIdAndModule(GetCurrentProcessId(), libraryPath) &&
                    !KillProcWithId(GetCurrentProcessId());
    FreeLibrary(lib);
    return survived ? kSelfKillSurvived : 3;
}

TEST(ProcessUsesModule, MatchesEitherPathOfAPair) {
    TestDir dir;
    std::string path = PlaceLibrary(dir, "PdfPreview.dll");
    std::string unused = dir.Path("PdfFilter.dll");
    Holder holder;
    ASSERT_TRUE(holder.Start("load", path));
    HMODULE own = LoadLibraryA(path.c_str());
    struct Case {
        DWORD pid;
        std::string a, b;
        bool expected;
    } cases[] = {
        {holder.Pid(), path, "", true},
        {holder.Pid(), "", path, true},
        {holder.Pid(), unused, path, true},
        {holder.Pid(), unused, "", false},
        {holder.Pid(), "", "", false},
        {0, path, path, false},
        {GetCurrentProcessId(), path, path, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProcessUsesModule(c.pid, c.a.c_str(), c.b.c_str()), c.expected) << c.pid << " " << c.a << " " << c.b;
    }
    FreeLibrary(own);
}

TEST(KillProcessesUsingInstallationDir, TerminatesReaderAndPreviewHost) {
    TestDir dir;
    std::string preview = PlaceLibrary(dir, "PdfPreview.dll");
    std::string reader = dir.Path("vlpdf.exe");
    CopyOrFail(HelperPath("file_holder.exe"), reader);
    Holder previewHost, readerProcess, unrelated;
    ASSERT_TRUE(previewHost.Start("load", preview));
    ASSERT_TRUE(readerProcess.Start("wait", reader, reader));
    ASSERT_TRUE(unrelated.Start("wait", dir.Path("nothing")));
    // A reader still starting has no module list yet.
    PROCESS_INFORMATION startingReader;
    ASSERT_TRUE(StartStillStarting("\"" + reader + "\"", &startingReader));
    LogCapture log;

    EXPECT_TRUE(KillProcessesUsingInstallationDir(dir.Path("").substr(0, dir.Path("").size() - 1).c_str()));

    EXPECT_FALSE(previewHost.Running());
    EXPECT_FALSE(readerProcess.Running());
    EXPECT_TRUE(unrelated.Running());
    EXPECT_TRUE(Ended(startingReader)) << log.Text();
    EndAndClose(startingReader);
    EXPECT_TRUE(log.Has("  attempting to kill process " + std::to_string(previewHost.Pid()) + " 'file_holder.exe'\n"))
        << log.Text();
    EXPECT_TRUE(log.Has("  attempting to kill process " + std::to_string(readerProcess.Pid()) + " 'vlpdf.exe'\n"));
    EXPECT_TRUE(log.Has("  KillProcWithId(" + std::to_string(readerProcess.Pid()) + ") returned 1\n"));
}

TEST(KillProcessesUsingInstallationDir, EmptyDirIsNothingToDo) {
    LogCapture log;
    EXPECT_TRUE(KillProcessesUsingInstallationDir(""));
    EXPECT_EQ(log.Text(), "KillProcessesUsingInstallationDir('')\n");
}

// The watcher goes in whatever state it is in: one running gets the quit event and is ended
// by its module list; one still starting (a parent ended inside CreateProcess left it so: no
// event, no module list) is ended by its executable's path. A program of that name elsewhere
// stays. (A link to the file from elsewhere would stay too, but Wine names a program started
// through a hard link by the file's first name: the table of ChooseEnding shows that case.)
TEST(StopWatcher, SetsTheQuitEventAndTerminatesTheWatcher) {
    TestDir dir;
    std::string base = dir.Path("");
    base.pop_back();
    CreateDirectoryA(dir.Path("plugins").c_str(), nullptr);
    CreateDirectoryA(dir.Path("plugins\\pdfwatch").c_str(), nullptr);
    std::string watcher = dir.Path("plugins\\pdfwatch\\vlpdf-watch.exe");
    CopyOrFail(HelperPath("file_holder.exe"), watcher);
    CreateDirectoryA(dir.Path("elsewhere").c_str(), nullptr);
    std::string other = dir.Path("elsewhere\\vlpdf-watch.exe");
    CopyOrFail(watcher, other);
    Holder holder;
    ASSERT_TRUE(holder.Start("wait", watcher, watcher));
    PROCESS_INFORMATION starting, elsewhere;
    ASSERT_TRUE(StartStillStarting("\"" + watcher + "\" /on", &starting));
    ASSERT_TRUE(StartStillStarting("\"" + other + "\" /on", &elsewhere));
    HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, L"Local\\vlpdf-watch-quit");
    ASSERT_NE(quit, nullptr);
    LogCapture log;

    StopWatcher(base.c_str());

    EXPECT_EQ(WaitForSingleObject(quit, 0), WAIT_OBJECT_0);
    EXPECT_FALSE(holder.Running());
    EXPECT_TRUE(Ended(starting)) << log.Text();
    EXPECT_TRUE(log.Has("KillProcWithIdAndImage() processId=" + std::to_string(starting.dwProcessId) +
                        ", imagePath=" + watcher + "\n"))
        << log.Text();
    EXPECT_FALSE(Ended(elsewhere));
    EXPECT_EQ(log.Count("  killed process with id "), 2) << log.Text();
    EndAndClose(elsewhere);
    EndAndClose(starting);
    // Nothing holds the watcher any more: it can be written.
    HANDLE h = CreateFileA(watcher.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(h);
    CloseHandle(quit);
}

namespace {
// The print spooler, running; null when it does not start.
SC_HANDLE StartSpooler(SC_HANDLE scm) {
    SC_HANDLE spooler = OpenServiceW(scm, L"Spooler", SERVICE_START | SERVICE_QUERY_STATUS);
    if (!spooler) return nullptr;
    StartServiceW(spooler, 0, nullptr);
    SERVICE_STATUS st{};
    for (int i = 0; i < 100 && QueryServiceStatus(spooler, &st) && st.dwCurrentState != SERVICE_RUNNING; i++) {
        Sleep(50);
    }
    if (st.dwCurrentState == SERVICE_RUNNING) return spooler;
    CloseServiceHandle(spooler);
    return nullptr;
}
}  // namespace

// Wine has no Windows Search service; the print spooler really stops and starts.
TEST(Services, WindowsSearchMissingIsLoggedAndSpoolerStops) {
    {
        LogCapture log;
        StopWindowsSearchService();
        EXPECT_EQ(log.Text(), "StopServiceAndDependents('WSearch'): OpenService failed err=1060\n");
    }
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    ASSERT_NE(scm, nullptr);
    SC_HANDLE spooler = StartSpooler(scm);
    ASSERT_NE(spooler, nullptr);
    {
        LogCapture log;
        StopServiceAndDependents(scm, "Spooler", 0);
        EXPECT_EQ(log.Text(),
                  "StopServiceAndDependents('Spooler'): stop requested\nStopServiceAndDependents('Spooler'): stopped\n");
    }
    {
        LogCapture log;
        StopServiceAndDependents(scm, "Spooler", 0);
        StopServiceAndDependents(scm, "Spooler", 1);
        StopServiceAndDependents(scm, "Spooler", 9);
        EXPECT_EQ(log.Text(), "StopServiceAndDependents('Spooler'): already stopped\n");
    }
    CloseServiceHandle(spooler);
    CloseServiceHandle(scm);
}

namespace {
int gDependentCalls = 0;

// The spooler as a dependent of itself: a chain as deep as the stop is willing to follow.
bool SpoolerDependsOnItself(void*, Vec<ServiceName>* out) {
    gDependentCalls++;
    out->Append({"Spooler", "Print Spooler"});
    return true;
}
}  // namespace

// Dependents are stopped before the service itself, and a chain is followed 8 levels deep:
// the innermost level stops the spooler, the ones above find it no longer active.
TEST(Services, DependentsFirstAndNoDeeperThanEightLevels) {
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    ASSERT_NE(scm, nullptr);
    SC_HANDLE spooler = StartSpooler(scm);
    ASSERT_NE(spooler, nullptr);
    SERVICE_STATUS st{};
    gDependentServicesFunc = SpoolerDependsOnItself;
    gDependentCalls = 0;
    LogCapture log;
    StopServiceAndDependents(scm, "Spooler", 0);
    gDependentServicesFunc = SystemDependentServices;

    std::string level =
        "StopServiceAndDependents('Spooler'): 1 active dependent(s)\n  dependent: 'Spooler' (display 'Print Spooler')\n";
    std::string expected;
    for (int depth = 0; depth <= 8; depth++) expected += level;
    expected += "StopServiceAndDependents('Spooler'): stop requested\nStopServiceAndDependents('Spooler'): stopped\n";
    EXPECT_EQ(log.Text(), expected);
    EXPECT_EQ(gDependentCalls, 9);
    ASSERT_TRUE(QueryServiceStatus(spooler, &st));
    EXPECT_EQ(st.dwCurrentState, (DWORD)SERVICE_STOPPED);
    CloseServiceHandle(spooler);
    CloseServiceHandle(scm);
}

TEST(ProcessesHoldingFile, EmptyPathAndWinesEmptyHolderList) {
    EXPECT_STREQ(ProcessesHoldingFileTemp("").CStr(), "");
    TestDir dir;
    std::string path = dir.Path("PdfFilter.dll");
    WriteBytes(path, "x");
    Holder holder;
    ASSERT_TRUE(holder.Start("open", path));
    LogCapture log;
    // Wine's Restart Manager names no holder; Windows would list file_holder.exe here.
    EXPECT_STREQ(ProcessesHoldingFileTemp(path.c_str()).CStr(), "");
    EXPECT_EQ(log.Text(), "ProcessesHoldingFile: no holders for '" + path + "'\n");
}
