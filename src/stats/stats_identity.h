#pragma once
// The statistics identity values under Software\VLPdf in the 32-bit registry view, where
// the reports of earlier and later installations find them.
#include <stdint.h>

#include "base/str.h"

constexpr const char* kHardwareIdValue = "hardwareid";
constexpr const char* kPackageNameValue = "PackageName";
constexpr int32_t kHardwareIdMaxChars = 32;
constexpr int32_t kPackageNameMaxChars = 259;

// Machine-wide first, then per user; at most maxChars UTF-16 characters; empty when neither has it.
StrView ReadStatsIdentityTemp(StrView valueName, int32_t maxChars);
// Machine-wide, and per user when that fails (a limited user cannot write the machine's key).
bool WriteStatsIdentity(StrView valueName, StrView value);
