#include <windows.h>
#include <commctrl.h>

#include "ui/controls.h"
#include "ui/dpi.h"

Size Checkbox::GetIdealSize() {
    SIZE s{};
    if (hwnd) {
        SendMessageW(hwnd, BCM_GETIDEALSIZE, 0, (LPARAM)&s);
    }
    return Size{s.cx + Scale(16), s.cy + Scale(4)};
}

bool Checkbox::IsChecked() {
    return hwnd && SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Sets the control's text and background colours on the DC the parent was asked about.
static bool AnswerColor(HwndBase* c, WndEvent* ev, bool opaque) {
    HDC dc = (HDC)ev->wp;
    if (!IsNoColor(c->textColor)) SetTextColor(dc, c->textColor);
    HBRUSH br = c->BackgroundBrush();
    if (!br) {
        return false;
    }
    SetBkColor(dc, c->bgColor);
    if (opaque) SetBkMode(dc, OPAQUE);
    ev->result = (LRESULT)br;
    ev->handled = true;
    return true;
}

bool AnswerEditColor(HwndBase* c, WndEvent* ev) {
    return AnswerColor(c, ev, true);
}

bool Checkbox::OnReflected(WndEvent* ev) {
    switch (ev->msg) {
        case WM_COMMAND:
            if (HIWORD(ev->wp) == BN_CLICKED) {
                onCheckStateChanged.Call(ev);
                ev->handled = true;
                ev->result = 1;
            }
            return ev->handled;
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSTATIC:
            return AnswerColor(this, ev, false);
    }
    return ControlBase::OnReflected(ev);
}

Checkbox* CreateCheckbox(HWND parent, StrView text, bool checked, bool isRtl, bool shown) {
    Checkbox* c = new Checkbox;
    CreateControlArgs args;
    args.parent = parent;
    args.className = WC_BUTTONW;
    args.style = WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX | (shown ? 0 : WS_DISABLED);
    args.visible = shown;
    args.text = text;
    args.isRtl = isRtl;
    if (!CreateControl(c, args)) {
        return c;
    }
    SendMessageW(c->hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    Size s = c->GetIdealSize();
    SetWindowPos(c->hwnd, nullptr, 0, 0, s.dx, s.dy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return c;
}
