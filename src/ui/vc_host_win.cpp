#include "ui/vc_host.h"

#include <windowsx.h>

#include <initializer_list>

#include "base/arena.h"
#include "base/wide_win.h"
#include "ui/accessible.h"
#include "ui/painter.h"
#include "ui/window_class.h"

namespace {
constexpr const WCHAR* kFocusWindowClass = L"VLPDF_VC_FOCUS";
Vec<VirtCtrlHost*> gHosts;

virtCtrl* HitIn(virtCtrl* c, int x, int y, int* rx, int* ry) {
    if (!c->IsVisible() || !(c->flags & VcEnabled)) {
        return nullptr;
    }
    int lx = x - c->bounds.x, ly = y - c->bounds.y;
    if (!(c->flags & VcNoChildren)) {
        Size off = c->ChildOffset();
        for (int i = c->children.len - 1; i >= 0; i--) {
            if (virtCtrl* hit = HitIn(c->children[i], lx - off.dx, ly - off.dy, rx, ry)) return hit;
        }
    }
    if (!(c->flags & VcNoHitTest) && c->Contains(lx, ly)) {
        *rx = lx;
        *ry = ly;
        return c;
    }
    return nullptr;
}

LPCWSTR CursorId(int kind) {
    static const LPCWSTR ids[] = {nullptr, IDC_ARROW, IDC_IBEAM, IDC_HAND, IDC_CROSS,
                                  IDC_SIZEALL, IDC_SIZENS, IDC_SIZEWE, IDC_NO};
    return kind > 0 && kind <= 8 ? ids[kind] : nullptr;
}

void SetFlag(virtCtrl* c, uint32_t flag, bool on) {
    c->flags = on ? (c->flags | flag) : (c->flags & ~flag);
}

// Offers the event to c and then to its ancestors until one handles it.
bool Bubble(virtCtrl* c, VirtHandler virtCtrl::*slot, VirtEvent* ev) {
    for (virtCtrl* v = c; v; v = v->parent) {
        if (!(v->*slot).IsSet()) continue;
        ev->ctrl = v;
        (v->*slot).Call(ev);
        if (ev->handled) return true;
    }
    return false;
}

void Focusable(virtCtrl* c, Vec<virtCtrl*>* out) {
    if (!c->IsVisible() || !(c->flags & VcEnabled)) return;
    if ((c->flags & VcCanFocus) && !(c->flags & VcSkipTab)) out->Append(c);
    for (virtCtrl* k : c->children) Focusable(k, out);
}

void SetHost(virtCtrl* c, VirtCtrlHost* h) {
    c->host = h;
    for (virtCtrl* k : c->children) SetHost(k, h);
}

// The first visible, enabled text control whose mnemonic is key, ignoring case.
virtCtrl* FindMnemonic(virtCtrl* c, WCHAR key) {
    if (!c->IsVisible() || !(c->flags & VcEnabled)) return nullptr;
    if (virtCtrlText* t = dynamic_cast<virtCtrlText*>(c)) {
        if (t->mnemonic && t->mnemonic < 0x10000 && CharLowerW((LPWSTR)(uintptr_t)t->mnemonic) == CharLowerW((LPWSTR)(uintptr_t)key)) {
            return c;
        }
    }
    for (virtCtrl* k : c->children) {
        if (virtCtrl* hit = FindMnemonic(k, key)) return hit;
    }
    return nullptr;
}

StrView NameOf(virtCtrl* c) {
    virtCtrlText* t = c ? dynamic_cast<virtCtrlText*>(c) : nullptr;
    return t ? (t->processMnemonics ? AccNameFromTextTemp(t->text) : t->text) : StrView();
}

void Click(virtCtrl* c, UINT msg) {
    if (!c || !c->onClicked.IsSet()) return;
    VirtEvent ev{c, msg};
    c->onClicked.Call(&ev);
}

LRESULT CALLBACK FocusWndProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    VirtCtrlHost* host = (VirtCtrlHost*)GetWindowLongPtrW(w, GWLP_USERDATA);
    if (!host) return DefWindowProcW(w, msg, wp, lp);
    bool shift = GetKeyState(VK_SHIFT) & 0x8000;
    switch (msg) {
        case WM_GETDLGCODE: {
            // Tab stays here while another windowless control follows in its direction.
            MSG* m = (MSG*)lp;
            if (m && m->message == WM_KEYDOWN && m->wParam == VK_TAB) {
                return host->NextFocusable(shift, false) ? DLGC_WANTTAB : 0;
            }
            return 0;
        }
        case WM_SETFOCUS:
            if (!host->focused) host->MoveFocus(shift);
            return 0;
        case WM_KILLFOCUS:
            host->SetFocus(nullptr);
            return 0;
        case WM_KEYDOWN:
            if (wp == VK_TAB) {
                host->MoveFocus(shift, false);
                return 0;
            }
            if (wp == VK_SPACE) {
                Click(host->focused, msg);
                return 0;
            }
            break;
        case WM_SYSCHAR: {
            LRESULT res = 0;
            if (host->HandleMessage(msg, wp, lp, &res)) return res;
            break;
        }
        case WM_GETOBJECT:
            if (host->focused) {
                if (LRESULT res = AnswerAccGetObject(host->hwnd, (uintptr_t)host->focused, wp, lp)) return res;
            }
            break;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(w, &ps);
            EndPaint(w, &ps);
            return 0;
        }
    }
    return DefWindowProcW(w, msg, wp, lp);
}

HWND CreateFocusWindow(VirtCtrlHost* host) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc = StandardWindowClass(kFocusWindowClass, FocusWndProc);
        registered = RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }
    HWND w = CreateWindowExW(WS_EX_NOPARENTNOTIFY, kFocusWindowClass, L"", WS_CHILD | WS_TABSTOP, 0, 0, 0, 0,
                             host->hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (w) SetWindowLongPtrW(w, GWLP_USERDATA, (LONG_PTR)host);
    return w;
}

bool ListContains(virtCtrl* const* list, int n, virtCtrl* c) {
    for (int i = 0; i < n; i++) {
        if (list[i] && LayoutContains(list[i], c)) return true;
    }
    return false;
}
}  // namespace

void CollectVirtCtrls(ILayout* root, Vec<virtCtrl*>* out) {
    if (!root) return;
    if (virtCtrl* v = root->AsVirtCtrl()) {
        out->Append(v);
        return;
    }
    int n = root->ChildCount();
    for (int i = 0; i < n; i++) CollectVirtCtrls(root->GetChild(i), out);
}

VirtCtrlHost::VirtCtrlHost(HWND w) : hwnd(w) {
    gHosts.Append(this);
}

VirtCtrlHost::~VirtCtrlHost() {
    for (int i = 0; i < gHosts.len; i++) {
        if (gHosts[i] == this) {
            gHosts.RemoveAtFast(i);
            break;
        }
    }
    if (focusWnd && IsWindow(focusWnd)) {
        SetWindowLongPtrW(focusWnd, GWLP_USERDATA, 0);
        DestroyWindow(focusWnd);
    }
}

VirtCtrlHost* FindVirtCtrlHost(HWND w) {
    for (VirtCtrlHost* h : gHosts) {
        if (h->hwnd == w) return h;
    }
    return nullptr;
}

void VirtCtrlHost::SetControls(virtCtrl* const* ctrls, int n) {
    for (virtCtrl** state : {&hovered, &captured, &focused, &pressed}) {
        if (*state && !ListContains(ctrls, n, *state)) *state = nullptr;
    }
    roots.Reset();
    roots.Append(ctrls, n);
    for (virtCtrl* r : roots) SetHost(r, this);

    Vec<virtCtrl*> order(GetTempArena());
    for (virtCtrl* r : roots) Focusable(r, &order);
    bool stillFocusable = false;
    for (virtCtrl* c : order) stillFocusable |= c == focused;
    if (focused && !stillFocusable) SetFocus(nullptr);
    if (order.len > 0 && !focusWnd) focusWnd = CreateFocusWindow(this);
    if (!focusWnd) return;
    bool show = order.len > 0;
    if (!show && GetFocus() == focusWnd) ::SetFocus(hwnd);
    ShowWindow(focusWnd, show ? SW_SHOWNA : SW_HIDE);
}

virtCtrl* VirtCtrlHost::HitTest(int x, int y, int* rx, int* ry) {
    for (int i = roots.len - 1; i >= 0; i--) {
        if (virtCtrl* hit = HitIn(roots[i], x, y, rx, ry)) return hit;
    }
    return nullptr;
}

void VirtCtrlHost::SetFocus(virtCtrl* c) {
    if (c == focused) return;
    virtCtrl* old = focused;
    focused = c;
    for (virtCtrl* v : {old, c}) {
        if (!v) continue;
        SetFlag(v, VcHasFocus, v == c);
        VirtEvent ev;
        ev.ctrl = v;
        v->onFocusChanged.Call(&ev);
        v->Repaint();
    }
    if (!focusWnd || !c) return;
    TempArenaScope scope;
    SetWindowTextW(focusWnd, W(NameOf(c)));
    // Entering the focus window raises the system's own focus event; a move between
    // windowless controls behind it raises this one.
    if (old && GetFocus() == focusWnd) NotifyWinEvent(EVENT_OBJECT_FOCUS, focusWnd, OBJID_CLIENT, CHILDID_SELF);
}

virtCtrl* VirtCtrlHost::NextFocusable(bool backwards, bool wrap) {
    Vec<virtCtrl*> order(GetTempArena());
    for (virtCtrl* r : roots) Focusable(r, &order);
    if (order.len == 0) return nullptr;
    int cur = -1;
    for (int i = 0; i < order.len; i++) {
        if (order[i] == focused) cur = i;
    }
    int next = cur < 0 ? (backwards ? order.len - 1 : 0) : cur + (backwards ? -1 : 1);
    if (next < 0 || next >= order.len) {
        if (!wrap) return nullptr;
        next = (next + order.len) % order.len;
    }
    return order[next];
}

bool VirtCtrlHost::MoveFocus(bool backwards, bool wrap) {
    virtCtrl* next = NextFocusable(backwards, wrap);
    if (next) SetFocus(next);
    return next != nullptr;
}

void VirtCtrlHost::FocusControl(virtCtrl* c) {
    HWND target = focusWnd && IsWindowVisible(focusWnd) ? focusWnd : hwnd;
    if (GetFocus() != target) {
        // The focus window takes the first control on its own; c follows right after.
        ::SetFocus(target);
    }
    SetFocus(c);
}

bool VirtCtrlHost::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* res) {
    *res = 0;
    POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    int rx = 0, ry = 0;
    switch (msg) {
        case WM_SETCURSOR: {
            if (LOWORD(lp) != HTCLIENT) return false;
            GetCursorPos(&pt);
            ScreenToClient(hwnd, &pt);
            for (virtCtrl* c = HitTest(pt.x, pt.y, &rx, &ry); c; c = c->parent) {
                VirtEvent ev{c, msg, wp, lp, rx, ry};
                c->onSetCursor.Call(&ev);
                if (ev.handled) {
                    *res = TRUE;
                    return true;
                }
                if (c->cursor == CursorNone) continue;
                if (LPCWSTR id = CursorId(c->cursor)) {
                    HCURSOR want = GetCachedCursor(id);
                    if (GetCursor() != want) SetCursor(want);
                }
                *res = TRUE;
                return true;
            }
            return false;
        }
        case WM_MOUSEMOVE: {
            if (!trackingLeave) {
                TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd, 0};
                trackingLeave = TrackMouseEvent(&tme);
            }
            virtCtrl* hit = HitTest(pt.x, pt.y, &rx, &ry);
            if (hit != hovered) {
                virtCtrl* old = hovered;
                hovered = hit;
                VirtEvent ev{};
                if (old) {
                    SetFlag(old, VcHovered, false);
                    ev.ctrl = old;
                    old->onHoverLeave.Call(&ev);
                    old->Repaint();
                }
                if (hit) {
                    SetFlag(hit, VcHovered, true);
                    ev.ctrl = hit;
                    hit->onHoverEnter.Call(&ev);
                    hit->Repaint();
                }
            }
            virtCtrl* target = captured ? captured : hit;
            if (captured) {
                Rect wb = captured->WindowBounds();
                rx = pt.x - wb.x;
                ry = pt.y - wb.y;
            }
            VirtEvent ev{target, msg, wp, lp, rx, ry};
            return target && Bubble(target, &virtCtrl::onMouseMove, &ev);
        }
        case WM_MOUSELEAVE:
            trackingLeave = false;
            if (hovered) {
                virtCtrl* old = hovered;
                hovered = nullptr;
                SetFlag(old, VcHovered, false);
                VirtEvent ev{old, msg, wp, lp};
                old->onHoverLeave.Call(&ev);
                old->Repaint();
            }
            return false;
        case WM_LBUTTONDBLCLK:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN: {
            virtCtrl* hit = HitTest(pt.x, pt.y, &rx, &ry);
            if (msg == WM_LBUTTONDBLCLK && hit && hit->onDoubleClick.IsSet()) {
                VirtEvent ev{hit, msg, wp, lp, rx, ry};
                hit->onDoubleClick.Call(&ev);
                return ev.handled;
            }
            if (pressed) {
                SetFlag(pressed, VcPressed, false);
                pressed->Repaint();
                pressed = nullptr;
            }
            if (!hit) {
                SetFocus(nullptr);
                return false;
            }
            if (hit->flags & VcCanFocus) {
                FocusControl(hit);
            }
            pressed = hit;
            SetFlag(hit, VcPressed, true);
            hit->Repaint();
            if (hit->flags & VcCaptureOnPress) {
                captured = hit;
                SetCapture(hwnd);
            }
            VirtEvent ev{hit, msg, wp, lp, rx, ry};
            Bubble(hit, &virtCtrl::onMouseDown, &ev);
            return true;
        }
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: {
            virtCtrl* hit = HitTest(pt.x, pt.y, &rx, &ry);
            virtCtrl* p = pressed;
            if (!p) return false;
            bool wasCaptured = captured == p;
            if (hit == p || wasCaptured) {
                VirtEvent ev{p, msg, wp, lp, rx, ry};
                bool handled = Bubble(p, &virtCtrl::onMouseUp, &ev);
                if (!handled && !p->onMouseUp.IsSet() && p->onClicked.IsSet() && hit == p) {
                    VirtEvent click{p, msg, wp, lp, rx, ry};
                    p->onClicked.Call(&click);
                }
            }
            SetFlag(p, VcPressed, false);
            pressed = nullptr;
            p->Repaint();
            if (wasCaptured) {
                captured = nullptr;
                ReleaseCapture();
                VirtEvent ev{p, msg, wp, lp};
                p->onCaptureLost.Call(&ev);
            }
            return true;
        }
        case WM_MOUSEWHEEL:
        case WM_CONTEXTMENU: {
            POINT sp = pt;
            ScreenToClient(hwnd, &sp);
            virtCtrl* hit = HitTest(sp.x, sp.y, &rx, &ry);
            VirtEvent ev{hit, msg, wp, lp, rx, ry};
            return hit && Bubble(hit, msg == WM_MOUSEWHEEL ? &virtCtrl::onMouseWheel : &virtCtrl::onContextMenu, &ev);
        }
        case WM_CAPTURECHANGED:
            if (captured) {
                virtCtrl* c = captured;
                captured = nullptr;
                VirtEvent ev{c, msg, wp, lp};
                c->onCaptureLost.Call(&ev);
            }
            return false;
        case WM_KEYDOWN: {
            bool ctrl = GetKeyState(VK_CONTROL) & 0x8000, alt = GetKeyState(VK_MENU) & 0x8000;
            if (wp == VK_TAB && !ctrl && !alt) {
                MoveFocus(GetKeyState(VK_SHIFT) & 0x8000);
                return true;
            }
            if (wp == VK_SPACE && focused && !focused->onKeyDown.IsSet()) {
                Click(focused, msg);
                return true;
            }
            VirtEvent ev{focused, msg, wp, lp};
            return focused && Bubble(focused, &virtCtrl::onKeyDown, &ev);
        }
        case WM_SYSCHAR: {
            // Alt plus a control's mnemonic clicks it.
            for (virtCtrl* r : roots) {
                virtCtrl* c = FindMnemonic(r, (WCHAR)wp);
                if (!c || !c->onClicked.IsSet()) continue;
                VirtEvent ev{c, msg, wp, lp};
                c->onClicked.Call(&ev);
                return true;
            }
            return false;
        }
        case WM_CHAR: {
            if (!focused) return false;
            VirtEvent ev{focused, msg, wp, lp};
            focused->onChar.Call(&ev);
            *res = ev.result;
            return ev.handled;
        }
    }
    return false;
}

void VirtCtrlHost::Paint(Painter* p) {
    p->PushClip(bounds);
    for (virtCtrl* c : roots) {
        if (!c->IsVisible() || c->bounds.dx <= 0 || c->bounds.dy <= 0) continue;
        c->Paint(p, c->bounds);
        c->PaintChildren(p, c->bounds);
    }
    p->PopClip();
}

bool IsVirtCtrlInput(UINT msg) {
    switch (msg) {
        case WM_SETCURSOR:
        case WM_SYSCHAR:
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
        case WM_MOUSELEAVE:
            return true;
    }
    return false;
}
