#include <stdio.h>
#include <windows.h>

#include "base/arena.h"
#include "base/process_win.h"
#include "base/str.h"
#include "base/wide_win.h"
#include "main/console.h"

namespace {
ConsoleState gConsoleState = ConsoleState::Undetermined;
HANDLE gStdOut = nullptr;
HANDLE gStdErr = nullptr;

StdOutType TypeOf(HANDLE h) {
    if (!h || h == INVALID_HANDLE_VALUE) {
        return StdOutType::Invalid;
    }
    switch (GetFileType(h)) {
        case FILE_TYPE_DISK: return StdOutType::Disk;
        case FILE_TYPE_PIPE: return StdOutType::Pipe;
        default: return StdOutType::Other;
    }
}

StrView ParentExeNameTemp() {
    PROCESSENTRY32W self, parent;
    if (!FindProcessEntry(GetCurrentProcessId(), &self) || !FindProcessEntry(self.th32ParentProcessID, &parent)) {
        return {};
    }
    return U(parent.szExeFile);
}

void Determine() {
    if (gConsoleState != ConsoleState::Undetermined) {
        return;
    }
    gStdOut = GetStdHandle(STD_OUTPUT_HANDLE);
    gStdErr = GetStdHandle(STD_ERROR_HANDLE);
    TempArenaScope scope;
    StdOutType type = TypeOf(gStdOut);
    // Only a pipe's reader matters, and finding the parent walks every process.
    StrView parent = type == StdOutType::Pipe ? ParentExeNameTemp() : StrView{};
    gConsoleState = DecideConsoleState(type, parent.CStr());
}

bool IsFileOrPipe(HANDLE h) {
    StdOutType t = TypeOf(h);
    return t == StdOutType::Disk || t == StdOutType::Pipe;
}

void ReopenUnbuffered(const char* name, const char* mode, FILE* stream) {
    if (freopen(name, mode, stream)) {
        setvbuf(stream, nullptr, _IONBF, 0);
    }
}
}  // namespace

ConsoleState ConsoleAttach() {
    Determine();
    if (gConsoleState != ConsoleState::NoOutput || !AttachConsole(ATTACH_PARENT_PROCESS)) {
        return gConsoleState;
    }
    gConsoleState = ConsoleState::Attached;
    if (!IsFileOrPipe(gStdOut)) {
        ReopenUnbuffered("CONOUT$", "w", stdout);
    }
    if (!IsFileOrPipe(gStdErr)) {
        ReopenUnbuffered("CONOUT$", "w", stderr);
    }
    ReopenUnbuffered("CONIN$", "r", stdin);
    return gConsoleState;
}

// One Enter key press in the console's own input buffer makes the shell read an empty line
// and print its prompt again. Writing to the console rather than the system-wide input
// queue means the key can never reach another window that has the focus by then.
void ConsoleRelease() {
    if (gConsoleState != ConsoleState::Attached) {
        return;
    }
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) {
        return;
    }
    INPUT_RECORD keys[2]{};
    for (int i = 0; i < 2; i++) {
        keys[i].EventType = KEY_EVENT;
        keys[i].Event.KeyEvent.bKeyDown = i == 0;
        keys[i].Event.KeyEvent.wRepeatCount = 1;
        keys[i].Event.KeyEvent.wVirtualKeyCode = VK_RETURN;
        keys[i].Event.KeyEvent.wVirtualScanCode = (WORD)MapVirtualKeyW(VK_RETURN, MAPVK_VK_TO_VSC);
        keys[i].Event.KeyEvent.uChar.UnicodeChar = L'\r';
    }
    DWORD written = 0;
    WriteConsoleInputW(in, keys, 2, &written);
    CloseHandle(in);
}
