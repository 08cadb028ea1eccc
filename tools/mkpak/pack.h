#pragma once
// Packing files into an "LzSA" archive: LZMA with the x86 filter for everything but PNG
// images, which are already compressed and are stored. A patch archive ("LzSP") carries,
// for a file the earlier version also has, nothing when it did not change, otherwise the
// smaller of its difference and the whole file.
#include <stdint.h>

#include <string>
#include <vector>

struct PackInput {
    std::string name;  // archive name, '\' separators
    std::string path;  // file on disk
    std::string basePath;  // in a patch archive, the earlier version's file; empty for a new file
};

struct PackOptions {
    int jobs = 1;
    uint64_t fileTime = 0;  // FILETIME written for every entry
    bool progress = false;  // a progress line on standard error
    std::string patchBaseVersion;  // set for a patch archive: the version it updates
    std::string scratchDir;        // a private folder for the differences' intermediate files
};

// The archive's bytes in out; on failure false with a message in error.
bool PackArchive(const std::vector<PackInput>& inputs, const PackOptions& opt, std::string* out, std::string* error);

// Whether a name is stored rather than compressed.
bool IsStoredName(const std::string& name);

// A regular file's bytes, at most the largest file the installer unpacks.
bool ReadWholeFile(const std::string& path, std::string* data, std::string* error);
