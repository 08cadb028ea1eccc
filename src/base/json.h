#pragma once
// A reader for the small JSON documents the program fetches (the update feed): objects,
// arrays, strings, integers, true, false and null, into values allocated in an arena. The
// input is untrusted: nesting, sizes and numbers are bounded, and anything else fails with
// the byte offset of the fault.
#include <stdint.h>

#include "base/str.h"

struct Arena;

namespace json {

enum class Type : uint8_t { Null, Bool, Integer, String, Array, Object };

struct Value {
    Type type = Type::Null;
    bool boolean = false;
    int64_t integer = 0;
    StrView string;  // UTF-8, escapes decoded
    // Array items, or object members (names in keys, same index), in document order.
    Value* items = nullptr;
    StrView* keys = nullptr;
    int32_t count = 0;

    // The member of that name in an object (the first when repeated), or null.
    const Value* Get(StrView name) const;
};

constexpr int32_t kMaxDepth = 16;
constexpr int32_t kMaxDocument = 1 << 20;

// Parses the whole text (white space around the value allowed, nothing else after it).
// On failure returns false with the offset of the first byte it could not take.
bool Parse(StrView text, Arena* arena, Value* out, int32_t* errorAt);

}  // namespace json
