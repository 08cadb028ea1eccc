// Test helper that ends the installer at a chosen step. It serves the installer's logger
// pipe with no buffer, so the installer waits in each log write until the line is read:
// after reading the first line that begins with <step> it terminates the installer, which
// is then stopped exactly between that step and the next one.
//   step_killer <step> <transcript>
// Every line read (the greeting left out) is appended to <transcript>, so its line count is
// the number of steps the installer logged; the file is created once the pipe exists, so a
// caller can wait for it before starting the installer. A <step> of "-" only records a whole
// run. Exit code: 0 when the installer was terminated after the step (or, with "-", when it
// ended by itself), 3 when it ended without logging the step, 2 on a usage or system error.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>

namespace {
constexpr wchar_t kPipeName[] = L"\\\\.\\pipe\\LOCAL\\Brannoch-Logger";

bool TerminateClient(HANDLE pipe) {
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

std::string Utf8(const wchar_t* s) {
    int n = WideCharToMultiByte(CP_UTF8, 0, s, -1, nullptr, 0, nullptr, nullptr);
    std::string out((size_t)(n > 0 ? n - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s, -1, out.data(), n, nullptr, nullptr);
    return out;
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
    if (argc != 3) {
        return 2;
    }
    std::string step = wcscmp(argv[1], L"-") == 0 ? std::string() : Utf8(argv[1]);
    // A pipe without buffer: a write completes only when this side has read it.
    HANDLE pipe = CreateNamedPipeW(kPipeName, PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1,
                                   0, 0, 0, nullptr);
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
    static char buf[1 << 16];
    bool greeted = false;
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
            fclose(transcript);
            return TerminateClient(pipe) ? 0 : 2;
        }
    }
    fclose(transcript);
    return step.empty() ? 0 : 3;
}
