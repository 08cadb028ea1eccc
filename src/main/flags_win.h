#pragma once
#include "base/flags.h"

// Splits the process's UTF-16 command line by the system's rule and parses it.
void ParseFlags(const wchar_t* commandLine, Flags* flags);
