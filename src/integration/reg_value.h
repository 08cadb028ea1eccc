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
};

// A value of the type without its data.
inline RegValue MakeValue(StrView key, StrView name, RegType type) {
    RegValue v;
    v.key = key;
    v.name = name;
    v.type = type;
    return v;
}

inline void AddSz(Vec<RegValue>& list, StrView key, StrView name, StrView text) {
    RegValue v = MakeValue(key, name, RegType::Sz);
    v.text = text;
    list.Append(v);
}

inline void AddDword(Vec<RegValue>& list, StrView key, StrView name, uint32_t value) {
    RegValue v = MakeValue(key, name, RegType::Dword);
    v.dword = value;
    list.Append(v);
}

inline void AddBinary(Vec<RegValue>& list, StrView key, StrView name, StrView bytes) {
    RegValue v = MakeValue(key, name, RegType::Binary);
    v.text = bytes;
    list.Append(v);
}

inline void AddNone(Vec<RegValue>& list, StrView key, StrView name) {
    list.Append(MakeValue(key, name, RegType::None));
}

inline void AddDeleteValue(Vec<RegValue>& list, StrView key, StrView name) {
    list.Append(MakeValue(key, name, RegType::DeleteValue));
}

#ifdef _WIN32
#include <windows.h>
// Writes one value with the logged primitive of its type.
bool WriteRegValue(HKEY root, const RegValue& v);
// Attempts every value even after a failure; true when all succeeded.
bool WriteRegValues(HKEY root, const Vec<RegValue>& list);
#endif
