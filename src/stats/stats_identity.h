#pragma once
// The statistics identity values (the registration's StatsIdentity piece, written machine-wide
// or, where a limited user cannot, per user), where later reports find them.
#include <stdint.h>

#include "base/str.h"
#include "integration/registration.h"

constexpr int32_t kHardwareIdMaxChars = 32;
constexpr int32_t kPackageNameMaxChars = 259;

// Machine-wide first, then per user; at most maxChars UTF-16 characters; empty when neither has it.
StrView ReadStatsIdentityTemp(StrView valueName, int32_t maxChars);
