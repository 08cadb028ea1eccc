#include "main/console.h"

#include "base/str.h"

ConsoleState DecideConsoleState(StdOutType stdoutType, const char* parentExeName) {
    if (stdoutType == StdOutType::Disk) {
        return ConsoleState::Redirected;
    }
    if (stdoutType == StdOutType::Pipe) {
        StrView parent(parentExeName);
        bool underPowerShell = str::StartsWithI(parent, "pwsh.exe") || str::StartsWithI(parent, "powershell");
        return underPowerShell ? ConsoleState::NoOutput : ConsoleState::Redirected;
    }
    return ConsoleState::NoOutput;
}
