#pragma once
// The layout engine: every participant of the window's layout tree (controls, boxes,
// padding, spacers, native-window slots) is an ILayout. Laying out is two passes:
// Layout measures bottom-up under constraints and returns a size ("constraints go down,
// sizes go up"); SetBounds then places top-down. All arithmetic is in 32-bit signed pixels
// and divisions truncate toward zero.
//
// Glossary: a constraint is tight on an axis when min == max, unbounded when max is INF.
#include <stdint.h>

#include "base/vec.h"

constexpr int32_t INF = 0x7FFFFFFF;

struct Size {
    int32_t dx = 0;
    int32_t dy = 0;
};

struct Rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t dx = 0;
    int32_t dy = 0;
};

struct Insets {
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t left = 0;
};

struct Constraints {
    Size min;
    Size max;
};

// Collapse takes no space and is skipped by every box computation; any other value takes
// part in layout (what Hidden means for drawing is the control's business).
enum Visibility : int32_t { Visible = 0, Hidden = 1, Collapse = 2 };

enum MainAxisAlign : uint8_t { MainStart = 0, MainCenter = 1, MainEnd = 2, SpaceAround = 3, SpaceBetween = 4, Homogeneous = 5 };
enum CrossAxisAlign : uint8_t { Stretch = 0, CrossStart = 1, CrossCenter = 2, CrossEnd = 3 };

// Per axis: s above max gives max (even when max < min), else at least min.
Size Constrain(Constraints c, Size s);
// Shrinks by h horizontally and v vertically; INF stays INF, min never goes below 0, and
// max is raised to min where it would be smaller.
Constraints Inset(Constraints c, int32_t h, int32_t v);
Constraints Tight(Size s);

struct virtCtrl;
class ControlBase;

struct ILayout {
    const char* kind = nullptr;  // for diagnostics: "padding", "vbox", ... or a control's kind
    int32_t visibility = Visible;
    Rect lastBounds;

    explicit ILayout(const char* kindName) : kind(kindName) {}
    ILayout(const ILayout&) = delete;
    ILayout& operator=(const ILayout&) = delete;
    virtual ~ILayout() = default;

    virtual void SetVisibility(int v) { visibility = v; }
    virtual int GetVisibility() { return visibility; }
    virtual int MinIntrinsicHeight(int width) = 0;
    virtual int MinIntrinsicWidth(int height) = 0;
    virtual Size Layout(Constraints bc) = 0;
    virtual void SetBounds(Rect r) = 0;
    virtual int ChildCount() { return 0; }
    virtual ILayout* GetChild(int) { return nullptr; }
    virtual virtCtrl* AsVirtCtrl() { return nullptr; }
    virtual ControlBase* AsControl() { return nullptr; }
};

bool IsCollapsed(ILayout* l);
// True when l is needle or has it anywhere in its subtree.
bool LayoutContains(ILayout* l, ILayout* needle);

// Lays root out with tight constraints of size, then places it at (0, 0) with the result.
Size LayoutToSize(ILayout* root, Size size);

struct Padding : ILayout {
    ILayout* child = nullptr;  // owned
    Insets insets;
    Size childSize;

    Padding(ILayout* c, Insets in) : ILayout("padding"), child(c), insets(in) {}
    ~Padding() override;
    int MinIntrinsicHeight(int width) override;
    int MinIntrinsicWidth(int height) override;
    Size Layout(Constraints bc) override;
    void SetBounds(Rect r) override;
    int ChildCount() override { return child ? 1 : 0; }
    ILayout* GetChild(int i) override { return i == 0 ? child : nullptr; }
};

struct Spacer : ILayout {
    Size size;

    Spacer(int dx, int dy) : Spacer("spacer", dx, dy) {}
    int MinIntrinsicHeight(int) override { return size.dy; }
    int MinIntrinsicWidth(int) override { return size.dx; }
    Size Layout(Constraints bc) override { return Constrain(bc, size); }
    void SetBounds(Rect r) override { lastBounds = r; }

  protected:
    Spacer(const char* kindName, int dx, int dy) : ILayout(kindName), size{dx, dy} {}
};

struct BoxElement {
    ILayout* layout = nullptr;  // owned by the box
    Size size;                  // from the box's last Layout
    int flex = 0;               // 0: fixed
};

// The vertical box; HBox is the same with the axes exchanged, plus mirroring.
struct Box : ILayout {
    Vec<BoxElement*> elements;
    MainAxisAlign mainAlign = MainStart;
    CrossAxisAlign crossAlign = Stretch;
    int spacing = 0;
    int totalMain = 0;  // the main size of the last Layout, used by SetBounds
    int totalFlex = 0;
    bool mirror = false;  // horizontal boxes only: children placed right to left

    ~Box() override;
    // Refuses (returns a shared dummy element, tree unchanged) a layout that is this box or
    // contains it, which would make the tree a cycle.
    BoxElement* AddChild(ILayout* layout, int flex);
    int MinIntrinsicHeight(int width) override;
    int MinIntrinsicWidth(int height) override;
    Size Layout(Constraints bc) override;
    void SetBounds(Rect r) override;
    int ChildCount() override { return elements.len; }
    ILayout* GetChild(int i) override { return i >= 0 && i < elements.len ? elements[i]->layout : nullptr; }

  protected:
    Box(const char* kindName, bool isHorizontal) : ILayout(kindName), horizontal(isHorizontal) {}
    bool horizontal;

  private:
    int VisibleCount();
    int MainIntrinsic(int crossLen);
    int CrossIntrinsic(int mainLen);
    void PlaceAcross(ILayout* child, Size childSize, Rect r, int mainPos, int mainLen);
};

struct VBox : Box {
    VBox() : Box("vbox", false) {}
    BoxElement* AddChild(ILayout* layout) { return Box::AddChild(layout, 0); }
};

struct HBox : Box {
    HBox() : Box("hbox", true) {}
};
