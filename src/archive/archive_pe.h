#pragma once
// Finding the archive inside a Windows executable file without loading it: host tools read
// an installer's payload this way. The file is untrusted; every offset is checked.
#include <stdint.h>

// Finds the RCDATA resource with this id (first language) in the PE file's bytes and
// returns its place in the file. False when the file is not a PE file, has no such
// resource, or a table points outside the file.
bool FindPeRcData(const uint8_t* bytes, int64_t size, uint32_t id, int64_t* offset, uint32_t* len);
