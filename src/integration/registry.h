#pragma once
// Registry primitives that every shell registration is written on. Each takes UTF-8 names,
// converts them at the call and returns a success flag. Writes and deletes leave one line
// each in the installation log, "<call> => ok|failed", so a log shows every registry change
// with its outcome; after "failed" the system error follows. They log only when the run
// asked its log for registry calls (SetLogRegistryCalls); otherwise no primitive logs.
#include <stdint.h>

#include "base/str.h"
#include "base/vec.h"

#ifdef _WIN32
#include <windows.h>

constexpr uint32_t kRegView64 = KEY_WOW64_64KEY;
constexpr uint32_t kRegView32 = KEY_WOW64_32KEY;

// "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT" or "RegKeyName: unknown key".
const char* RegKeyName(HKEY root);

// Where an installation of the scope registers: the machine's root for all users, else the user's.
inline HKEY RootFor(bool allUsers) {
    return allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// Empty on any failure; HKEY_LOCAL_MACHINE falls back to the 32-bit view when the key or
// value is missing in the native one. Never logs.
StrView ReadRegStr(HKEY root, StrView key, StrView valueName);
// ReadRegStr, logged.
StrView ReadRegStrTemp(HKEY root, StrView key, StrView valueName);
// Exactly one registry view (kRegView32 or kRegView64), no fallback to the other. Never logs.
StrView ReadRegStrInView(HKEY root, StrView key, StrView valueName, uint32_t view);
// HKEY_LOCAL_MACHINE first, HKEY_CURRENT_USER when that is empty.
StrView ReadRegStr2(StrView key, StrView valueName);
bool RegValueExists(HKEY root, StrView key, StrView valueName);
// True only for a value of exactly 4 bytes.
bool ReadRegDWORD(HKEY root, StrView key, StrView valueName, uint32_t* out);

bool WriteRegStr(HKEY root, StrView key, StrView valueName, StrView value);
bool WriteRegDWORD(HKEY root, StrView key, StrView valueName, uint32_t value);
bool WriteRegNone(HKEY root, StrView key, StrView valueName);
// The key must exist already: PATH keys are never created by us.
bool WriteRegExpandSz(HKEY root, StrView key, StrView valueName, StrView value);
// An empty value name is the key's default value. Not logged.
bool WriteRegStrInView(HKEY root, StrView key, StrView valueName, StrView value, uint32_t view);

// Deleting what is absent is success. resetAcl first grants Everyone full access so that a
// key locked by its owner can still go.
bool DeleteRegKey(HKEY root, StrView key, bool resetAcl = false);
bool DeleteRegValue(HKEY root, StrView key, StrView valueName);
bool DeleteRegValueQuiet(HKEY root, StrView key, StrView valueName);
// True when the key is absent or was empty and is now gone; false leaves a non-empty key.
bool DeleteRegKeyIfEmpty(HKEY root, StrView key);
// Deletes key when it is empty, then each parent left empty, but never one of the two top
// levels ("Software\Microsoft\Office" can go, "Software\Microsoft" never does): the
// containers a registration created go with the last value in them.
void DeleteEmptyRegKeys(HKEY root, StrView key);

// Quiet primitives that answer with the system's status (0 on success), for callers that
// log the status in their own words. view is 0 (the process's own view), kRegView32 or
// kRegView64. SetRegValueStatus creates the key unless it must exist already.
enum class RegKeyMissing { Create, Fail };
uint32_t SetRegValueStatus(HKEY root, StrView key, StrView valueName, uint32_t type, const void* data, uint32_t size,
                           uint32_t view = 0, RegKeyMissing missing = RegKeyMissing::Create);
// REG_SZ through SetRegValueStatus.
uint32_t SetRegStrStatus(HKEY root, StrView key, StrView valueName, StrView value, uint32_t view = 0,
                         RegKeyMissing missing = RegKeyMissing::Create);
uint32_t CreateRegKeyStatus(HKEY root, StrView key, uint32_t view = 0);
// The key and everything below it; an absent key is ERROR_FILE_NOT_FOUND.
uint32_t DeleteRegTreeStatus(HKEY root, StrView key);
// Writes the key's values through to the disk.
uint32_t FlushRegKeyStatus(HKEY root, StrView key);
// In exactly that view; nothing below the key may exist. Not logged.
void DeleteRegKeyInView(HKEY root, StrView key, uint32_t view);
// The names of the key's direct subkeys, appended to out (in out's arena); false when the
// key cannot be opened.
bool ListRegSubkeys(HKEY root, StrView key, Vec<StrView>* out);
// When the key was last written, as a FILETIME value.
bool ReadRegKeyWriteTime(HKEY root, StrView key, uint64_t* fileTime);

// Full path of this program's file; empty on failure.
StrView GetModulePathTemp();
#endif

// The part before the last backslash; empty without one.
StrView ParentRegPath(StrView path);

// The list of COM classes, under either root.
constexpr const char* kClsidListKey = "Software\\Classes\\CLSID";
// A class's key in that list.
StrView ClsidKeyTemp(StrView clsid);
// A key under "Software\Classes" as HKEY_CLASSES_ROOT names it: the shell reads the classes
// of both roots there, merged.
StrView ClassesRootPathTemp(StrView classesKey);
