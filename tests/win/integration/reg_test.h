#pragma once
// Reading the registry back the way the shell sees it: every value with its type and data.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/arena.h"
#include "base/file.h"
#include "base/log.h"
#include "base/product.h"
#include "integration/registration.h"
#include "integration/shell_folder.h"
#include "../../helpers/log_capture.h"

namespace regtest {

inline std::wstring Wide(const std::string& s) {
    TempArenaScope scope;
    return std::wstring((const wchar_t*)ToWStrTemp(s.c_str()).s);
}

inline std::string Narrow(const std::wstring& s) {
    TempArenaScope scope;
    return ToUtf8Temp(WStrView((const char16_t*)s.c_str(), (int32_t)s.size())).CStr();
}

struct Value {
    bool exists = false;
    DWORD type = 0;
    std::vector<BYTE> data;

    // The text of a string value without its terminator.
    std::string Text() const {
        std::wstring w((const wchar_t*)data.data(), data.size() / 2);
        while (!w.empty() && w.back() == 0) w.pop_back();
        return Narrow(w);
    }
    DWORD Dword() const {
        DWORD v = 0;
        if (data.size() == 4) memcpy(&v, data.data(), 4);
        return v;
    }
};

inline Value Get(HKEY root, const std::string& key, const std::string& name, REGSAM view = 0) {
    Value v;
    HKEY h;
    if (RegOpenKeyExW(root, Wide(key).c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS) return v;
    std::wstring wname = Wide(name);
    const wchar_t* n = name.empty() ? nullptr : wname.c_str();
    DWORD size = 0;
    if (RegQueryValueExW(h, n, nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
        v.data.resize(size);
        v.exists = RegQueryValueExW(h, n, nullptr, &v.type, v.data.data(), &size) == ERROR_SUCCESS;
        v.data.resize(size);
    }
    RegCloseKey(h);
    return v;
}

inline bool KeyExists(HKEY root, const std::string& key, REGSAM view = 0) {
    HKEY h;
    if (RegOpenKeyExW(root, Wide(key).c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

inline void ExpectSz(HKEY root, const std::string& key, const std::string& name, const std::string& text,
                     REGSAM view = 0) {
    Value v = Get(root, key, name, view);
    EXPECT_TRUE(v.exists) << key << " / " << name;
    EXPECT_EQ(v.type, (DWORD)REG_SZ) << key << " / " << name;
    EXPECT_EQ(v.Text(), text) << key << " / " << name;
    // Strings are stored with their terminator.
    EXPECT_EQ(v.data.size(), (Wide(text).size() + 1) * 2) << key << " / " << name;
}

inline void ExpectDword(HKEY root, const std::string& key, const std::string& name, DWORD value, REGSAM view = 0) {
    Value v = Get(root, key, name, view);
    EXPECT_TRUE(v.exists) << key << " / " << name;
    EXPECT_EQ(v.type, (DWORD)REG_DWORD) << key << " / " << name;
    EXPECT_EQ(v.data.size(), 4u) << key << " / " << name;
    EXPECT_EQ(v.Dword(), value) << key << " / " << name;
}

// Sets a value without going through the code under test.
inline void Put(HKEY root, const std::string& key, const std::string& name, DWORD type, const void* data,
                DWORD size, REGSAM view = 0) {
    HKEY h;
    ASSERT_EQ(RegCreateKeyExW(root, Wide(key).c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &h, nullptr),
              ERROR_SUCCESS)
        << key;
    std::wstring wname = Wide(name);
    ASSERT_EQ(RegSetValueExW(h, name.empty() ? nullptr : wname.c_str(), 0, type, (const BYTE*)data, size),
              ERROR_SUCCESS);
    RegCloseKey(h);
}

inline void PutSz(HKEY root, const std::string& key, const std::string& name, const std::string& text,
                  REGSAM view = 0) {
    std::wstring w = Wide(text);
    Put(root, key, name, REG_SZ, w.c_str(), (DWORD)(w.size() + 1) * 2, view);
}

inline void Remove(HKEY root, const std::string& key, REGSAM view = 0) {
    RegDeleteTreeW(root, Wide(key).c_str());
    (void)view;
}

// Names of the subkeys and values directly under a key.
inline std::vector<std::string> Children(HKEY root, const std::string& key, REGSAM view = 0) {
    std::vector<std::string> out;
    HKEY h;
    if (RegOpenKeyExW(root, Wide(key).c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS) return out;
    wchar_t name[512];
    for (DWORD i = 0;; i++) {
        DWORD n = 512;
        if (RegEnumKeyExW(h, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        out.push_back("key:" + Narrow(name));
    }
    for (DWORD i = 0;; i++) {
        DWORD n = 512;
        if (RegEnumValueW(h, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        out.push_back("value:" + Narrow(name));
    }
    RegCloseKey(h);
    return out;
}

using ::LoggedDuring;

}  // namespace regtest

namespace regtest {
// A helper program built beside the tests (tests/helpers/).
inline std::string HelperExe(const std::string& name) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring s = self;
    s = s.substr(0, s.find_last_of(L'\\'));  // tests\win\<area>
    s = s.substr(0, s.find_last_of(L'\\'));  // tests\win
    s = s.substr(0, s.find_last_of(L'\\'));  // tests
    return Narrow(s) + "\\helpers\\" + name;
}

// Waits up to timeoutMs for a file to appear; its contents, or "" on time-out.
inline std::string WaitForFile(const std::string& path, int timeoutMs = 15000) {
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        if (GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
            FILE* f = _wfopen(Wide(path).c_str(), L"rb");
            std::string s;
            if (f) {
                char buf[1024];
                size_t n;
                while ((n = fread(buf, 1, sizeof(buf), f)) > 0) s.append(buf, n);
                fclose(f);
            }
            return s;
        }
        Sleep(50);
    }
    return "";
}

// The value of "key=" in a helper's record.
inline std::string Field(const std::string& record, const std::string& key) {
    size_t at = record.find(key + "=");
    if (at == std::string::npos) return "<none>";
    at += key.size() + 1;
    return record.substr(at, record.find('\n', at) - at);
}
}  // namespace regtest

namespace regtest {
// Gives the key an access list with no entries: nobody may do anything with it, only its
// owner may change the list again.
inline void DenyEveryone(HKEY root, const std::string& key) {
    HKEY h;
    ASSERT_EQ(RegOpenKeyExW(root, Wide(key).c_str(), 0, WRITE_DAC, &h), ERROR_SUCCESS) << key;
    ACL empty;
    InitializeAcl(&empty, sizeof(empty), ACL_REVISION);
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, &empty, FALSE);
    ASSERT_EQ(RegSetKeySecurity(h, DACL_SECURITY_INFORMATION, &sd), ERROR_SUCCESS);
    RegCloseKey(h);
}

inline std::string ShellFolder(int csidl) {
    TempArenaScope scope;
    return GetSpecialFolderTemp(csidl).CStr();
}
}  // namespace regtest

namespace regtest {
// One piece of the registration table for an installation in dir, written and taken away
// as the installation and the uninstaller do it: the piece's steps carried out by the
// table's executor. Set `item` (the view, the reader's group) before writing.
struct OnePiece {
    std::string dir;
    Registration reg{nullptr};
    RegItem item;
    OnePiece(Piece piece, bool allUsers, const std::string& installDir) : dir(installDir) {
        reg.in.installDir = dir.c_str();
        reg.in.Set(Choice::AllUsers, allUsers);
        item.piece = piece;
        item.root = RegRootFor(allUsers);
        reg.items.Append(item);
    }
    // True when every group of values went well; a failure is reported as the installation's.
    bool Write() {
        TempArenaScope scope;
        Sync();
        Vec<RegWrite> steps(GetTempArena());
        PieceWrites(reg, item, CurrentWriteContext(), &steps);
        return RunWrites(steps, true);
    }
    // True when every step whose outcome counts went.
    bool Remove(Removal why = Removal::Uninstall) {
        TempArenaScope scope;
        Sync();
        Vec<RegDelete> steps(GetTempArena());
        PieceRemoval(reg, item, why, &steps);
        return RunRemoval(steps);
    }

  private:
    void Sync() {
        reg.exePath = path::JoinTemp(reg.in.installDir, kReaderExeName);
        reg.items.els[0] = item;
    }
};
}  // namespace regtest
