#pragma once
// The difference between two versions of a file, as a patch archive carries it (see
// archive/patch.h): computed by Debian's bsdiff, whose suffix sorting finds the moved and
// slightly changed runs that make a difference small, and carried in our own streams.
#include <stdint.h>

#include <string>
#include <vector>

struct DifferenceInstruction {
    uint32_t add;
    uint32_t copy;
    int32_t seek;
};

struct Difference {
    std::vector<DifferenceInstruction> instructions;
    std::string added;  // bytes added to the earlier file's, one per byte taken
    std::string fresh;  // bytes copied as they are
};

// Runs bsdiff on the two files, its output going to scratchPath (removed afterwards), and
// reads it back.
bool ComputeDifference(const std::string& basePath, const std::string& newPath, const std::string& scratchPath,
                       Difference* out, std::string* error);

// Reads bsdiff's "BSDIFF40" output: a header, then three bzip2 streams (instructions,
// added bytes, new bytes), whose 64-bit numbers must fit the archive's 32 bits.
bool ParseBsdiff(const std::string& patch, Difference* out, std::string* error);
