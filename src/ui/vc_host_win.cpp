#include "ui/vc_host.h"

#include <windowsx.h>

#include <initializer_list>

#include "ui/painter.h"
#include "ui/window_class.h"

namespace {
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

void VirtCtrlHost::SetControls(virtCtrl* const* ctrls, int n) {
    for (virtCtrl** state : {&hovered, &captured, &focused, &pressed}) {
        if (*state && !ListContains(ctrls, n, *state)) *state = nullptr;
    }
    roots.Reset();
    roots.Append(ctrls, n);
    for (virtCtrl* r : roots) SetHost(r, this);
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
}

void VirtCtrlHost::MoveFocus(bool backwards) {
    Vec<virtCtrl*> order;
    for (virtCtrl* r : roots) Focusable(r, &order);
    if (order.len == 0) return;
    int cur = -1;
    for (int i = 0; i < order.len; i++) {
        if (order[i] == focused) cur = i;
    }
    int next = cur < 0 ? (backwards ? order.len - 1 : 0) : (cur + (backwards ? order.len - 1 : 1)) % order.len;
    SetFocus(order[next]);
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
                ::SetFocus(hwnd);
                SetFocus(hit);
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
