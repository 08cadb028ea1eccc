#pragma once
// Packing files into an "LzSA" archive: LZMA with the x86 filter for everything but PNG
// images, which are already compressed and are stored.
#include <stdint.h>

#include <string>
#include <vector>

struct PackInput {
    std::string name;  // archive name, '\' separators
    std::string path;  // file on disk
};

struct PackOptions {
    int jobs = 1;
    uint64_t fileTime = 0;  // FILETIME written for every entry
    bool progress = false;  // a progress line on standard error
};

// The archive's bytes in out; on failure false with a message in error.
bool PackArchive(const std::vector<PackInput>& inputs, const PackOptions& opt, std::string* out, std::string* error);

// Whether a name is stored rather than compressed.
bool IsStoredName(const std::string& name);
