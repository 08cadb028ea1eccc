#include "ui/control.h"

#include <commctrl.h>
#include <windowsx.h>

#include <atomic>

#include "base/log.h"
#include "base/system_lib.h"
#include "ui/accessible.h"
#include "ui/dpi.h"
#include "ui/dpi_win.h"
#include "ui/font.h"
#include "ui/theme.h"
#include "ui/vc_host.h"
#include "ui/window_geometry.h"
#include "ui/window_slot.h"

namespace {
struct Registered {
    HWND hwnd;
    HwndBase* obj;
};
Vec<Registered> gRegistry;
std::atomic<UINT_PTR> gNextSubclassId{0};

void Register(HWND hwnd, HwndBase* obj) {
    for (Registered& r : gRegistry) {
        if (r.obj == obj) {
            r.hwnd = hwnd;
            return;
        }
    }
    gRegistry.Append(Registered{hwnd, obj});
}

void Unregister(HwndBase* obj) {
    for (int i = 0; i < gRegistry.len; i++) {
        if (gRegistry[i].obj == obj) {
            gRegistry.RemoveAtFast(i);
            return;
        }
    }
}

LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (!IsWindow(hwnd)) {
        return 0;
    }
    HwndBase* obj = FindHwndBase(hwnd);
    if (!obj) {
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    return obj->WndProc(hwnd, msg, wp, lp);
}

bool IsMouseMessage(UINT msg) {
    switch (msg) {
        case WM_MOUSEACTIVATE:
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MOUSEWHEEL:
        case WM_MOUSEHWHEEL:
        case WM_MOUSEHOVER:
        case WM_MOUSELEAVE:
            return true;
    }
    return false;
}

bool IsReflectedToChild(UINT msg) {
    switch (msg) {
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
        case WM_DELETEITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_COMPAREITEM:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_PARENTNOTIFY:
            return true;
    }
    return false;
}

// The child window a parent's message is about.
HWND ReflectionTarget(HWND parent, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
            return (HWND)lp;
        case WM_PARENTNOTIFY: {
            WORD event = LOWORD(wp);
            return event == WM_CREATE || event == WM_DESTROY ? (HWND)lp : nullptr;
        }
        case WM_NOTIFY:
            return lp ? ((NMHDR*)lp)->hwndFrom : nullptr;
        case WM_DRAWITEM:
            return lp ? ((DRAWITEMSTRUCT*)lp)->hwndItem : nullptr;
        case WM_DELETEITEM:
            return lp ? ((DELETEITEMSTRUCT*)lp)->hwndItem : nullptr;
        case WM_COMPAREITEM:
            return lp ? ((COMPAREITEMSTRUCT*)lp)->hwndItem : nullptr;
        case WM_MEASUREITEM: {
            UINT id = lp ? ((MEASUREITEMSTRUCT*)lp)->CtlID : 0;
            return id ? GetDlgItem(parent, (int)id) : FindWindowExW(parent, nullptr, L"LISTBOX", nullptr);
        }
    }
    return nullptr;
}
}  // namespace

HwndBase* FindHwndBase(HWND hwnd) {
    if (!hwnd) {
        return nullptr;
    }
    for (Registered& r : gRegistry) {
        if (r.hwnd == hwnd) return r.obj;
    }
    return nullptr;
}

ControlBase* FindControl(HWND hwnd) {
    HwndBase* b = FindHwndBase(hwnd);
    return b ? b->Owner() : nullptr;
}

bool HwndBase::Subclass() {
    if (subclassId != 0) {
        return true;
    }
    Register(hwnd, this);
    subclassId = ++gNextSubclassId;
    const CommonControlsApi& comctl = CommonControlsApi::Get();
    if (!comctl.ok || !comctl.SetWindowSubclass(hwnd, SubclassProc, subclassId, 0)) {
        Logf("HwndBase::Subclass: SetWindowSubclass() failed, err: %d\n", (int)GetLastError());
        subclassId = 0;
        return false;
    }
    return true;
}

HBRUSH HwndBase::BackgroundBrush() {
    if (IsNoColor(bgColor)) {
        return nullptr;
    }
    if (!bgBrush || bgBrushColor != bgColor) {
        if (bgBrush) DeleteObject(bgBrush);
        bgBrush = CreateSolidBrush(bgColor);
        bgBrushColor = bgColor;
    }
    return bgBrush;
}

bool ReflectMessage(HWND parent, UINT msg, WPARAM wp, LPARAM lp, LRESULT* res) {
    HWND target = ReflectionTarget(parent, msg, wp, lp);
    ControlBase* c = FindControl(target);
    for (ControlBase* asked : {c, FindControl(parent)}) {
        if (!asked) continue;
        WndEvent ev{asked, parent, msg, wp, lp, 0, false};
        if (asked->OnReflected(&ev)) {
            *res = ev.result;
            return true;
        }
    }
    return false;
}

HWND CreateControl(ControlBase* c, const CreateControlArgs& a) {
    GetTheme();
    c->font = a.font ? a.font : GetDefaultGuiFont();
    DWORD style = a.style | (a.parent ? WS_CHILD : 0);
    style = a.visible ? (style | WS_VISIBLE) : (style & ~WS_VISIBLE);
    DWORD exStyle = a.exStyle | (a.isRtl ? (WS_EX_LAYOUTRTL | WS_EX_NOINHERITLAYOUT) : 0);
    HWND hwnd = CreateWindowExW(exStyle, a.className, L"", style, a.pos.x, a.pos.y, a.pos.dx, a.pos.dy, a.parent,
                                a.menu, GetModuleHandleW(nullptr), (HwndBase*)c);
    if (!hwnd) {
        Logf("CreateControl: CreateWindowExW() failed, err: %d\n", (int)GetLastError());
        return nullptr;
    }
    c->hwnd = hwnd;
    if (c->font) {
        SendMessageW(hwnd, WM_SETFONT, (WPARAM)c->font->GetHFONT(), TRUE);
    }
    UpdateDpiForWindow(hwnd);
    c->Subclass();
    WndEvent ev{c, hwnd, WM_CREATE, 0, 0, 0, false};
    c->onCreated.Call(&ev);
    if (!a.text.IsEmpty()) {
        c->SetText(a.text);
    }
    return hwnd;
}

ControlBase::ControlBase(const char* kindName) : ILayout(kindName) {
    GetTheme();
}

ControlBase::~ControlBase() {
    Unregister(this);
    if (hwnd) {
        if (subclassId) CommonControlsApi::Get().RemoveWindowSubclass(hwnd, SubclassProc, subclassId);
        DestroyWindow(hwnd);
    }
    if (bgBrush) DeleteObject(bgBrush);
}

LRESULT ControlBase::CallDefault(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    return subclassId ? CommonControlsApi::Get().DefSubclassProc(w, msg, wp, lp) : DefWindowProcW(w, msg, wp, lp);
}

LRESULT ControlBase::WndProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    DpiScope dpi(w);
    WndEvent ev{this, w, msg, wp, lp, 0, false};
    FilterMessage(&ev);
    if (ev.handled) {
        return ev.result;
    }
    if (msg == WM_DPICHANGED) {
        gDpiX = RoundDpiForStore(LOWORD(wp) ? LOWORD(wp) : 96);
        gDpiY = RoundDpiForStore(HIWORD(wp) ? HIWORD(wp) : gDpiX);
        dpi.Keep();
        return 0;
    }
    return DefaultHandling(&ev);
}

LRESULT ControlBase::DefaultHandling(WndEvent* ev) {
    HWND w = ev->hwnd;
    UINT msg = ev->msg;
    WPARAM wp = ev->wp;
    LPARAM lp = ev->lp;
    bool standard = subclassId != 0;
    switch (msg) {
        case WM_CREATE:
            onCreate.Call(ev);
            return CallDefault(w, msg, wp, lp);
        case WM_SETFOCUS:
            onFocusGained.Call(ev);
            return CallDefault(w, msg, wp, lp);
        case WM_TIMER:
            onTimer.Call(ev);
            return CallDefault(w, msg, wp, lp);
        case WM_NCDESTROY: {
            // Destroyed by its parent: the control stays, without a window.
            LRESULT r = CallDefault(w, msg, wp, lp);
            if (subclassId) CommonControlsApi::Get().RemoveWindowSubclass(w, SubclassProc, subclassId);
            Unregister(this);
            subclassId = 0;
            hwnd = nullptr;
            return r;
        }
        case WM_DESTROY:
            onDestroy.Call(ev);
            return CallDefault(w, msg, wp, lp);
        case WM_SIZE:
        case WM_ENTERSIZEMOVE:
        case WM_EXITSIZEMOVE:
            onSize.Call(ev);
            return ev->handled ? ev->result : CallDefault(w, msg, wp, lp);
        case WM_PAINT: {
            if (standard) return CallDefault(w, msg, wp, lp);
            PAINTSTRUCT ps;
            BeginPaint(w, &ps);
            if (onPaint.IsSet()) {
                onPaint.Call(ev);
            } else if (HBRUSH br = BackgroundBrush()) {
                FillRect(ps.hdc, &ps.rcPaint, br);
            }
            EndPaint(w, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return eraseBackground ? CallDefault(w, msg, wp, lp) : 1;
        case WM_SETFONT:
            font = GetFontFromHFONT((HFONT)wp);
            return standard ? CallDefault(w, msg, wp, lp) : 0;
        case WM_GETFONT:
            return font ? (LRESULT)font->GetHFONT() : 0;
        case WM_NOTIFY: {
            NMHDR* hdr = (NMHDR*)lp;
            ControlBase* child = hdr && GetParent(hdr->hwndFrom) == w ? FindControl(hdr->hwndFrom) : nullptr;
            if (child && child->onNotifyReflected.IsSet()) {
                WndEvent cev{child, w, msg, wp, lp, 0, false};
                child->onNotifyReflected.Call(&cev);
                if (cev.handled) return cev.result;
            }
            onNotify.Call(ev);
            return ev->handled ? ev->result : CallDefault(w, msg, wp, lp);
        }
        case WM_CONTEXTMENU: {
            POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            if (lp != -1) {
                ScreenToClient(w, &pt);
                ev->lp = MAKELPARAM(pt.x, pt.y);
            }
            onContextMenu.Call(ev);
            return ev->handled ? ev->result : CallDefault(w, msg, wp, lp);
        }
        case WM_COMMAND: {
            if (standard) return CallDefault(w, msg, wp, lp);
            LRESULT res = 0;
            if (lp && ReflectMessage(w, msg, wp, lp, &res)) return res;
            onCommand.Call(ev);
            return ev->handled ? ev->result : CallDefault(w, msg, wp, lp);
        }
        case WM_SYSCHAR: {
            // Alt plus the mnemonic of a windowless control reaches it whatever window has
            // the focus.
            LRESULT res = 0;
            VirtCtrlHost* host = FindVirtCtrlHost(GetParent(w));
            if (host && host->HandleMessage(msg, wp, lp, &res)) return res;
            return CallDefault(w, msg, wp, lp);
        }
        case WM_GETOBJECT: {
            // The window that lists this control answers for it, as it does in its own tree.
            HWND root = AccRootOf(w);
            LRESULT res = root ? AnswerAccGetObject(root, (uintptr_t)w, wp, lp) : 0;
            return res ? res : CallDefault(w, msg, wp, lp);
        }
        case WM_PRINTCLIENT: {
            if (HBRUSH br = BackgroundBrush()) {
                RECT rc;
                GetClientRect(w, &rc);
                FillRect((HDC)wp, &rc, br);
            }
            return CallDefault(w, msg, wp, lp);
        }
    }
    if (IsMouseMessage(msg)) {
        onMouse.Call(ev);
        return ev->handled ? ev->result : CallDefault(w, msg, wp, lp);
    }
    if (IsReflectedToChild(msg)) {
        LRESULT res = 0;
        if (ReflectMessage(w, msg, wp, lp, &res) && res != 0) return res;
    }
    return CallDefault(w, msg, wp, lp);
}

bool ControlBase::OnReflected(WndEvent* ev) {
    switch (ev->msg) {
        case WM_COMMAND:
            onCommand.Call(ev);
            return ev->handled;
        case WM_NOTIFY:
            onNotifyReflected.Call(ev);
            return ev->handled;
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSCROLLBAR:
            onColorReflected.Call(ev);
            return ev->handled;
    }
    return false;
}

// ILayout

void ControlBase::SetVisibility(int v) {
    if (v == visibility) {
        return;
    }
    visibility = v;
    if (!hwnd) {
        return;
    }
    bool show = v == Visible;
    if (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) {
        LONG style = GetWindowLongW(hwnd, GWL_STYLE);
        SetWindowLongW(hwnd, GWL_STYLE, show ? (style | WS_VISIBLE) : (style & ~WS_VISIBLE));
    } else {
        ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE);
    }
}

int ControlBase::MinIntrinsicHeight(int) {
    return GetIdealSize().dy;
}

int ControlBase::MinIntrinsicWidth(int) {
    return GetIdealSize().dx;
}

Size ControlBase::Layout(Constraints bc) {
    int h = insets.left + insets.right;
    int v = insets.top + insets.bottom;
    lastSize = Constrain(Inset(bc, h, v), GetIdealSize());
    return Size{lastSize.dx + h, lastSize.dy + v};
}

void ControlBase::SetBounds(Rect r) {
    lastBounds = r;
    if (!hwnd) {
        return;
    }
    Rect t{r.x + insets.left, r.y + insets.top, r.dx - insets.left - insets.right, r.dy - insets.top - insets.bottom};
    t = MirrorInRtlParent(hwnd, t, mirrorInRtlParent);
    HWND parent = GetParent(hwnd);
    Rect cur = WindowRectInParent(hwnd);
    if (cur.x == t.x && cur.y == t.y && cur.dx == t.dx && cur.dy == t.dy) {
        return;
    }
    SetWindowPos(hwnd, nullptr, t.x, t.y, t.dx, t.dy,
                 SWP_NOCOPYBITS | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOZORDER);
    if (parent && cur.dx > 0 && cur.dy > 0) {
        RECT old{cur.x, cur.y, cur.x + cur.dx, cur.y + cur.dy};
        RedrawWindow(parent, &old, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
    InvalidateRect(hwnd, nullptr, FALSE);
}

bool ControlBase::IsFocused() {
    return hwnd && GetFocus() == hwnd;
}

void ControlBase::SetFocus() {
    if (hwnd) ::SetFocus(hwnd);
}

void ControlBase::SetText(StrView text) {
    if (!hwnd) {
        return;
    }
    if (str::Eq(GetWindowTextUtf8Temp(hwnd), text)) {
        return;
    }
    SendMessageW(hwnd, WM_SETTEXT, 0, (LPARAM)ToWStrTemp(text).s);
    RepaintWindow(hwnd);
}

StrView ControlBase::GetTextTemp() {
    return GetWindowTextUtf8Temp(hwnd);
}

void ControlBase::SetIsVisibleAndEnabled(bool on) {
    SetVisibility(on ? Visible : Hidden);
    if (hwnd) {
        ShowWindow(hwnd, on ? SW_SHOW : SW_HIDE);
        EnableWindow(hwnd, on);
    }
}

void ControlBase::SetEnabled(bool on) {
    if (hwnd) EnableWindow(hwnd, on);
}
