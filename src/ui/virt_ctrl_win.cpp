#include "ui/virt_ctrl.h"

#include <windows.h>

#include <stdlib.h>

#include "ui/font.h"
#include "ui/mnemonic.h"
#include "ui/painter.h"
#include "ui/theme.h"
#include "ui/vc_host.h"

// The first control made, windowless or not, fills the theme's colours.
virtCtrl::virtCtrl(const char* kindName) : ILayout(kindName) {
    GetTheme();
}

virtCtrl::~virtCtrl() {
    for (virtCtrl* c : children) delete c;
}

void virtCtrl::SetBounds(Rect r) {
    lastBounds = r;
    bounds = r;
}

bool virtCtrl::AddChild(virtCtrl* c) {
    if (!c || LayoutContains(c, this)) {
        return false;
    }
    c->parent = this;
    c->host = host;
    return children.Append(c);
}

void virtCtrl::PaintChildren(Painter* p, Rect r) {
    if (flags & VcNoChildren) {
        return;
    }
    Size off = ChildOffset();
    for (virtCtrl* c : children) {
        if (!c->IsVisible() || c->bounds.dx <= 0 || c->bounds.dy <= 0) continue;
        Rect cr{r.x + off.dx + c->bounds.x, r.y + off.dy + c->bounds.y, c->bounds.dx, c->bounds.dy};
        if (flags & VcClipChildren) p->PushClip(r);
        c->Paint(p, cr);
        c->PaintChildren(p, cr);
        if (flags & VcClipChildren) p->PopClip();
    }
}

Rect virtCtrl::WindowBounds() {
    Rect r = bounds;
    for (virtCtrl* p = parent; p; p = p->parent) {
        Size off = p->ChildOffset();
        r.x += p->bounds.x + off.dx;
        r.y += p->bounds.y + off.dy;
    }
    return r;
}

void virtCtrl::Repaint() {
    if (!host || !host->hwnd || !IsVisible()) {
        return;
    }
    Rect r = WindowBounds();
    RECT rc{r.x, r.y, r.x + r.dx, r.y + r.dy};
    InvalidateRect(host->hwnd, &rc, FALSE);
}

// Text

virtCtrlText::virtCtrlText(StrView s, const char* kindName) : virtCtrl(kindName) {
    flags |= VcNoHitTest;
    textColor = &GetTheme()->text;
    SetText(s);
}

virtCtrlText::~virtCtrlText() {
    free((void*)text.s);
}

void virtCtrlText::SetText(StrView s) {
    StrView old = text;  // s may be the current text
    text = str::Dup(nullptr, s);
    free((void*)old.s);
    measured = Size{-1, -1};
    mnemonic = processMnemonics ? ParseMnemonicTemp(text).key : 0;
}

uint32_t virtCtrlText::TextFlags() {
    uint32_t f = TextNoClip;
    if (align == 1) f |= TextCenter;
    if (align == 2) f |= TextRight;
    if (isRtl) f |= TextRtlReading;
    if (endEllipsis) f = (f & ~TextNoClip) | TextVCenter | TextEndEllipsis;
    if (pathEllipsis) f = (f & ~TextNoClip) | TextVCenter | TextPathEllipsis;
    return f;
}

Size virtCtrlText::GetIdealSize() {
    if (measured.dx < 0) {
        StrView shown = processMnemonics ? ParseMnemonicTemp(text).display : text;
        SIZE s = MeasureTextSize(font, shown);
        measured = Size{s.cx, s.cy};
        mnemonic = processMnemonics ? ParseMnemonicTemp(text).key : 0;
    }
    return Size{measured.dx + insets.left + insets.right, measured.dy + insets.top + insets.bottom};
}

void virtCtrlText::Paint(Painter* p, Rect r) {
    Rect tr{r.x + insets.left, r.y + insets.top, r.dx - insets.left - insets.right, r.dy - insets.top - insets.bottom};
    Color c = textColor ? *textColor : GetTheme()->text;
    MnemonicText m;
    if (processMnemonics) {
        m = ParseMnemonicTemp(text);
    } else {
        m.display = text;
    }
    uint32_t f = TextFlags();
    p->DrawTextInRect(tr, m.display, f, font, c);

    // Underlines: the whole text (always, or while hovered) and the mnemonic character. A
    // right-to-left window paints into a mirrored context, where its text starts at the
    // logical left like any other; the painter places the character within the text in the
    // order the text is drawn.
    Size whole = p->MeasureText(m.display, 0, font, 0);
    int textX = align == 1 ? tr.x + (tr.dx - whole.dx) / 2 : align == 2 ? tr.x + tr.dx - whole.dx : tr.x;
    int baseY = tr.y + whole.dy - 1;
    if (f & TextVCenter) baseY = tr.y + (tr.dy + whole.dy) / 2 - 1;
    if (underline || (underlineOnHover && (flags & VcHovered))) {
        p->DrawBar(textX, baseY, whole.dx, 1, true, c);
    }
    if (m.underlineStart >= 0) {
        TextSpan ch = p->MeasureTextPart(m.display, m.underlineStart, m.underlineLen, f, font);
        p->DrawBar(textX + ch.x, baseY, ch.dx, 1, true, c);
    }
    // The focus is always shown, around the whole control (its insets leave room for it).
    if (flags & VcHasFocus) {
        p->DrawFocusRect(r);
    }
}

virtCtrlLink::virtCtrlLink(StrView s) : virtCtrlText(s, "link") {
    flags &= ~(uint32_t)VcNoHitTest;
    flags |= VcCanFocus;
    textColor = &GetTheme()->link;
    cursor = CursorHand;
}
