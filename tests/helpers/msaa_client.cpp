// A small screen-reader stand-in: reads the installer window's accessible tree through MSAA
// and records the WinEvents its process raises, as Narrator, NVDA or JAWS would get them.
//   msaa_client <command> [args] [-- <command> [args]]...
// Commands:
//   wait-window [ms]      waits for the installer window (class VLPDF_INSTALLER_FRAME), visible
//                         and done with its start (installer_window_ready.h)
//   tree                  the client object and its children, one line each:
//                         node|<role>|<name>|<states>|<default action>|<value>|<shortcut>|<inside>
//                         (inside: 1 when the location lies within the client object's)
//   do-default <role>     the default action of the first child with that role (link, ...)
//   record <file> [ms]    writes one line per focus, value, name, state or alert event of the
//                         window's process, as it comes: event|<kind>|<role>|<name>|<value>;
//                         ends when the window is gone (or after ms); the file says "ready"
//                         once the hook is in place
// Exit code 0 when every command did what it says, else 1 (the failing command is named).
#include <windows.h>
#include <oleacc.h>

#include <stdio.h>
#include <string>
#include <vector>

#include "command_groups.h"
#include "installer_window_ready.h"

namespace {
// MinGW-w64's import library hands out a thunk under IID_IAccessible, not the GUID.
const IID kIidAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
HWND gWindow = nullptr;
FILE* gRecord = nullptr;

// A field of an output line: UTF-8 with no line break or separator in it.
std::string Field(const wchar_t* s, int n = -1) {
    std::string out = Utf8(s, n);
    for (char& c : out) {
        if (c == '\n' || c == '|') c = ' ';
    }
    return out;
}

VARIANT Child(long id) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

std::string Text(IAccessible* acc, long id, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) {
    BSTR b = nullptr;
    if (FAILED((acc->*get)(Child(id), &b)) || !b) return "";
    std::string s = Field(b, (int)SysStringLen(b));
    SysFreeString(b);
    return s;
}

const char* RoleName(long role) {
    switch (role) {
        case ROLE_SYSTEM_CLIENT: return "client";
        case ROLE_SYSTEM_WINDOW: return "window";
        case ROLE_SYSTEM_STATICTEXT: return "statictext";
        case ROLE_SYSTEM_TEXT: return "text";
        case ROLE_SYSTEM_PUSHBUTTON: return "pushbutton";
        case ROLE_SYSTEM_CHECKBUTTON: return "checkbutton";
        case ROLE_SYSTEM_LINK: return "link";
        case ROLE_SYSTEM_PROGRESSBAR: return "progressbar";
        case ROLE_SYSTEM_ALERT: return "alert";
        case ROLE_SYSTEM_DIALOG: return "dialog";
    }
    return "other";
}

long Role(IAccessible* acc, long id) {
    VARIANT v;
    VariantInit(&v);
    return SUCCEEDED(acc->get_accRole(Child(id), &v)) && v.vt == VT_I4 ? v.lVal : -1;
}

std::string States(IAccessible* acc, long id) {
    VARIANT v;
    VariantInit(&v);
    if (FAILED(acc->get_accState(Child(id), &v)) || v.vt != VT_I4) return "?";
    static const struct {
        long bit;
        const char* name;
    } names[] = {{STATE_SYSTEM_FOCUSED, "focused"},     {STATE_SYSTEM_FOCUSABLE, "focusable"},
                 {STATE_SYSTEM_CHECKED, "checked"},     {STATE_SYSTEM_UNAVAILABLE, "unavailable"},
                 {STATE_SYSTEM_INVISIBLE, "invisible"}, {STATE_SYSTEM_EXPANDED, "expanded"},
                 {STATE_SYSTEM_COLLAPSED, "collapsed"}, {STATE_SYSTEM_LINKED, "linked"},
                 {STATE_SYSTEM_READONLY, "readonly"}};
    std::string s;
    for (auto& n : names) {
        if (v.lVal & n.bit) s += std::string(s.empty() ? "" : ",") + n.name;
    }
    return s;
}

RECT Location(IAccessible* acc, long id) {
    long x = 0, y = 0, dx = 0, dy = 0;
    if (FAILED(acc->accLocation(&x, &y, &dx, &dy, Child(id)))) return RECT{0, 0, -1, -1};
    return RECT{x, y, x + dx, y + dy};
}

struct Node {
    IAccessible* acc;  // owned reference
    long id;
};

IAccessible* RootObject() {
    IAccessible* acc = nullptr;
    if (FAILED(AccessibleObjectFromWindow(gWindow, (DWORD)OBJID_CLIENT, kIidAccessible, (void**)&acc))) return nullptr;
    return acc;
}

// The children as objects of their own or as simple elements of the root.
std::vector<Node> Children(IAccessible* root) {
    std::vector<Node> out;
    long n = 0;
    if (FAILED(root->get_accChildCount(&n)) || n <= 0) return out;
    std::vector<VARIANT> kids((size_t)n);
    long got = 0;
    if (FAILED(AccessibleChildren(root, 0, n, kids.data(), &got))) return out;
    for (long i = 0; i < got; i++) {
        VARIANT& v = kids[(size_t)i];
        if (v.vt == VT_DISPATCH && v.pdispVal) {
            IAccessible* child = nullptr;
            if (SUCCEEDED(v.pdispVal->QueryInterface(kIidAccessible, (void**)&child))) out.push_back({child, CHILDID_SELF});
            v.pdispVal->Release();
        } else if (v.vt == VT_I4) {
            root->AddRef();
            out.push_back({root, v.lVal});
        }
    }
    return out;
}

std::string Describe(IAccessible* acc, long id) {
    return std::string(RoleName(Role(acc, id))) + "|" + Text(acc, id, &IAccessible::get_accName) + "|" +
           States(acc, id) + "|" + Text(acc, id, &IAccessible::get_accDefaultAction) + "|" +
           Text(acc, id, &IAccessible::get_accValue) + "|" + Text(acc, id, &IAccessible::get_accKeyboardShortcut) + "|" +
           Text(acc, id, &IAccessible::get_accDescription);
}

bool PrintTree() {
    IAccessible* root = RootObject();
    if (!root) return false;
    RECT area = Location(root, CHILDID_SELF);
    printf("node|%s|1\n", Describe(root, CHILDID_SELF).c_str());
    for (Node& n : Children(root)) {
        RECT r = Location(n.acc, n.id);
        bool inside = r.left >= area.left && r.top >= area.top && r.right <= area.right && r.bottom <= area.bottom;
        printf("node|%s|%d\n", Describe(n.acc, n.id).c_str(), inside ? 1 : 0);
        n.acc->Release();
    }
    root->Release();
    return true;
}

bool DoDefault(const std::string& role) {
    IAccessible* root = RootObject();
    if (!root) return false;
    bool done = false, found = false;
    for (Node& n : Children(root)) {
        if (!found && role == RoleName(Role(n.acc, n.id))) {
            found = true;
            done = SUCCEEDED(n.acc->accDoDefaultAction(Child(n.id)));
        }
        n.acc->Release();
    }
    root->Release();
    return done;
}

const char* EventName(DWORD event) {
    switch (event) {
        case EVENT_OBJECT_FOCUS: return "focus";
        case EVENT_OBJECT_VALUECHANGE: return "value";
        case EVENT_OBJECT_NAMECHANGE: return "name";
        case EVENT_OBJECT_STATECHANGE: return "state";
        case EVENT_SYSTEM_ALERT: return "alert";
    }
    return nullptr;
}

struct Event {
    DWORD event;
    HWND hwnd;
    LONG object;
    LONG child;
};
std::vector<Event> gQueue;

// Only queued here: asking the window about an event waits in COM's modal loop, which runs
// this callback again for the next event, and the lines would come out nested.
void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
    if (EventName(event)) gQueue.push_back({event, hwnd, object, child});
}

void WriteEvent(DWORD event, HWND hwnd, LONG object, LONG child) {
    const char* kind = EventName(event);
    IAccessible* acc = nullptr;
    VARIANT v;
    VariantInit(&v);
    if (FAILED(AccessibleObjectFromEvent(hwnd, (DWORD)object, (DWORD)child, &acc, &v)) || !acc) {
        fprintf(gRecord, "event|%s|?|?|?\n", kind);
        fflush(gRecord);
        return;
    }
    long id = v.vt == VT_I4 ? v.lVal : CHILDID_SELF;
    fprintf(gRecord, "event|%s|%s|%s|%s\n", kind, RoleName(Role(acc, id)), Text(acc, id, &IAccessible::get_accName).c_str(),
            Text(acc, id, &IAccessible::get_accValue).c_str());
    fflush(gRecord);
    acc->Release();
}

bool Record(const std::wstring& file, DWORD ms) {
    gRecord = _wfopen(file.c_str(), L"wb");
    if (!gRecord) return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(gWindow, &pid);
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, OnEvent, pid, 0, WINEVENT_OUTOFCONTEXT);
    if (!hook) return false;
    fprintf(gRecord, "ready\n");
    fflush(gRecord);
    DWORD start = GetTickCount();
    while (IsWindow(gWindow) && GetTickCount() - start < ms) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        while (!gQueue.empty()) {
            Event e = gQueue.front();
            gQueue.erase(gQueue.begin());
            WriteEvent(e.event, e.hwnd, e.object, e.child);
        }
    }
    UnhookWinEvent(hook);
    fclose(gRecord);
    gRecord = nullptr;
    return true;
}

DWORD Ms(const std::vector<std::wstring>& a, size_t i, DWORD fallback) {
    return i < a.size() ? (DWORD)_wtoi(a[i].c_str()) : fallback;
}

bool Run(const std::vector<std::wstring>& a) {
    const std::wstring& cmd = a[0];
    if (cmd == L"wait-window") {
        gWindow = WaitForReadyInstallerWindow(Ms(a, 1, 30000));
        return gWindow != nullptr;
    }
    if (!gWindow) return false;
    if (cmd == L"tree") return PrintTree();
    if (cmd == L"do-default" && a.size() > 1) return DoDefault(Field(a[1].c_str()));
    if (cmd == L"record" && a.size() > 1) return Record(a[1], Ms(a, 2, 120000));
    return false;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int code = RunCommandGroups(argc, argv, Run);
    if (code == 0) CoUninitialize();
    return code;
}
