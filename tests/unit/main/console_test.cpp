#include <gtest/gtest.h>

#include "main/console.h"

TEST(ConsoleState, RedirectionCountsUnlessThePipeIsPowerShells) {
    struct Case {
        StdOutType type;
        const char* parent;
        ConsoleState expected;
    } cases[] = {
        {StdOutType::Disk, "cmd.exe", ConsoleState::Redirected},
        {StdOutType::Disk, "powershell.exe", ConsoleState::Redirected},
        {StdOutType::Pipe, "cmd.exe", ConsoleState::Redirected},
        {StdOutType::Pipe, "", ConsoleState::Redirected},
        {StdOutType::Pipe, "pwsh.exe", ConsoleState::NoOutput},
        {StdOutType::Pipe, "PWSH.EXE", ConsoleState::NoOutput},
        {StdOutType::Pipe, "PowerShell.exe", ConsoleState::NoOutput},
        {StdOutType::Pipe, "powershell_ise.exe", ConsoleState::NoOutput},
        {StdOutType::Pipe, "pwsh-preview.exe", ConsoleState::Redirected},
        {StdOutType::Other, "cmd.exe", ConsoleState::NoOutput},
        {StdOutType::Invalid, "explorer.exe", ConsoleState::NoOutput},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecideConsoleState(c.type, c.parent), c.expected) << c.parent << " " << (int)c.type;
    }
}
