#pragma once
// Reads a whole file into memory, for the product's programs that look at documents.
#include <windows.h>
#include <objidl.h>

#include <string>

// Refuses files larger than maxBytes (ERROR_FILE_TOO_LARGE). Returns 0 or the system error.
DWORD ReadWholeFile(const wchar_t* path, size_t maxBytes, std::string* out);

// Reads a stream to its end, or its first maxBytes bytes; *truncated tells whether more was
// left. Returns S_OK or the stream's failure.
HRESULT ReadWholeStream(IStream* stream, size_t maxBytes, std::string* out, bool* truncated);
