#pragma once
// Which UI tasks are logged one by one: frequent kinds are quiet and only a slow dispatch
// of them is logged.
#include <stdint.h>

namespace uitask {
constexpr double kSlowDispatchMs = 50.0;

// "(no kind)" for null.
const char* KindText(const char* kind);
// Whole, case-sensitive names only: a longer name that starts with a quiet one is not quiet.
bool IsQuietKind(const char* kindText);
double QueueTimeMs(int64_t enqueued, int64_t now, int64_t frequency);
}  // namespace uitask
