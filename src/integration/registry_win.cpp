#include <windows.h>
#include <aclapi.h>
#include <shlwapi.h>

#include "base/arena.h"
#include "base/log.h"
#include "base/log_system.h"
#include "base/wide_win.h"
#include "integration/registry.h"

namespace {
// A view that need not end in a NUL, for "%.*s".
#define VIEW(v) (int)(v).len, (v).CStr()

// Null for an empty name: the key's default value.
const WCHAR* ValueW(StrView name) {
    return name.IsEmpty() ? nullptr : W(name);
}

// "<call> => ok|failed", then the system error of a failure.
bool LogResult(StrView call, LSTATUS res, bool ok) {
    if (LogsRegistryCalls()) {
        Logf("%.*s => %s\n", VIEW(call), ok ? "ok" : "failed");
        if (!ok) {
            LogLastError((uint32_t)res);
        }
    }
    return ok;
}

bool SetValue(HKEY root, StrView key, StrView name, DWORD type, const void* data, DWORD size, LSTATUS* res) {
    *res = SHSetValueW(root, W(key), ValueW(name), type, data, size);
    return *res == ERROR_SUCCESS;
}

StrView QueryStr(HKEY root, StrView key, StrView name, REGSAM extra, LSTATUS* res) {
    HKEY h = nullptr;
    *res = RegOpenKeyExW(root, W(key), 0, KEY_READ | extra, &h);
    if (*res != ERROR_SUCCESS) {
        return {};
    }
    const WCHAR* valueName = ValueW(name);
    DWORD size = 0;
    *res = RegQueryValueExW(h, valueName, nullptr, nullptr, nullptr, &size);
    StrView result;
    if (*res == ERROR_SUCCESS) {
        // Zeroed units past the data: a value stored without its terminator, or with an odd
        // byte count, still reads as a terminated string.
        size_t units = size / 2 + 2;
        WCHAR* buf = (WCHAR*)ArenaAlloc(GetTempArena(), units * sizeof(WCHAR), true);
        DWORD got = size;
        if (buf && (*res = RegQueryValueExW(h, valueName, nullptr, nullptr, (BYTE*)buf, &got)) == ERROR_SUCCESS) {
            result = U(buf);
        }
    }
    RegCloseKey(h);
    return result;
}

// Replaces the key's access list by one entry: Everyone may do anything, inherited by
// subkeys. Best effort; the delete that follows reports the outcome.
void GrantEveryoneFullAccess(HKEY root, StrView key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, W(key), 0, WRITE_DAC, &h) != ERROR_SUCCESS) {
        return;
    }
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    PACL acl = nullptr;
    if (AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
        EXPLICIT_ACCESSW ea{};
        ea.grfAccessPermissions = KEY_ALL_ACCESS;
        ea.grfAccessMode = SET_ACCESS;
        ea.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
        ea.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        ea.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        ea.Trustee.ptstrName = (LPWSTR)everyone;
        SECURITY_DESCRIPTOR sd;
        if (SetEntriesInAclW(1, &ea, nullptr, &acl) == ERROR_SUCCESS &&
            InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
            SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE)) {
            RegSetKeySecurity(h, DACL_SECURITY_INFORMATION, &sd);
        }
    }
    if (acl) LocalFree(acl);
    if (everyone) FreeSid(everyone);
    RegCloseKey(h);
}
}  // namespace

const char* RegKeyName(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    return "RegKeyName: unknown key";
}

StrView ReadRegStr(HKEY root, StrView key, StrView valueName) {
    if (!root) {
        return {};
    }
    LSTATUS res = ERROR_SUCCESS;
    StrView s = QueryStr(root, key, valueName, 0, &res);
    if (res == ERROR_FILE_NOT_FOUND && root == HKEY_LOCAL_MACHINE) {
        s = QueryStr(root, key, valueName, KEY_WOW64_32KEY, &res);
    }
    return s;
}

StrView ReadRegStrInView(HKEY root, StrView key, StrView valueName, uint32_t view) {
    LSTATUS res = ERROR_SUCCESS;
    return root ? QueryStr(root, key, valueName, view, &res) : StrView();
}

StrView ReadRegStrTemp(HKEY root, StrView key, StrView valueName) {
    StrView s = ReadRegStr(root, key, valueName);
    if (LogsRegistryCalls()) {
        Logf("ReadRegStrTemp(%s, %.*s, %.*s) => '%s'\n", RegKeyName(root), VIEW(key), VIEW(valueName), s.CStr());
    }
    return s;
}

StrView ReadRegStr2(StrView key, StrView valueName) {
    StrView s = ReadRegStrTemp(HKEY_LOCAL_MACHINE, key, valueName);
    if (s.IsEmpty()) {
        s = ReadRegStrTemp(HKEY_CURRENT_USER, key, valueName);
    }
    return s;
}

bool RegValueExists(HKEY root, StrView key, StrView valueName) {
    LSTATUS res = SHGetValueW(root, W(key), ValueW(valueName), nullptr, nullptr, nullptr);
    return res == ERROR_SUCCESS || res == ERROR_MORE_DATA;
}

bool ReadRegDWORD(HKEY root, StrView key, StrView valueName, uint32_t* out) {
    DWORD value = 0, size = sizeof(value);
    LSTATUS res = SHGetValueW(root, W(key), ValueW(valueName), nullptr, &value, &size);
    if (res != ERROR_SUCCESS || size != sizeof(value)) {
        return false;
    }
    *out = value;
    return true;
}

bool WriteRegStr(HKEY root, StrView key, StrView valueName, StrView value) {
    WStrView w = ToWStrTemp(value);
    static const char16_t empty[1] = {0};
    const char16_t* data = w.s ? w.s : empty;
    LSTATUS res;
    bool ok = SetValue(root, key, valueName, REG_SZ, data, (DWORD)(w.len + 1) * 2, &res);
    StrView call = str::FormatTemp("WriteRegStr(%s, %.*s, %.*s, %.*s)", RegKeyName(root), VIEW(key),
                                   VIEW(valueName), VIEW(value));
    return LogResult(call, res, ok);
}

bool WriteRegDWORD(HKEY root, StrView key, StrView valueName, uint32_t value) {
    DWORD data = value;
    LSTATUS res;
    bool ok = SetValue(root, key, valueName, REG_DWORD, &data, sizeof(data), &res);
    StrView call = str::FormatTemp("WriteRegDWORD(%s, %.*s, %.*s, %d)", RegKeyName(root), VIEW(key),
                                   VIEW(valueName), (int)value);
    return LogResult(call, res, ok);
}

bool WriteRegNone(HKEY root, StrView key, StrView valueName) {
    LSTATUS res;
    bool ok = SetValue(root, key, valueName, REG_NONE, nullptr, 0, &res);
    StrView call = str::FormatTemp("WriteRegNone(%s, %.*s, %.*s)", RegKeyName(root), VIEW(key), VIEW(valueName));
    return LogResult(call, res, ok);
}

bool WriteRegExpandSz(HKEY root, StrView key, StrView valueName, StrView value) {
    HKEY h = nullptr;
    LSTATUS res = RegOpenKeyExW(root, W(key), 0, KEY_SET_VALUE, &h);
    if (res != ERROR_SUCCESS) {
        if (LogsRegistryCalls()) {
            Logf("WriteRegExpandSz: RegOpenKeyExW('%.*s') failed with %d\n", VIEW(key), (int)res);
        }
        return false;
    }
    WStrView w = ToWStrTemp(value);
    static const char16_t empty[1] = {0};
    const char16_t* data = w.s ? w.s : empty;
    res = RegSetValueExW(h, ValueW(valueName), 0, REG_EXPAND_SZ, (const BYTE*)data, (DWORD)(w.len + 1) * 2);
    RegCloseKey(h);
    if (res != ERROR_SUCCESS) {
        if (LogsRegistryCalls()) {
            Logf("WriteRegExpandSz: RegSetValueExW failed with %d\n", (int)res);
        }
        return false;
    }
    return true;
}

bool WriteRegStrInView(HKEY root, StrView key, StrView valueName, StrView value, uint32_t view) {
    return SetRegStrStatus(root, key, valueName, value, view) == ERROR_SUCCESS;
}

uint32_t SetRegValueStatus(HKEY root, StrView key, StrView valueName, uint32_t type, const void* data, uint32_t size,
                           uint32_t view, RegKeyMissing missing) {
    HKEY h = nullptr;
    LSTATUS res = missing == RegKeyMissing::Create
                      ? RegCreateKeyExW(root, W(key), 0, nullptr, 0, KEY_WRITE | view, nullptr, &h, nullptr)
                      : RegOpenKeyExW(root, W(key), 0, KEY_SET_VALUE | view, &h);
    if (res != ERROR_SUCCESS) {
        return (uint32_t)res;
    }
    res = RegSetValueExW(h, ValueW(valueName), 0, type, (const BYTE*)data, size);
    RegCloseKey(h);
    return (uint32_t)res;
}

uint32_t SetRegStrStatus(HKEY root, StrView key, StrView valueName, StrView value, uint32_t view,
                         RegKeyMissing missing) {
    WStrView w = ToWStrTemp(value);
    static const char16_t empty[1] = {0};
    const char16_t* data = w.s ? w.s : empty;
    return SetRegValueStatus(root, key, valueName, REG_SZ, data, (uint32_t)(w.len + 1) * 2, view, missing);
}

uint32_t CreateRegKeyStatus(HKEY root, StrView key, uint32_t view) {
    HKEY h = nullptr;
    LSTATUS res = RegCreateKeyExW(root, W(key), 0, nullptr, 0, KEY_WRITE | view, nullptr, &h, nullptr);
    if (res == ERROR_SUCCESS) {
        RegCloseKey(h);
    }
    return (uint32_t)res;
}

uint32_t DeleteRegTreeStatus(HKEY root, StrView key) {
    return (uint32_t)SHDeleteKeyW(root, W(key));
}

uint32_t FlushRegKeyStatus(HKEY root, StrView key) {
    HKEY h = nullptr;
    LSTATUS res = RegOpenKeyExW(root, W(key), 0, KEY_QUERY_VALUE, &h);
    if (res == ERROR_SUCCESS) {
        res = RegFlushKey(h);
        RegCloseKey(h);
    }
    return (uint32_t)res;
}

void DeleteRegKeyInView(HKEY root, StrView key, uint32_t view) {
    RegDeleteKeyExW(root, W(key), view, 0);
}

bool ListRegSubkeys(HKEY root, StrView key, Vec<StrView>* out) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, W(key), 0, KEY_READ, &h) != ERROR_SUCCESS) {
        return false;
    }
    WCHAR name[256];
    DWORD len = 256;
    for (DWORD i = 0; RegEnumKeyExW(h, i, name, &len, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         i++, len = 256) {
        out->Append(ToUtf8(WStrView((const char16_t*)name, (int32_t)len), out->arena));
    }
    RegCloseKey(h);
    return true;
}

bool ReadRegKeyWriteTime(HKEY root, StrView key, uint64_t* fileTime) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, W(key), 0, KEY_READ, &h) != ERROR_SUCCESS) {
        return false;
    }
    FILETIME written{};
    LSTATUS res = RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, &written);
    RegCloseKey(h);
    *fileTime = (uint64_t)written.dwHighDateTime << 32 | written.dwLowDateTime;
    return res == ERROR_SUCCESS;
}

bool DeleteRegKey(HKEY root, StrView key, bool resetAcl) {
    if (resetAcl) {
        GrantEveryoneFullAccess(root, key);
    }
    LSTATUS res = SHDeleteKeyW(root, W(key));
    bool ok = res == ERROR_SUCCESS || res == ERROR_FILE_NOT_FOUND;
    StrView call = str::FormatTemp("DeleteRegKey(%s, %.*s, %d)", RegKeyName(root), VIEW(key), resetAcl ? 1 : 0);
    return LogResult(call, res, ok);
}

bool DeleteRegValueQuiet(HKEY root, StrView key, StrView valueName) {
    LSTATUS res = SHDeleteValueW(root, W(key), ValueW(valueName));
    return res == ERROR_SUCCESS || res == ERROR_FILE_NOT_FOUND;
}

bool DeleteRegValue(HKEY root, StrView key, StrView valueName) {
    LSTATUS res = SHDeleteValueW(root, W(key), ValueW(valueName));
    bool ok = res == ERROR_SUCCESS || res == ERROR_FILE_NOT_FOUND;
    StrView call = str::FormatTemp("DeleteRegValue(%s, %.*s, %.*s)", RegKeyName(root), VIEW(key), VIEW(valueName));
    return LogResult(call, res, ok);
}

bool DeleteRegKeyIfEmpty(HKEY root, StrView key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, W(key), 0, KEY_READ, &h) != ERROR_SUCCESS) {
        return true;
    }
    DWORD subkeys = 0, values = 0;
    LSTATUS res = RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                   nullptr, nullptr, nullptr);
    RegCloseKey(h);
    if (res != ERROR_SUCCESS || subkeys != 0 || values != 0) {
        return false;
    }
    // An empty key that cannot be deleted is not gone: the caller must not go on to its parent.
    return DeleteRegKey(root, key, false);
}

void DeleteEmptyRegKeys(HKEY root, StrView key) {
    TempArenaScope scope;
    auto depth = [](StrView k) {
        int n = 0;
        for (int32_t i = 0; i < k.len; i++) {
            n += k.s[i] == '\\';
        }
        return n;
    };
    for (StrView k = str::DupTemp(key); DeleteRegKeyIfEmpty(root, k);) {
        k = ParentRegPath(k);
        if (depth(k) < 2) {
            return;
        }
    }
}

StrView GetModulePathTemp() {
    constexpr DWORD kMaxUnits = 0x8000;
    DWORD cap = MAX_PATH + 1;
    for (;;) {
        WCHAR* buf = (WCHAR*)ArenaAlloc(GetTempArena(), cap * sizeof(WCHAR), true);
        if (!buf) {
            return {};
        }
        DWORD n = GetModuleFileNameW(nullptr, buf, cap);
        if (n == 0) {
            LogLastError();
            return {};
        }
        if (n < cap) {
            return U(buf, n);
        }
        if (cap >= kMaxUnits) {
            Logf("GetModulePathTemp: path longer than %d chars\n", (int)kMaxUnits);
            return U(buf, n);
        }
        cap = cap * 2 > kMaxUnits ? kMaxUnits : cap * 2;
    }
}
