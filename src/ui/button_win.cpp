#include <windows.h>
#include <commctrl.h>

#include "ui/controls.h"
#include "ui/dpi.h"
#include "ui/font.h"
#include "ui/window_geometry.h"

Size Button::GetIdealSize() {
    SIZE s = MeasureTextSize(font, GetTextTemp());
    int dx = s.cx + Scale(24);
    int minDx = Scale(70);
    return Size{dx > minDx ? dx : minDx, s.cy + Scale(10)};
}

bool Button::OnReflected(WndEvent* ev) {
    if (ev->msg == WM_COMMAND) {
        if (HIWORD(ev->wp) == BN_CLICKED) {
            onClicked.Call(ev);
            ev->handled = true;
            ev->result = 1;
        }
        return ev->handled;
    }
    return ControlBase::OnReflected(ev);
}

Button* CreateDefaultButton(HWND parent, StrView text, bool isRtl) {
    Button* b = new Button;
    CreateControlArgs args;
    args.parent = parent;
    args.className = WC_BUTTONW;
    args.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (b->isDefault ? BS_DEFPUSHBUTTON : 0);
    args.text = text;
    args.isRtl = isRtl;
    CreateControl(b, args);
    if (b->hwnd) {
        Size s = b->GetIdealSize();
        Rect client = ClientRect(parent);
        int margin = Scale(8);
        b->SetBounds(Rect{client.dx - s.dx - margin, client.dy - s.dy - margin, s.dx, s.dy});
    }
    return b;
}
