#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include "base/arena.h"
#include "base/clock.h"
#include "base/com_win.h"
#include "base/file.h"
#include "base/log.h"
#include "base/process_win.h"
#include "base/product.h"
#include "base/wide_win.h"
#include "integration/associations.h"
#include "integration/default_reader.h"
#include "integration/registry.h"

namespace {
const CLSID kClsidAssocRegistration = {0x591209C7, 0x767B, 0x42B2, {0x9F, 0xBA, 0x44, 0xEE, 0x46, 0x15, 0xF2, 0xC7}};
const IID kIidAssocRegistration = {0x4E530B0A, 0xE611, 0x4C77, {0xA3, 0xAC, 0x90, 0x31, 0xD0, 0x22, 0x28, 0x1B}};

// One attempt: -1 failed for good, 0 written but not accepted, 1 written and accepted.
int WriteUserChoiceOnce(StrView ext, StrView progId) {
    StrView hash = UserChoiceHash(ext, progId);
    if (hash.IsEmpty()) {
        return -1;
    }
    StrView choiceKey = UserChoiceKeyTemp(ext);
    if (CreateRegKeyStatus(HKEY_CURRENT_USER, ParentRegPath(choiceKey)) != ERROR_SUCCESS) {
        return -1;
    }
    // The record is always made anew: the shell distrusts a choice edited in place.
    uint32_t res = DeleteRegTreeStatus(HKEY_CURRENT_USER, choiceKey);
    if (res != ERROR_SUCCESS && res != ERROR_FILE_NOT_FOUND) {
        Logf("WriteUserChoice: delete UserChoice of '%s' failed, err %d\n", ext.CStr(), (int)res);
        return -1;
    }
    res = CreateRegKeyStatus(HKEY_CURRENT_USER, choiceKey);
    if (res != ERROR_SUCCESS) {
        Logf("WriteUserChoice: create UserChoice of '%s' failed, err %d\n", ext.CStr(), (int)res);
        return -1;
    }
    res = SetRegStrStatus(HKEY_CURRENT_USER, choiceKey, kUserChoiceProgIdValue, progId, 0, RegKeyMissing::Fail);
    if (res == ERROR_SUCCESS) {
        res = SetRegStrStatus(HKEY_CURRENT_USER, choiceKey, kUserChoiceHashValue, hash, 0, RegKeyMissing::Fail);
    }
    if (res != ERROR_SUCCESS) {
        Logf("WriteUserChoice: write UserChoice of '%s' failed, err %d\n", ext.CStr(), (int)res);
        return -1;
    }
    // The value depends on the record's time, so a record written across a minute boundary
    // no longer matches and is written again.
    return UserChoiceMatches(ext, progId) ? 1 : 0;
}
}  // namespace

StrView UserChoiceHash(StrView ext, StrView progId) {
    StrView sid = ProcessUserSidTemp();
    if (sid.IsEmpty()) {
        Log("UserChoiceHash: the user's SID is unknown\n");
        return {};
    }
    return UserChoiceHashOfTemp(ext, sid, progId, WallClockFileTime());
}

bool UserChoiceMatches(StrView ext, StrView progId) {
    StrView key = UserChoiceKeyTemp(ext);
    uint64_t written = 0;
    if (!ReadRegKeyWriteTime(HKEY_CURRENT_USER, key, &written)) {
        return false;
    }
    StrView sid = ProcessUserSidTemp();
    if (sid.IsEmpty()) {
        return false;
    }
    StrView expected = UserChoiceHashOfTemp(ext, sid, progId, written);
    return str::Eq(ReadRegStr(HKEY_CURRENT_USER, key, kUserChoiceProgIdValue), progId) &&
           str::Eq(ReadRegStr(HKEY_CURRENT_USER, key, kUserChoiceHashValue), expected);
}

bool WriteUserChoice(StrView ext, StrView progId) {
    TempArenaScope scope;
    for (int attempt = 0; attempt < 3; attempt++) {
        int res = WriteUserChoiceOnce(ext, progId);
        if (res != 0) {
            return res > 0;
        }
    }
    return false;
}

bool HasOurUserChoice(StrView ext) {
    return IsOurProgId(ext, ReadRegStrTemp(HKEY_CURRENT_USER, UserChoiceKeyTemp(ext), kUserChoiceProgIdValue));
}

bool IsDefaultReaderFor(StrView ext) {
    if (ext.IsEmpty()) {
        return false;
    }
    TempArenaScope scope;
    IApplicationAssociationRegistration* reg = nullptr;
    HRESULT hr = com::CoCreateInstance(kClsidAssocRegistration, nullptr, CLSCTX_INPROC_SERVER, kIidAssocRegistration,
                                  (void**)&reg);
    if (SUCCEEDED(hr)) {
        BOOL isDefault = FALSE;
        hr = reg->QueryAppIsDefault(W(ext), AT_FILEEXTENSION, AL_EFFECTIVE, W(kProductId), &isDefault);
        if (SUCCEEDED(hr)) {
            reg->Release();
            return isDefault != FALSE;
        }
        WCHAR* current = nullptr;
        hr = reg->QueryCurrentDefault(W(ext), AT_FILEEXTENSION, AL_EFFECTIVE, &current);
        reg->Release();
        if (SUCCEEDED(hr) && current) {
            bool ours = IsOurProgId(ext, U(current));
            com::CoTaskMemFree(current);
            if (ours) {
                return true;
            }
        }
    }
    WCHAR exe[MAX_PATH] = {};
    DWORD n = MAX_PATH;
    if (FAILED(AssocQueryStringW(ASSOCF_NONE, ASSOCSTR_EXECUTABLE, W(ext), nullptr, exe, &n)) || exe[0] == 0) {
        return false;
    }
    return path::IsSameFile(U(exe), GetModulePathTemp(), path::SameFileNames::SpellingsMayDiffer);
}

bool SetDefaultReaderForExt(StrView ext, StrView progId) {
    TempArenaScope scope;
    bool ok = HasOurUserChoice(ext);
    if (!ok) {
        if (!RegValueExists(HKEY_CURRENT_USER, kPrevDefaultKey, ext)) {
            StrView prev = ReadRegStrTemp(HKEY_CURRENT_USER, UserChoiceKeyTemp(ext), kUserChoiceProgIdValue);
            WriteRegStr(HKEY_CURRENT_USER, kPrevDefaultKey, ext, prev);
        }
        ok = WriteUserChoice(ext, progId) && IsDefaultReaderFor(ext);
    }
    Logf("SetDefaultReaderFor: ext '%s', on %d, ok %d\n", ext.CStr(), 1, ok ? 1 : 0);
    return ok;
}

void ReadDefaultBackups(ReaderKind kind, Vec<DefaultBackup>* out) {
    TempArenaScope scope;
    int n = 0;
    const char* const* exts = ReaderKindExts(kind, &n);
    for (int i = 0; i < n; i++) {
        DefaultBackup b;
        b.ext = exts[i];
        b.recorded = RegValueExists(HKEY_CURRENT_USER, kPrevDefaultKey, b.ext);
        b.progId = str::Dup(GetProcessArena(), ReadRegStr(HKEY_CURRENT_USER, kPrevDefaultKey, b.ext));
        out->Append(b);
    }
}

bool GiveDefaultsBack(const Vec<DefaultBackup>& backups) {
    bool all = true;
    for (const DefaultBackup& b : backups) {
        TempArenaScope scope;
        StrView choice = UserChoiceKeyTemp(b.ext);
        StrView current = ReadRegStrTemp(HKEY_CURRENT_USER, choice, kUserChoiceProgIdValue);
        switch (DecideDefaultRestore(b.ext, current, b.recorded, b.progId)) {
            case DefaultRestore::Keep:
                Logf("GiveDefaultsBack: ext '%s' chosen as '%s', kept\n", b.ext.CStr(), current.CStr());
                break;
            case DefaultRestore::Rewrite: {
                bool ok = WriteUserChoice(b.ext, b.progId);
                Logf("GiveDefaultsBack: ext '%s' back to '%s', ok %d\n", b.ext.CStr(), b.progId.CStr(), ok ? 1 : 0);
                all &= ok;
                break;
            }
            case DefaultRestore::Remove:
                // There was no choice before: the record and the key made for it go.
                DeleteRegKey(HKEY_CURRENT_USER, choice, true);
                DeleteRegKeyIfEmpty(HKEY_CURRENT_USER, ParentRegPath(choice));
                Logf("GiveDefaultsBack: ext '%s' has no default again\n", b.ext.CStr());
                break;
        }
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return all;
}
