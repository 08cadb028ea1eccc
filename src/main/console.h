#pragma once
// The console layer that lets a GUI program print to the console it was started from.

enum class ConsoleState {
    Undetermined = 0,
    NoOutput = 1,    // no usable standard output
    Redirected = 2,  // standard output goes to a file or a pipe
    Attached = 3,    // attached to the parent's console
};

enum class StdOutType { Invalid, Disk, Pipe, Other };

// A pipe from PowerShell counts as no output: the program attaches to PowerShell's
// console instead, where the user actually looks.
ConsoleState DecideConsoleState(StdOutType stdoutType, const char* parentExeName);

// Attaches to the parent's console when there is no usable output; returns the state.
ConsoleState ConsoleAttach();
// Lets the parent console show its prompt again after we printed into it.
void ConsoleRelease();
