#pragma once
// The installer mode; its result is the process exit code.
int RunInstaller();
