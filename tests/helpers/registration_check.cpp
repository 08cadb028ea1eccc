// Compares the registration table with the machine: after an installation every value and
// shortcut of the table must be there with its data; after uninstalling none may still hold
// what the installation wrote (the values the table keeps on removal excepted).
//   registration_check installed|removed -d <dir> [installer options as the installer takes them]
// Prints each difference (standard error) and a summary line; exits 0 when there is none, 1 otherwise, 2 on
// a bad command line.
#include <windows.h>

#include <stdio.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/flags.h"
#include "base/utf.h"
#include "base/wide_win.h"
#include "integration/platform_version.h"
#include "integration/registration.h"
#include "integration/shortcut.h"

namespace {
struct Found {
    bool exists = false;
    DWORD type = 0;
    StrView text;
    StrView bytes;
    uint32_t dword = 0;
};

Found Read(const RegTrace& t) {
    Found f;
    HKEY h = nullptr;
    // A value the machine's root could not take is under the user's.
    if (RegOpenKeyExW(RegRootKey(t.root), W(t.value.key), 0, KEY_READ | RegViewFlag(t.view), &h) != ERROR_SUCCESS &&
        (!t.orUser ||
         RegOpenKeyExW(HKEY_CURRENT_USER, W(t.value.key), 0, KEY_READ | RegViewFlag(t.view), &h) != ERROR_SUCCESS)) {
        return f;
    }
    const WCHAR* name = t.value.name.IsEmpty() ? nullptr : (const WCHAR*)W(t.value.name);
    DWORD size = 0;
    if (RegQueryValueExW(h, name, nullptr, &f.type, nullptr, &size) == ERROR_SUCCESS) {
        BYTE* data = (BYTE*)ArenaAlloc(GetTempArena(), size + 2, true);
        f.exists = RegQueryValueExW(h, name, nullptr, &f.type, data, &size) == ERROR_SUCCESS;
        f.bytes = StrView((const char*)data, (int32_t)size);
        if (f.type == REG_DWORD && size == 4) {
            memcpy(&f.dword, data, 4);
        } else if (f.type == REG_SZ || f.type == REG_EXPAND_SZ) {
            f.text = U((const WCHAR*)data);
        }
    }
    RegCloseKey(h);
    return f;
}

bool KeyThere(RegRoot root, RegView view, StrView key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(RegRootKey(root), W(key), 0, KEY_READ | RegViewFlag(view), &h) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(h);
    return true;
}

// What the uninstaller's own removal lists take away is gone: every key and value a step
// deletes unconditionally. A guarded step depends on what the value named then, and a step
// allowed to fail (the machine's copy of a per-user class) proves nothing.
void CheckRemovalLists(const Registration& reg, int* checked, int* wrong) {
    for (Removal why : {Removal::Uninstall, Removal::UninstallAfterFiles}) {
        int n = 0;
        const Piece* order = RemovalOrder(why, &n);
        Vec<RegDelete> steps(GetTempArena());
        for (int i = 0; i < n; i++) {
            for (const RegItem& item : reg.items) {
                if (item.piece == order[i]) PieceRemoval(reg, item, why, &steps);
            }
        }
        for (const RegDelete& d : steps) {
            bool isKey = d.op == RegDeleteOp::Key || d.op == RegDeleteOp::KeyInView;
            bool isValue = d.op == RegDeleteOp::Value || d.op == RegDeleteOp::ValueQuiet;
            if (d.guarded || d.mayFail || (!isKey && !isValue)) {
                continue;
            }
            RegTrace t;
            t.root = d.root;
            t.view = d.view;
            t.value.key = d.key;
            t.value.name = d.name;
            bool there = isKey ? KeyThere(d.root, d.view, d.key) : Read(t).exists;
            (*checked)++;
            if (there) {
                (*wrong)++;
                fprintf(stderr, "left: %s\\%s%s%s (a step of the removal deletes it)\n", RegRootName(d.root),
                        d.key.CStr(), isKey ? "" : " value ", isKey ? "" : d.name.CStr());
            }
        }
    }
}

bool HasElement(StrView value, StrView element) {
    str::Parts parts(value, ';');
    for (StrView part; parts.Next(&part);) {
        if (str::EqI(part, element)) {
            return true;
        }
    }
    return false;
}

// Whether the machine holds what the trace says the installation wrote.
bool Holds(const RegTrace& t, const Found& f) {
    switch (t.match) {
        case TraceMatch::Exists:
        case TraceMatch::ExistsWhileInstalled:
            return f.exists;
        case TraceMatch::Absent:
            return !f.exists;
        case TraceMatch::Element:
            return f.exists && HasElement(f.text, t.value.text);
        case TraceMatch::Exact:
            break;
    }
    switch (t.value.type) {
        case RegType::Dword:
            return f.exists && f.type == REG_DWORD && f.dword == t.value.dword;
        case RegType::None:
            return f.exists && f.type == REG_NONE;
        case RegType::DeleteValue:
            return !f.exists;
        case RegType::Binary:
            return f.exists && f.type == REG_BINARY && str::Eq(f.bytes, t.value.text);
        case RegType::Sz:
            break;
    }
    return f.exists && f.type == REG_SZ && str::Eq(f.text, t.value.text);
}

// Windows keeps the 32-bit view of the user's class registrations apart (Wow6432Node); Wine 8
// shares one key for both views, so there the 32-bit write of a per-user class is what both
// views read. Asked of the machine with a throwaway class key.
bool KeyExists(const WCHAR* key, REGSAM view) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ | view, &h) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(h);
    return true;
}

bool SharesUserClassViews() {
    const WCHAR* clsid = L"Software\\Classes\\CLSID";
    const WCHAR* key = L"Software\\Classes\\CLSID\\{5E1F0000-7E57-0000-0000-000000000000}";
    bool had32 = KeyExists(clsid, KEY_WOW64_32KEY), had64 = KeyExists(clsid, KEY_WOW64_64KEY);
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY, nullptr, &h, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(h);
    bool shared = KeyExists(key, KEY_WOW64_64KEY);
    // The machine is compared with its state before the installation afterwards: the probe
    // leaves nothing, not even the containers it made (a delete of a key with subkeys fails).
    RegDeleteKeyExW(HKEY_CURRENT_USER, key, KEY_WOW64_32KEY, 0);
    if (!had32) {
        RegDeleteKeyExW(HKEY_CURRENT_USER, clsid, KEY_WOW64_32KEY, 0);
    }
    if (!had64) {
        RegDeleteKeyExW(HKEY_CURRENT_USER, clsid, KEY_WOW64_64KEY, 0);
    }
    return shared;
}

// Where the views are shared, a per-user class value written in both holds the 32-bit data.
void ShareUserClassViews(Vec<RegTrace>* traces) {
    for (RegTrace& t : *traces) {
        if (t.root != RegRoot::User || t.view != RegView::Bits64 || !str::StartsWith(t.value.key, "Software\\Classes\\")) {
            continue;
        }
        for (const RegTrace& u : *traces) {
            if (u.root == t.root && u.view == RegView::Bits32 && str::EqI(u.value.key, t.value.key) &&
                str::EqI(u.value.name, t.value.name)) {
                t.value = u.value;
            }
        }
    }
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    TempArenaScope scope;
    bool installed = argc > 1 && str::Eq(U((const WCHAR*)argv[1]), "installed");
    bool removed = argc > 1 && str::Eq(U((const WCHAR*)argv[1]), "removed");
    // The installer's own words, read by the installer's own parser: "-d <dir>" and the
    // switches of the eight choices.
    Vec<StrView> words(GetTempArena());
    words.Append("registration_check");
    for (int i = 2; i < argc; i++) {
        words.Append(U((const WCHAR*)argv[i]));
    }
    Flags given;
    ParseFlagsArgs(words.els, (int)words.len, &given, FlagsEnvironment{});
    if (given.fileNames.len > 0 || given.reader.args.len > 0) {
        fprintf(stderr, "registration_check: not an installer option: '%s'\n",
                (given.fileNames.len > 0 ? given.fileNames.els[0] : StrView("a reader option")).CStr());
        return 2;
    }
    InstallChoices chosen = ChoicesAsked(given.installer);
    chosen.installDir = given.installer.installDir;
    if ((!installed && !removed) || chosen.installDir.IsEmpty()) {
        fprintf(stderr, "usage: registration_check installed|removed -d <dir> [options]\n");
        return 2;
    }
    Registration reg(GetTempArena());
    BuildRegistration(chosen, &reg);
    Vec<RegTrace> traces(GetTempArena());
    RegistrationTraces(reg, gPlatformMajorVersion(), &traces);
    if (SharesUserClassViews()) {
        ShareUserClassViews(&traces);
    }
    int checked = 0, wrong = 0;
    for (const RegTrace& t : traces) {
        if (removed && (t.keptOnRemoval || t.match == TraceMatch::ExistsWhileInstalled)) {
            continue;
        }
        Found f = Read(t);
        bool holds = Holds(t, f);
        // Removed: nothing holds our data any more (a value the installation deleted stays deleted).
        bool ok = installed ? holds : (t.match == TraceMatch::Absent ? holds : !holds);
        checked++;
        if (!ok) {
            wrong++;
            fprintf(stderr, "%s: %s\\%s [%s]%s: found %s'%s'\n", installed ? "missing" : "left", RegRootName(t.root),
                   t.value.key.CStr(), t.value.name.CStr(),
                   t.view == RegView::Bits32 ? " (32-bit view)" : t.view == RegView::Bits64 ? " (64-bit view)" : "",
                   f.exists ? "" : "nothing ", f.text.CStr());
        }
    }
    if (removed) {
        CheckRemovalLists(reg, &checked, &wrong);
    }
    Vec<int> csidls(GetTempArena());
    RegistrationShortcuts(reg, &csidls);
    for (int csidl : csidls) {
        StrView lnk = GetShortcutPathTemp(csidl);
        checked++;
        if (file::Exists(lnk) != installed) {
            wrong++;
            fprintf(stderr, "%s: shortcut '%s'\n", installed ? "missing" : "left", lnk.CStr());
        }
    }
    printf("registration_check %s: %d of %d registry keys, values and shortcuts differ\n",
           installed ? "installed" : "removed", wrong, checked);
    return wrong == 0 ? 0 : 1;
}
