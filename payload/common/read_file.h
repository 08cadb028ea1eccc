#pragma once
// Reads a whole file into memory, for the product's programs that look at documents.
#include <windows.h>

#include <string>

// Refuses files larger than maxBytes (ERROR_FILE_TOO_LARGE). Returns 0 or the system error.
DWORD ReadWholeFile(const wchar_t* path, size_t maxBytes, std::string* out);
