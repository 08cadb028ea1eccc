#pragma once
// A registry value as data: what a registration writes is decided by pure code into a list
// of these, and one Win32 loop performs the list.
#include <stdint.h>

#include "base/str.h"
#include "base/vec.h"

// DeleteValue removes the named value (a registration clears a stale default before writing).
// Binary holds its bytes in `text`.
enum class RegType { Sz, Dword, None, DeleteValue, Binary };

struct RegValue {
    StrView key;
    StrView name;  // empty: the key's default value
    RegType type = RegType::Sz;
    StrView text;
    uint32_t dword = 0;
    // The key is not the registration's own (a list of the system's, a file type's Open-with
    // list): taking the registration away deletes this value and leaves the key.
    bool inSharedKey = false;
    // The data is known only once it is written (a date, a size, a verification value, what
    // the user had chosen before): a look at the machine can only ask that the value is there.
    bool varies = false;
};

// A value of the type without its data.
inline RegValue MakeValue(StrView key, StrView name, RegType type) {
    RegValue v;
    v.key = key;
    v.name = name;
    v.type = type;
    return v;
}

// Each adds the value and returns it, for the flags above.
inline RegValue& AddValue(Vec<RegValue>& list, const RegValue& v) {
    list.Append(v);
    return list.els[list.len - 1];
}

inline RegValue& AddSz(Vec<RegValue>& list, StrView key, StrView name, StrView text) {
    RegValue v = MakeValue(key, name, RegType::Sz);
    v.text = text;
    return AddValue(list, v);
}

inline RegValue& AddDword(Vec<RegValue>& list, StrView key, StrView name, uint32_t value) {
    RegValue v = MakeValue(key, name, RegType::Dword);
    v.dword = value;
    return AddValue(list, v);
}

inline RegValue& AddBinary(Vec<RegValue>& list, StrView key, StrView name, StrView bytes) {
    RegValue v = MakeValue(key, name, RegType::Binary);
    v.text = bytes;
    return AddValue(list, v);
}

inline RegValue& AddNone(Vec<RegValue>& list, StrView key, StrView name) {
    return AddValue(list, MakeValue(key, name, RegType::None));
}

inline RegValue& AddDeleteValue(Vec<RegValue>& list, StrView key, StrView name) {
    return AddValue(list, MakeValue(key, name, RegType::DeleteValue));
}

#ifdef _WIN32
#include <windows.h>
// Writes one value with the logged primitive of its type.
bool WriteRegValue(HKEY root, const RegValue& v);
#endif
