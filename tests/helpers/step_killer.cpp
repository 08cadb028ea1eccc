// Test helper that ends the installer at a chosen step or at a chosen instant. It serves the
// installer's logger pipe and records every line to a transcript.
//   step_killer <step> <transcript>
// With a <step>, the pipe has no buffer, so the installer waits in each log write until the
// line is read: after reading the first line that begins with <step> it terminates the
// installer, which is then stopped exactly between that step and the next one.
//   step_killer @<ms> <transcript>
// Terminates the installer <ms> milliseconds after it connected, wherever it is: inside a
// file's write as well as between steps. The pipe then has a buffer, so that logging does
// not hold the installer back, and what it logged before the end is still read.
// A <step> of "-" only records a whole run (buffered too), and prints how long it took from
// the connection to the end as "elapsed <ms>".
//   step_killer <step> <transcript> hold
// Holds the installer at the step instead: creates <transcript>.held and reads on (the
// installer going on) once the caller has deleted it, so that something can happen to the
// machine exactly between that step and the next one.
//   step_killer <step> <transcript> leave <program> <arguments>
// Terminates the installer as above, but first leaves "<program>" <arguments> as a run ended
// inside its CreateProcess leaves it (starting_process.h): holding its executable, never
// running. Prints "left <pid> starting", or "left nothing err=<error>" when it cannot be
// created (its file not written yet).
// Every line read (the greeting left out) is appended to <transcript>, so its line count is
// the number of steps the installer logged; the file is created once the pipe exists, so a
// caller can wait for it before starting the installer. Exit code: 0 when the installer was
// terminated after the step or at the instant (or, with "-", when it ended by itself), 3 when
// it ended before, 2 on a usage or system error.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <atomic>
#include <string>

#include "command_groups.h"
#include "starting_process.h"

namespace {
constexpr wchar_t kPipeName[] = L"\\\\.\\pipe\\LOCAL\\Brannoch-Logger";

// The command line left starting at the end; empty for none.
std::wstring gLeave;

void LeaveStarting() {
    if (gLeave.empty()) {
        return;
    }
    PROCESS_INFORMATION pi{};
    if (!StartStillStarting(gLeave, &pi)) {
        printf("left nothing err=%lu\n", GetLastError());
        return;
    }
    printf("left %lu starting\n", pi.dwProcessId);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

bool TerminateClient(HANDLE pipe) {
    LeaveStarting();
    ULONG pid = 0;
    if (!GetNamedPipeClientProcessId(pipe, &pid)) {
        return false;
    }
    HANDLE proc = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!proc) {
        return false;
    }
    bool ok = TerminateProcess(proc, 9) && WaitForSingleObject(proc, 10000) == WAIT_OBJECT_0;
    CloseHandle(proc);
    return ok;
}

struct Timer {
    HANDLE pipe;
    DWORD ms;
    // -1 pending, 2 terminating, 1 terminated, 0 not terminated (the installer ended first)
    std::atomic<int> outcome{-1};
};

DWORD WINAPI TerminateLater(void* arg) {
    Timer* t = (Timer*)arg;
    Sleep(t->ms);
    int pending = -1;
    if (t->outcome.compare_exchange_strong(pending, 2)) {
        t->outcome = TerminateClient(t->pipe) ? 1 : 0;
    }
    return 0;
}

// Whether a line of the text begins with step.
bool HasStep(const char* text, DWORD len, const std::string& step) {
    for (DWORD i = 0; i < len; i++) {
        bool lineStart = i == 0 || text[i - 1] == '\n';
        if (lineStart && len - i >= step.size() && memcmp(text + i, step.data(), step.size()) == 0) {
            return true;
        }
    }
    return false;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool hold = argc == 4 && wcscmp(argv[3], L"hold") == 0;
    bool leave = argc == 6 && wcscmp(argv[3], L"leave") == 0;
    if (argc != 3 && !hold && !leave) {
        return 2;
    }
    if (leave) {
        gLeave = std::wstring(L"\"") + argv[4] + L"\" " + argv[5];
    }
    bool whole = wcscmp(argv[1], L"-") == 0;
    bool timed = argv[1][0] == L'@';
    std::string step = whole || timed ? std::string() : Utf8(argv[1]);
    Timer timer;
    timer.ms = timed ? (DWORD)_wtoi(argv[1] + 1) : 0;
    // Without buffer a write completes only when this side has read it.
    DWORD buffer = step.empty() ? (1 << 20) : 0;
    HANDLE pipe = CreateNamedPipeW(kPipeName, PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1,
                                   0, buffer, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        return 2;
    }
    FILE* transcript = _wfopen(argv[2], L"wb");
    if (!transcript) {
        return 2;
    }
    fflush(transcript);
    if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) {
        return 2;
    }
    DWORD connected = GetTickCount();
    timer.pipe = pipe;
    if (timed && !CreateThread(nullptr, 0, TerminateLater, &timer, 0, nullptr)) {
        return 2;
    }
    static char buf[1 << 16];
    bool greeted = false;
    bool wasHeld = false;
    DWORD got = 0;
    while (ReadFile(pipe, buf, sizeof(buf), &got, nullptr) && got > 0) {
        const char* text = buf;
        DWORD len = got;
        if (!greeted) {
            // "app: vlpdf\n" comes first, in a write of its own.
            greeted = true;
            if (len > 5 && strncmp(text, "app: ", 5) == 0) {
                continue;
            }
        }
        fwrite(text, 1, len, transcript);
        fflush(transcript);
        if (!step.empty() && HasStep(text, len, step)) {
            if (hold) {
                std::wstring marker = std::wstring(argv[2]) + L".held";
                CloseHandle(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
                while (GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES) {
                    Sleep(20);
                }
                step.clear();
                wasHeld = true;
                continue;
            }
            fclose(transcript);
            return TerminateClient(pipe) ? 0 : 2;
        }
    }
    fclose(transcript);
    if (wasHeld) {
        return 0;
    }
    if (whole) {
        printf("elapsed %lu\n", (unsigned long)(GetTickCount() - connected));
        return 0;
    }
    if (timed) {
        // The read ends with the installer: when the instant has not come yet, it ended by itself.
        int pending = -1;
        if (timer.outcome.compare_exchange_strong(pending, 0)) {
            return 3;
        }
        while (timer.outcome == 2) {
            Sleep(10);
        }
        return timer.outcome == 1 ? 0 : 3;
    }
    return 3;
}
