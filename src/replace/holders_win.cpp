#include <windows.h>
#include <restartmanager.h>
#include <tlhelp32.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/log.h"
#include "base/clock.h"
#include "base/process_win.h"
#include "base/system_lib.h"
#include "base/wide_win.h"
#include "replace/holders.h"
#include "replace/replace_rules.h"

namespace {
constexpr int kMaxServiceDepth = 8;
constexpr DWORD kServicePollMs = 500;
constexpr DWORD kServiceStopTimeoutMs = 15000;
constexpr DWORD kTerminateWaitMs = 10000;
}  // namespace

bool WaitServiceStopped(void* service, StrView name) {
    DWORD slept = 0;
    for (;;) {
        SERVICE_STATUS st{};
        if (!QueryServiceStatus((SC_HANDLE)service, &st)) {
            Logf("WaitServiceStopped('%s'): QueryServiceStatus failed err=%u\n", name.CStr(), (unsigned)GetLastError());
            return false;
        }
        if (st.dwCurrentState == SERVICE_STOPPED) {
            return true;
        }
        if (slept >= kServiceStopTimeoutMs) {
            Logf("WaitServiceStopped('%s'): timed out (state=%u)\n", name.CStr(), (unsigned)st.dwCurrentState);
            return false;
        }
        SleepMs(kServicePollMs);
        slept += kServicePollMs;
    }
}

DependentServicesFunc gDependentServicesFunc = SystemDependentServices;

// Only when the system answers the size query with "more data" and a size are they listed.
bool SystemDependentServices(void* service, Vec<ServiceName>* out) {
    DWORD needed = 0, count = 0;
    if (EnumDependentServicesW((SC_HANDLE)service, SERVICE_ACTIVE, nullptr, 0, &needed, &count) ||
        GetLastError() != ERROR_MORE_DATA || needed == 0) {
        return true;
    }
    auto* deps = (ENUM_SERVICE_STATUSW*)ArenaAlloc(GetTempArena(), needed, true);
    if (!deps) {
        SetLastError(ERROR_OUTOFMEMORY);
        return false;
    }
    if (!EnumDependentServicesW((SC_HANDLE)service, SERVICE_ACTIVE, deps, needed, &needed, &count)) {
        return false;
    }
    for (DWORD i = 0; i < count; i++) {
        out->Append({U(deps[i].lpServiceName), U(deps[i].lpDisplayName)});
    }
    return true;
}

void StopServiceAndDependents(void* manager, StrView name, int depth) {
    if (depth > kMaxServiceDepth || name.IsEmpty()) {
        return;
    }
    TempArenaScope scope;
    name = str::DupTemp(name);
    SC_HANDLE svc = OpenServiceW((SC_HANDLE)manager, W(name),
                                 SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS | SERVICE_STOP);
    if (!svc) {
        Logf("StopServiceAndDependents('%s'): OpenService failed err=%u\n", name.CStr(), (unsigned)GetLastError());
        return;
    }
    SERVICE_STATUS st{};
    if (QueryServiceStatus(svc, &st) && st.dwCurrentState == SERVICE_STOPPED) {
        if (depth == 0) {
            Logf("StopServiceAndDependents('%s'): already stopped\n", name.CStr());
        }
        CloseServiceHandle(svc);
        return;
    }
    Vec<ServiceName> deps(GetTempArena());
    if (!gDependentServicesFunc(svc, &deps)) {
        Logf("StopServiceAndDependents('%s'): EnumDependentServices failed err=%u\n", name.CStr(),
             (unsigned)GetLastError());
    } else if (deps.len > 0) {
        Logf("StopServiceAndDependents('%s'): %u active dependent(s)\n", name.CStr(), (unsigned)deps.len);
        for (const ServiceName& dep : deps) {
            Logf("  dependent: '%s' (display '%s')\n", dep.name.CStr(), dep.displayName.CStr());
            StopServiceAndDependents(manager, dep.name, depth + 1);
        }
    }
    if (ControlService(svc, SERVICE_CONTROL_STOP, &st)) {
        Logf("StopServiceAndDependents('%s'): stop requested\n", name.CStr());
        if (WaitServiceStopped(svc, name)) {
            Logf("StopServiceAndDependents('%s'): stopped\n", name.CStr());
        }
    } else {
        DWORD err = GetLastError();
        if (err != ERROR_SERVICE_NOT_ACTIVE) {
            Logf("StopServiceAndDependents('%s'): ControlService(STOP) failed err=%u\n", name.CStr(), (unsigned)err);
        }
    }
    CloseServiceHandle(svc);
}

void StopWindowsSearchService() {
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!scm) {
        Logf("StopWindowsSearchService: OpenSCManager failed err=%u\n", (unsigned)GetLastError());
        return;
    }
    StopServiceAndDependents(scm, "WSearch", 0);
    CloseServiceHandle(scm);
}

void StartWindowsSearchService() {
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!scm) {
        return;
    }
    SC_HANDLE svc = OpenServiceW(scm, L"WSearch", SERVICE_QUERY_STATUS | SERVICE_START);
    if (svc) {
        SERVICE_STATUS st{};
        if (!QueryServiceStatus(svc, &st) || st.dwCurrentState != SERVICE_RUNNING) {
            if (StartServiceW(svc, 0, nullptr)) {
                Log("StartWindowsSearchService: start requested\n");
            } else if (GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
                Logf("StartWindowsSearchService: StartService failed err=%u\n", (unsigned)GetLastError());
            }
        }
        CloseServiceHandle(svc);
    }
    CloseServiceHandle(scm);
}

namespace {
// The Restart Manager is not a KnownDLL: it is loaded from the system directory by hand.
struct RestartManager {
    decltype(&RmStartSession) startSession = nullptr;
    decltype(&RmRegisterResources) registerResources = nullptr;
    decltype(&RmGetList) getList = nullptr;
    decltype(&RmEndSession) endSession = nullptr;
};

const RestartManager* GetRestartManager() {
    static RestartManager rm = [] {
        RestartManager r;
        HMODULE lib = LoadSystemLibrary(L"rstrtmgr.dll");
        if (lib) {
            r.startSession = (decltype(r.startSession))(void*)GetProcAddress(lib, "RmStartSession");
            r.registerResources = (decltype(r.registerResources))(void*)GetProcAddress(lib, "RmRegisterResources");
            r.getList = (decltype(r.getList))(void*)GetProcAddress(lib, "RmGetList");
            r.endSession = (decltype(r.endSession))(void*)GetProcAddress(lib, "RmEndSession");
        }
        return r;
    }();
    return &rm;
}
}  // namespace

HolderListFunc gHolderListFunc = RestartManagerHoldersTemp;

StrView ProcessesHoldingFileTemp(StrView path) {
    return gHolderListFunc(path);
}

StrView RestartManagerHoldersTemp(StrView path) {
    if (path.IsEmpty()) {
        return {};
    }
    const RestartManager* rm = GetRestartManager();
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    bool loaded = rm->startSession && rm->registerResources && rm->getList && rm->endSession;
    DWORD err = loaded ? rm->startSession(&session, 0, key) : ERROR_PROC_NOT_FOUND;
    if (err != ERROR_SUCCESS) {
        Logf("ProcessesHoldingFile: RmStartSession failed err=%u\n", (unsigned)err);
        return {};
    }
    Str list(GetTempArena());
    StrView pathZ = str::DupTemp(path);
    LPCWSTR files[1] = {W(pathZ)};
    err = rm->registerResources(session, 1, files, 0, nullptr, 0, nullptr);
    if (err != ERROR_SUCCESS) {
        Logf("ProcessesHoldingFile: RmRegisterResources failed err=%u path='%s'\n", (unsigned)err, pathZ.CStr());
    } else {
        UINT needed = 0, count = 0;
        DWORD reasons = 0;
        err = rm->getList(session, &needed, &count, nullptr, &reasons);
        if (err != ERROR_SUCCESS && err != ERROR_MORE_DATA) {
            Logf("ProcessesHoldingFile: RmGetList (size) failed err=%u\n", (unsigned)err);
        } else if (needed == 0) {
            Logf("ProcessesHoldingFile: no holders for '%s'\n", pathZ.CStr());
        } else {
            count = needed;
            auto* infos = (RM_PROCESS_INFO*)ArenaAlloc(GetTempArena(), sizeof(RM_PROCESS_INFO) * count, true);
            err = infos ? rm->getList(session, &needed, &count, infos, &reasons) : ERROR_OUTOFMEMORY;
            if (err != ERROR_SUCCESS) {
                Logf("ProcessesHoldingFile: RmGetList failed err=%u\n", (unsigned)err);
            } else {
                for (UINT i = 0; i < count; i++) {
                    StrView app = U(infos[i].strAppName);
                    if (app.IsEmpty()) {
                        app = "(unknown)";
                    }
                    DWORD pid = infos[i].Process.dwProcessId;
                    Logf("ProcessesHoldingFile: holder pid=%u app='%s' type=%u\n", (unsigned)pid, app.CStr(),
                         (unsigned)infos[i].ApplicationType);
                    AppendHolderLine(list, app, pid);
                }
            }
        }
    }
    rm->endSession(session);
    return str::View(list);
}

namespace {
// Terminates with exit code 0 and waits for the end; false when it cannot be opened.
bool TerminateAndWait(DWORD pid) {
    HANDLE proc = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, pid);
    if (!proc) {
        return false;
    }
    bool ok = TerminateProcess(proc, 0) != 0;
    WaitForSingleObject(proc, kTerminateWaitMs);
    CloseHandle(proc);
    return ok;
}

// Calls fn for each module path of the process until it returns true. A process whose first
// thread has not run yet has no module list: the snapshot fails (Windows 299, Wine 998).
template <typename Fn>
bool AnyModule(DWORD pid, Fn fn) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid);
    if (snap == INVALID_HANDLE_VALUE) {
        return false;
    }
    MODULEENTRY32W me{};
    me.dwSize = sizeof(me);
    bool found = false;
    for (BOOL ok = Module32FirstW(snap, &me); ok && !found; ok = Module32NextW(snap, &me)) {
        TempArenaScope scope;
        found = fn(U(me.szExePath));
    }
    CloseHandle(snap);
    return found;
}

// The process's executable as the system names it; empty when it cannot be asked. Known from
// the process's creation on, before its first thread runs.
StrView ProcessImageTemp(DWORD pid) {
    HANDLE proc = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!proc) {
        return {};
    }
    constexpr DWORD kMaxPath = 32768;
    auto* buf = (WCHAR*)ArenaAlloc(GetTempArena(), kMaxPath * sizeof(WCHAR));
    DWORD len = kMaxPath;
    bool ok = buf && QueryFullProcessImageNameW(proc, 0, buf, &len);
    CloseHandle(proc);
    return ok ? U(buf, (size_t)len) : StrView();
}

// While a process runs a file or has it loaded, the system refuses to open it for writing.
// When that open succeeds, no process can list the file among its modules, and the walk
// over every process's module list (slow where reading another process's modules is) has
// nothing to find. Any failure (a missing file, no rights, read-only) leaves the walk to
// decide.
bool LoadedByNoProcess(StrView path) {
    if (path.IsEmpty()) {
        return true;
    }
    HANDLE h = CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        // Nothing is loaded from a folder that does not exist: a first installation walks
        // no process lists for it. (A missing file in an existing folder may still be held
        // under that name by a program that loaded it before it was renamed.)
        return GetLastError() == ERROR_PATH_NOT_FOUND;
    }
    CloseHandle(h);
    return true;
}

void RepaintShell() {
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (tray) {
        RedrawWindow(tray, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    RedrawWindow(GetDesktopWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}
}  // namespace

namespace {
bool IsSpared(uint32_t pid, uint32_t spared) {
    return pid == GetCurrentProcessId() || (spared != 0 && pid == spared);
}
}  // namespace

bool KillProcWithIdAndModule(uint32_t pid, StrView modulePath, uint32_t spared) {
    if (IsSpared(pid, spared)) {
        return false;
    }
    bool matched = AnyModule(pid, [&](StrView module) { return path::IsSameFile(modulePath, module); });
    if (!matched) {
        return false;
    }
    TempArenaScope scope;
    Logf("KillProcWithIdAndModule() processId=%d, modulePath=%s\n", (int)pid, str::DupTemp(modulePath).CStr());
    return TerminateAndWait(pid);
}

namespace {
// Ends the process when it has the file loaded or, found by its executable's path inside
// folder, runs it (ChooseEnding). True when it was ended.
bool EndIfHolding(DWORD pid, StrView file, StrView folder, uint32_t spared) {
    TempArenaScope scope;
    ProcessFacts facts;
    facts.pid = pid;
    facts.loadsFile = AnyModule(pid, [&](StrView module) { return path::IsSameFile(file, module); });
    if (!facts.loadsFile) {
        StrView image = ProcessImageTemp(pid);
        facts.runsFile = !image.IsEmpty() && path::IsSameFile(file, image);
        facts.image = facts.runsFile ? path::NormalizeTemp(image) : image;
    }
    switch (ChooseEnding(facts, folder, GetCurrentProcessId(), spared)) {
        case Ending::Keep:
            return false;
        case Ending::LoadsFile:
            Logf("KillProcWithIdAndModule() processId=%d, modulePath=%s\n", (int)pid, str::DupTemp(file).CStr());
            break;
        case Ending::RunsFile:
            Logf("KillProcWithIdAndImage() processId=%d, imagePath=%s\n", (int)pid, facts.image.CStr());
            break;
    }
    return TerminateAndWait(pid);
}
}  // namespace

int KillProcessesWithModule(StrView path, uint32_t spared) {
    TempArenaScope scope;
    Logf("KillProcessesWithModule: '%s'\n", str::DupTemp(path).CStr());
    if (LoadedByNoProcess(path)) {
        return 0;
    }
    // A program may run the file without a module list to show it (one still starting): it
    // is found by its executable's path too, only in the file's own folder.
    StrView folder = path::GetDirTemp(path::NormalizeTemp(path));
    int killed = 0;
    bool listed = ForEachProcess([&](const PROCESSENTRY32W& pe) {
        if (EndIfHolding(pe.th32ProcessID, path, folder, spared)) {
            Logf("  killed process with id %d\n", (int)pe.th32ProcessID);
            killed++;
        }
        return true;
    });
    if (!listed) {
        return -1;
    }
    if (killed > 0) {
        RepaintShell();
    }
    return killed;
}

bool ProcessUsesModule(uint32_t pid, StrView pathA, StrView pathB, uint32_t spared) {
    if (pid == 0 || IsSpared(pid, spared) || (pathA.IsEmpty() && pathB.IsEmpty())) {
        return false;
    }
    return AnyModule(pid, [&](StrView module) {
        return (!pathA.IsEmpty() && path::IsSameFile(pathA, module)) ||
               (!pathB.IsEmpty() && path::IsSameFile(pathB, module));
    });
}

bool KillProcWithId(uint32_t pid, uint32_t spared) {
    Logf("KillProcWithId(processId=%d)\n", (int)pid);
    if (IsSpared(pid, spared)) {
        return false;
    }
    return TerminateAndWait(pid);
}

namespace {
constexpr int kPairCount = (int)(sizeof(aside::kProductModulePairs) / sizeof(aside::kProductModulePairs[0]));

// The two paths of each product module pair under dir; the second may be empty.
void ProductModulePaths(StrView dir, StrView (*paths)[2]) {
    for (int i = 0; i < kPairCount; i++) {
        paths[i][0] = path::JoinTemp(dir, aside::kProductModulePairs[i].a);
        StrView b = aside::kProductModulePairs[i].b;
        paths[i][1] = b.IsEmpty() ? StrView() : path::JoinTemp(dir, b);
    }
}
}  // namespace

bool ProcessesUsingDir(StrView dir, int pairCount, Vec<ProcessRef>* out, uint32_t spared) {
    StrView paths[kPairCount][2];
    ProductModulePaths(dir, paths);
    bool anyLoaded = false;
    for (int i = 0; i < pairCount && i < kPairCount; i++) {
        anyLoaded = anyLoaded || !LoadedByNoProcess(paths[i][0]) || !LoadedByNoProcess(paths[i][1]);
    }
    if (!anyLoaded) {
        return true;
    }
    return ForEachProcess([&](const PROCESSENTRY32W& pe) {
        for (int i = 0; i < pairCount && i < kPairCount; i++) {
            if (ProcessUsesModule(pe.th32ProcessID, paths[i][0], paths[i][1], spared)) {
                out->Append(ProcessRef{U(pe.szExeFile), (uint32_t)pe.th32ProcessID});
                break;
            }
        }
        return true;
    });
}

bool KillProcessesUsingInstallationDir(StrView dir, int* ended, uint32_t spared) {
    TempArenaScope scope;
    dir = str::DupTemp(dir);
    Logf("KillProcessesUsingInstallationDir('%s')\n", dir.CStr());
    if (dir.IsEmpty()) {
        return true;
    }
    Vec<ProcessRef> users(GetTempArena());
    if (!ProcessesUsingDir(dir, kPairCount, &users, spared)) {
        return false;
    }
    bool allOk = true;
    for (int32_t i = 0; i < users.len; i++) {
        Logf("  attempting to kill process %d '%s'\n", (int)users.els[i].pid, users.els[i].name.CStr());
        bool killed = KillProcWithId(users.els[i].pid, spared);
        Logf("  KillProcWithId(%d) returned %d\n", (int)users.els[i].pid, (int)killed);
        allOk = allOk && killed;
        if (killed && ended) {
            (*ended)++;
        }
    }
    StrView paths[kPairCount][2];
    ProductModulePaths(dir, paths);
    for (auto& pair : paths) {
        for (StrView p : pair) {
            if (p.IsEmpty() || !file::Exists(p)) {
                continue;
            }
            int killed = KillProcessesWithModule(p, spared);
            if (killed > 0) {
                Logf("  KillProcessesWithModule('%s') killed=%d\n", p.CStr(), killed);
                if (ended) {
                    *ended += killed;
                }
            }
        }
    }
    return allOk;
}

bool StopWatcher(StrView dir) {
    bool stopped = false;
    HANDLE quit = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\vlpdf-watch-quit");
    if (quit) {
        stopped = SetEvent(quit) != 0;
        CloseHandle(quit);
    }
    if (dir.IsEmpty()) {
        return stopped;
    }
    TempArenaScope scope;
    StrView watcher = path::JoinTemp(dir, "plugins\\pdfwatch\\vlpdf-watch.exe");
    if (file::Exists(watcher) && KillProcessesWithModule(watcher) > 0) {
        stopped = true;
    }
    return stopped;
}
