#include <windows.h>

#include "base/arena.h"
#include "base/log.h"
#include "base/log_system.h"
#include "base/process_win.h"
#include "base/system_lib.h"
#include "base/vec.h"
#include "base/wide_win.h"

namespace {
constexpr DWORD kInternetExtendedError = 12003;
constexpr int kMaxParents = 16;

StrView InternetResponseTemp() {
    using Fn = BOOL(WINAPI*)(DWORD*, WCHAR*, DWORD*);
    HMODULE wininet = GetModuleHandleW(L"wininet.dll");
    if (!wininet) {
        wininet = LoadSystemLibrary(L"wininet.dll");
    }
    Fn fn = wininet ? (Fn)(void*)GetProcAddress(wininet, "InternetGetLastResponseInfoW") : nullptr;
    if (!fn) {
        return {};
    }
    WCHAR buf[4096];
    DWORD err = 0, n = 4095;
    if (!fn(&err, buf, &n)) {
        return {};
    }
    return U(buf, n);
}

}  // namespace

StrView GetSystemMessageTemp(uint32_t code) {
    if (code == 0) {
        code = GetLastError();
    }
    if (code == kInternetExtendedError) {
        return str::DupTemp(str::Trim(InternetResponseTemp()));
    }
    WCHAR* msg = nullptr;
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD n = FormatMessageW(flags, nullptr, code, 0, (WCHAR*)&msg, 0, nullptr);
    if (n == 0 || !msg) {
        return {};
    }
    StrView text = U(msg, n);
    LocalFree(msg);
    return str::DupTemp(str::Trim(text));
}

void LogLastError(uint32_t code) {
    if (code == 0) {
        code = GetLastError();
    }
    TempArenaScope scope;
    Logf("LogLastError: 0x%x (%d) '%s'\n", (unsigned)code, (int)code, GetSystemMessageTemp(code).CStr());
}

StrView GetLastErrorTextTemp() {
    DWORD err = GetLastError();
    if (err == 0) {
        return "no error";
    }
    StrView msg = GetSystemMessageTemp(err);
    return str::FormatTemp("0x%08lX '%.*s'", (unsigned long)err, (int)msg.len, msg.CStr());
}

namespace {
struct ProcessParent {
    DWORD pid;
    DWORD parent;
};

// Every process's parent, from one snapshot: taking a snapshot lists every process (under
// Wine a server request each), which the chain would otherwise repeat at every step.
Vec<ProcessParent> ProcessParentsTemp() {
    Vec<ProcessParent> all(GetTempArena());
    ForEachProcess([&](const PROCESSENTRY32W& pe) {
        all.Append(ProcessParent{pe.th32ProcessID, pe.th32ParentProcessID});
        return true;
    });
    return all;
}

bool FindParent(const Vec<ProcessParent>& all, DWORD pid, DWORD* parent) {
    for (int32_t i = 0; i < all.len; i++) {
        if (all.els[i].pid == pid) {
            *parent = all.els[i].parent;
            return true;
        }
    }
    return false;
}

StrView ImagePathTemp(HANDLE proc) {
    DWORD cap = MAX_PATH;
    for (int attempt = 0; attempt < 3; attempt++, cap *= 2) {
        WCHAR* buf = (WCHAR*)ArenaAlloc(GetTempArena(), cap * sizeof(WCHAR));
        DWORD n = cap;
        if (buf && QueryFullProcessImageNameW(proc, 0, buf, &n)) {
            return U(buf, n);
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            break;
        }
    }
    return {};
}

StrView CommandLineTemp(HANDLE proc) {
    using NtQueryFn = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
    constexpr ULONG kProcessCommandLineInformation = 60;
    static NtQueryFn query =
        (NtQueryFn)(void*)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess");
    if (!query) {
        return {};
    }
    ULONG size = 0;
    query(proc, kProcessCommandLineInformation, nullptr, 0, &size);
    if (size < 1 || size > 0x10000) {
        return {};
    }
    // The result is a UNICODE_STRING followed by its characters.
    struct UnicodeString {
        USHORT length;
        USHORT maxLength;
        WCHAR* buffer;
    };
    UnicodeString* us = (UnicodeString*)ArenaAlloc(GetTempArena(), size, true);
    if (!us || query(proc, kProcessCommandLineInformation, us, size, &size) < 0 || !us->buffer) {
        return {};
    }
    return U(us->buffer, us->length / 2);
}

void LogParent(int idx, DWORD pid) {
    StrView path, cmdline;
    HANDLE proc = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (proc) {
        path = ImagePathTemp(proc);
        cmdline = CommandLineTemp(proc);
        CloseHandle(proc);
    }
    if (!path.IsEmpty() && !cmdline.IsEmpty()) {
        Logf("  [%d] pid=%u path='%s'\n      cmdline='%s'\n", idx, (unsigned)pid, path.CStr(), cmdline.CStr());
    } else if (!path.IsEmpty()) {
        Logf("  [%d] pid=%u path='%s'\n      cmdline=(unavailable)\n", idx, (unsigned)pid, path.CStr());
    } else if (!cmdline.IsEmpty()) {
        Logf("  [%d] pid=%u path=(unavailable)\n      cmdline='%s'\n", idx, (unsigned)pid, cmdline.CStr());
    } else {
        Logf("  [%d] pid=%u path=(unavailable) cmdline=(unavailable)\n", idx, (unsigned)pid);
    }
}
}  // namespace

void LogParentProcessChain() {
    TempArenaScope scope;
    Log("Parent process chain:\n");
    DWORD listed[kMaxParents];
    int count = 0;
    DWORD current = GetCurrentProcessId();
    Vec<ProcessParent> all = ProcessParentsTemp();
    while (count < kMaxParents) {
        DWORD parent = 0;
        if (!FindParent(all, current, &parent) || parent == 0 || parent == current) {
            break;
        }
        for (int i = 0; i < count; i++) {
            if (listed[i] == parent) {
                Logf("  [%d] pid=%u (cycle, stop)\n", count, (unsigned)parent);
                return;
            }
        }
        LogParent(count, parent);
        listed[count++] = parent;
        current = parent;
    }
    if (count == 0) {
        Log("  (none / unknown)\n");
    }
}
