#pragma once
// Windowless controls: light objects in the layout tree, painted into their window's back
// buffer and fed input by the window's virtual-control host.
#include "base/str.h"
#include "ui/color.h"
#include "ui/layout.h"
#include "ui/task_func.h"

struct Font;
class Painter;
struct VirtCtrlHost;
struct virtCtrl;

enum VirtCtrlFlags : uint32_t {
    VcEnabled = 0x01,
    VcCanFocus = 0x02,
    VcHasFocus = 0x04,
    VcHovered = 0x08,
    VcPressed = 0x10,
    VcCaptureOnPress = 0x20,
    VcClipChildren = 0x40,
    VcNoChildren = 0x80,  // children neither painted nor hit-tested
    VcNoHitTest = 0x100,
    VcSkipTab = 0x200,
};

// 0 none, 1 arrow, 2 I-beam, 3 hand, 4 cross, 5 size-all, 6 size N-S, 7 size W-E, 8 no;
// any other value claims the cursor without changing it.
enum VirtCursor : int { CursorNone = 0, CursorArrow, CursorIBeam, CursorHand, CursorCross, CursorSizeAll,
                        CursorSizeNS, CursorSizeWE, CursorNo };

struct VirtEvent {
    virtCtrl* ctrl = nullptr;
    unsigned msg = 0;
    uintptr_t wp = 0;
    intptr_t lp = 0;
    int x = 0;  // relative to ctrl
    int y = 0;
    intptr_t result = 0;
    bool handled = false;
};
using VirtHandler = Handler<VirtEvent>;

struct virtCtrl : ILayout {
    uint32_t flags = VcEnabled;
    Rect bounds;  // relative to the parent control (to the window for roots)
    Insets insets;
    virtCtrl* parent = nullptr;
    VirtCtrlHost* host = nullptr;
    Vec<virtCtrl*> children;  // owned
    int cursor = CursorNone;
    Color* color = nullptr;
    Size idealSize;

    VirtHandler onClicked, onMouseDown, onMouseUp, onMouseMove, onMouseWheel, onDoubleClick, onContextMenu,
        onHoverEnter, onHoverLeave, onCaptureLost, onKeyDown, onChar, onFocusChanged, onSetCursor;

    explicit virtCtrl(const char* kindName = "virt");
    ~virtCtrl() override;

    // ILayout
    int MinIntrinsicHeight(int) override { return GetIdealSize().dy; }
    int MinIntrinsicWidth(int) override { return GetIdealSize().dx; }
    Size Layout(Constraints bc) override { return Constrain(bc, GetIdealSize()); }
    void SetBounds(Rect r) override;
    int ChildCount() override { return children.len; }
    ILayout* GetChild(int i) override { return i >= 0 && i < children.len ? children[i] : nullptr; }
    virtCtrl* AsVirtCtrl() override { return this; }

    virtual Size GetIdealSize() { return idealSize; }
    // Into the painter at the control's own origin.
    virtual void Paint(Painter* p, Rect r) { (void)p, (void)r; }
    virtual void PaintChildren(Painter* p, Rect r);
    virtual bool Contains(int x, int y) { return x >= 0 && y >= 0 && x < bounds.dx && y < bounds.dy; }
    virtual Size ChildOffset() { return Size{}; }

    bool AddChild(virtCtrl* c);
    bool IsVisible() { return visibility == Visible; }
    // Invalidates the control's visible rectangle in its window.
    void Repaint();
    // The control's rectangle in the window.
    Rect WindowBounds();
};

struct virtCtrlText : virtCtrl {
    StrView text;  // owned, heap
    Font* font = nullptr;
    Color* textColor = nullptr;
    int align = 0;  // 0 left, 1 centre, 2 right
    bool underline = false;
    bool isRtl = false;
    bool endEllipsis = false;
    bool pathEllipsis = false;
    bool processMnemonics = false;
    bool underlineOnHover = false;
    uint32_t mnemonic = 0;
    Size measured{-1, -1};

    explicit virtCtrlText(StrView s = StrView(), const char* kindName = "text");
    ~virtCtrlText() override;
    void SetText(StrView s);
    Size GetIdealSize() override;
    void Paint(Painter* p, Rect r) override;
    uint32_t TextFlags();
};

struct virtCtrlLink : virtCtrlText {
    explicit virtCtrlLink(StrView s = StrView());
};
