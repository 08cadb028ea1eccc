#include "ui/layout.h"

#include <new>

namespace {
int Max(int a, int b) {
    return a > b ? a : b;
}

int Min(int a, int b) {
    return a < b ? a : b;
}

// flex * extra / totalFlex without overflowing the product.
int FlexShare(int flex, int amount, int totalFlex) {
    return (int)((int64_t)flex * amount / totalFlex);
}

BoxElement gRefusedElement;
}  // namespace

Size Constrain(Constraints c, Size s) {
    Size r;
    r.dx = s.dx > c.max.dx ? c.max.dx : Max(s.dx, c.min.dx);
    r.dy = s.dy > c.max.dy ? c.max.dy : Max(s.dy, c.min.dy);
    return r;
}

static void InsetAxis(int32_t* min, int32_t* max, int32_t by) {
    *min = *min == INF ? INF : Max(*min - by, 0);
    *max = *max == INF ? INF : *max - by;
    if (*max < *min) {
        *max = *min;
    }
}

Constraints Inset(Constraints c, int32_t h, int32_t v) {
    InsetAxis(&c.min.dx, &c.max.dx, h);
    InsetAxis(&c.min.dy, &c.max.dy, v);
    return c;
}

Constraints Tight(Size s) {
    return Constraints{s, s};
}

bool IsCollapsed(ILayout* l) {
    return l->GetVisibility() == Collapse;
}

bool LayoutContains(ILayout* l, ILayout* needle) {
    if (l == needle) {
        return true;
    }
    int n = l->ChildCount();
    for (int i = 0; i < n; i++) {
        ILayout* c = l->GetChild(i);
        if (c && LayoutContains(c, needle)) {
            return true;
        }
    }
    return false;
}

Size LayoutToSize(ILayout* root, Size size) {
    Size res = root->Layout(Tight(size));
    root->SetBounds(Rect{0, 0, res.dx, res.dy});
    return res;
}

// Padding

Padding::~Padding() {
    delete child;
}

int Padding::MinIntrinsicHeight(int width) {
    return insets.top + insets.bottom + (child ? child->MinIntrinsicHeight(width) : 0);
}

int Padding::MinIntrinsicWidth(int height) {
    return insets.left + insets.right + (child ? child->MinIntrinsicWidth(height) : 0);
}

Size Padding::Layout(Constraints bc) {
    int h = insets.left + insets.right;
    int v = insets.top + insets.bottom;
    childSize = child ? child->Layout(Inset(bc, h, v)) : Size{};
    return Size{h + childSize.dx, v + childSize.dy};
}

void Padding::SetBounds(Rect r) {
    lastBounds = r;
    if (child) {
        child->SetBounds(Rect{r.x + insets.left, r.y + insets.top, r.dx - insets.left - insets.right,
                              r.dy - insets.top - insets.bottom});
    }
}

// Boxes. The code speaks of the main axis (y for a VBox, x for an HBox) and the cross axis.

namespace {
struct Axes {
    bool horizontal;

    int Main(Size s) const { return horizontal ? s.dx : s.dy; }
    int Cross(Size s) const { return horizontal ? s.dy : s.dx; }
    Size MakeSize(int main, int cross) const { return horizontal ? Size{main, cross} : Size{cross, main}; }
    int MainPos(Rect r) const { return horizontal ? r.x : r.y; }
    int MainLen(Rect r) const { return horizontal ? r.dx : r.dy; }
    int CrossPos(Rect r) const { return horizontal ? r.y : r.x; }
    int CrossLen(Rect r) const { return horizontal ? r.dy : r.dx; }
    Rect MakeRect(int mainPos, int mainLen, int crossPos, int crossLen) const {
        return horizontal ? Rect{mainPos, crossPos, mainLen, crossLen} : Rect{crossPos, mainPos, crossLen, mainLen};
    }
    int ChildMainIntrinsic(ILayout* c, int crossLen) const {
        return horizontal ? c->MinIntrinsicWidth(crossLen) : c->MinIntrinsicHeight(crossLen);
    }
    int ChildCrossIntrinsic(ILayout* c, int mainLen) const {
        return horizontal ? c->MinIntrinsicHeight(mainLen) : c->MinIntrinsicWidth(mainLen);
    }
};
}  // namespace

Box::~Box() {
    for (BoxElement* e : elements) {
        delete e->layout;
        delete e;
    }
}

BoxElement* Box::AddChild(ILayout* layout, int flex) {
    if (!layout || LayoutContains(layout, this)) {
        return &gRefusedElement;
    }
    BoxElement* e = new (std::nothrow) BoxElement;
    if (!e) {
        return &gRefusedElement;
    }
    e->layout = layout;
    e->flex = flex;
    if (!elements.Append(e)) {
        delete e;
        return &gRefusedElement;
    }
    return e;
}

int Box::VisibleCount() {
    int n = 0;
    for (BoxElement* e : elements) {
        n += IsCollapsed(e->layout) ? 0 : 1;
    }
    return n;
}

// The share of one of n children when the main length is divided evenly, spacing taken out.
static int HomogeneousShare(int mainLen, int n, int spacing) {
    return Max(mainLen / n - ((n - 1) * spacing) / n, 0);
}

int Box::MainIntrinsic(int crossLen) {
    Axes ax{horizontal};
    int n = VisibleCount();
    if (n == 0) {
        return 0;
    }
    int res = 0;
    for (BoxElement* e : elements) {
        if (IsCollapsed(e->layout)) continue;
        int v = ax.ChildMainIntrinsic(e->layout, crossLen);
        res = mainAlign == Homogeneous ? Max(res, v) : res + v;
    }
    return res + (n - 1) * spacing;
}

int Box::CrossIntrinsic(int mainLen) {
    Axes ax{horizontal};
    int n = VisibleCount();
    if (n == 0) {
        return 0;
    }
    int perChild = INF;
    if (mainAlign == Homogeneous && mainLen != INF) {
        perChild = HomogeneousShare(mainLen, n, spacing);
    }
    int res = 0;
    for (BoxElement* e : elements) {
        if (IsCollapsed(e->layout)) continue;
        res = Max(res, ax.ChildCrossIntrinsic(e->layout, perChild));
    }
    return res;
}

int Box::MinIntrinsicHeight(int width) {
    return horizontal ? CrossIntrinsic(width) : MainIntrinsic(width);
}

int Box::MinIntrinsicWidth(int height) {
    return horizontal ? MainIntrinsic(height) : CrossIntrinsic(height);
}

// Returned main size. After the flex children grew to fill a finite maximum, the box
// reports the grown total, not the total measured before growing. A parent that gets the
// smaller figure would place the box in less room than its children were given, and
// SetBounds would then run them past the box's end into the next sibling. Under tight
// constraints (the common case) both give the same answer, because Constrain raises the
// result to the minimum anyway.
Size Box::Layout(Constraints bc) {
    Axes ax{horizontal};
    int n = VisibleCount();
    if (n == 0) {
        totalMain = 0;
        return Constrain(bc, Size{});
    }
    int bcMainMin = ax.Main(bc.min), bcMainMax = ax.Main(bc.max);
    int bcCrossMin = ax.Cross(bc.min), bcCrossMax = ax.Cross(bc.max);

    totalFlex = 0;
    if (mainAlign != Homogeneous) {
        for (BoxElement* e : elements) {
            totalFlex += IsCollapsed(e->layout) ? 0 : e->flex;
        }
    }

    // Child constraints.
    int ccMainMin = 0, ccMainMax = INF;
    if (mainAlign == Homogeneous) {
        int h = HomogeneousShare(bcMainMax, n, spacing);
        ccMainMin = ccMainMax = h > bcMainMax ? bcMainMax : Max(h, bcMainMin);
    }
    int ccCrossMin = 0, ccCrossMax = bcCrossMax;
    if (crossAlign == Stretch) {
        int w = bcCrossMax < INF ? bcCrossMax : CrossIntrinsic(INF);
        ccCrossMin = ccCrossMax = Max(w, bcCrossMin);
    }
    Constraints cc{ax.MakeSize(ccMainMin, ccCrossMin), ax.MakeSize(ccMainMax, ccCrossMax)};

    // Measure every child once.
    int total = 0, largestCross = 0;
    bool first = true;
    for (BoxElement* e : elements) {
        if (IsCollapsed(e->layout)) continue;
        if (!first) total += spacing;
        first = false;
        e->size = e->layout->Layout(cc);
        total += ax.Main(e->size);
        largestCross = Max(largestCross, ax.Cross(e->size));
    }
    totalMain = total;

    // Lays a flex child out again, tight at its new main length, and keeps the total.
    auto relayout = [&](BoxElement* e, int newMain) {
        newMain = Max(Min(newMain, ccMainMax), ccMainMin);
        Constraints tight{ax.MakeSize(newMain, ccCrossMin), ax.MakeSize(newMain, ccCrossMax)};
        int old = ax.Main(e->size);
        e->size = e->layout->Layout(tight);
        totalMain += ax.Main(e->size) - old;
    };

    // Grow flex children into free room; the pixels that truncation leaves stay unused.
    if (totalFlex > 0) {
        int target = total;
        if (bcMainMax < INF && total < bcMainMax) {
            target = bcMainMax;
        } else if (total < bcMainMin) {
            target = bcMainMin;
        }
        int extra = target - total;
        for (BoxElement* e : elements) {
            if (extra <= 0) break;
            if (IsCollapsed(e->layout) || e->flex <= 0) continue;
            relayout(e, ax.Main(e->size) + FlexShare(e->flex, extra, totalFlex));
        }
    }

    // Shrink flex children when the box overflows a finite maximum.
    if (totalFlex > 0 && bcMainMax < INF && totalMain > bcMainMax) {
        int over = totalMain - bcMainMax;
        for (BoxElement* e : elements) {
            if (IsCollapsed(e->layout) || e->flex <= 0) continue;
            relayout(e, Max(ax.Main(e->size) - FlexShare(e->flex, over, totalFlex), 0));
        }
    }

    int cross = crossAlign == Stretch ? ccCrossMin : largestCross;
    return Constrain(bc, ax.MakeSize(totalMain, cross));
}

void Box::PlaceAcross(ILayout* child, Size childSize, Rect r, int mainPos, int mainLen) {
    Axes ax{horizontal};
    int a = ax.CrossPos(r);
    int b = a + ax.CrossLen(r);
    int cs = ax.Cross(childSize);
    int start = a, len = b - a;
    switch (crossAlign) {
        case Stretch:
            break;
        case CrossStart:
            len = cs;
            break;
        case CrossCenter:
            // A child wider than the box gets a negative offset: it is centred, not clamped.
            start = a + (b - cs - a) / 2;
            len = a + (cs + b - a) / 2 - start;
            break;
        case CrossEnd:
            start = b - cs;
            len = cs;
            break;
    }
    Rect cr = ax.MakeRect(mainPos, mainLen, start, len);
    if (horizontal && mirror) {
        int right = cr.x + cr.dx;
        cr.x = 2 * r.x + r.dx - right;
    }
    child->SetBounds(cr);
}

void Box::SetBounds(Rect r) {
    lastBounds = r;
    Axes ax{horizontal};
    int n = VisibleCount();
    if (n == 0) {
        return;
    }
    int rMain = ax.MainPos(r), rLen = ax.MainLen(r);

    if (mainAlign == Homogeneous) {
        int64_t step = (int64_t)rLen + spacing;
        int k = 0;
        for (BoxElement* e : elements) {
            if (IsCollapsed(e->layout)) continue;
            int top = rMain + (int)(k * step / n);
            int bottom = rMain + (int)((k + 1) * step / n) - spacing;
            PlaceAcross(e->layout, e->size, r, top, bottom - top);
            k++;
        }
        return;
    }

    int pos = rMain;
    int between = spacing;
    if (totalFlex == 0) {
        int free = rLen - totalMain;
        switch (mainAlign) {
            case MainCenter:
                pos += free / 2;
                break;
            case MainEnd:
                pos += free;
                break;
            case SpaceAround:
                pos += free / (n + 1);
                between = spacing + free / (n + 1);
                break;
            case SpaceBetween:
                if (n == 1) {
                    pos += free / 2;
                } else {
                    between = spacing + free / (n - 1);
                }
                break;
            default:
                break;
        }
    }
    bool first = true;
    for (BoxElement* e : elements) {
        if (IsCollapsed(e->layout)) continue;
        if (!first) pos += between;
        first = false;
        int len = ax.Main(e->size);
        PlaceAcross(e->layout, e->size, r, pos, len);
        pos += len;
    }
}
