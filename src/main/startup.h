#pragma once
// The program: prepares the process, parses the command line and runs the chosen mode.
// Returns the process exit code.
int RunProgram();
