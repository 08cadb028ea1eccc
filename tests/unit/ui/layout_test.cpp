#include <gtest/gtest.h>

#include <stdlib.h>

#include <atomic>
#include <new>
#include <vector>

#include "ui/layout.h"

// Every C++ allocation of the test program is counted, so a test can show that a pass over
// the tree allocates nothing. The replacements pair malloc with free, which GCC cannot see
// through the replaced operators.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
static std::atomic<long> gNewCount{0};

void* operator new(size_t n) {
    gNewCount++;
    void* p = malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    gNewCount++;
    return malloc(n ? n : 1);
}
void operator delete(void* p) noexcept {
    free(p);
}
void operator delete(void* p, size_t) noexcept {
    free(p);
}

namespace {
// A case is written along the main and cross axes; it runs as a VBox (main = y), as an
// HBox (main = x) and as a mirrored HBox, whose expected extents are the mirror images.
struct Child {
    int main, cross;
    int flex = 0;
    bool collapsed = false;
};
struct Span {
    int mainPos, mainLen, crossPos, crossLen;
};
struct Case {
    const char* name;
    MainAxisAlign main;
    CrossAxisAlign cross;
    int spacing;
    std::vector<Child> children;
    int bcMainMin, bcMainMax, bcCrossMin, bcCrossMax;
    int resultMain, resultCross;
    Span place;                 // the rectangle given to SetBounds
    std::vector<Span> expected;  // one per child; collapsed ones are never placed
    int intrinsicMain;           // MinIntrinsic along the main axis for an unbounded cross
};

const Span kUntouched{-999, -999, -999, -999};

const Case kCases[] = {
    {"empty box", MainStart, Stretch, 5, {}, 5, 100, 7, 100, 5, 7, {0, 50, 0, 20}, {}, 0},
    {"all children collapsed", MainStart, Stretch, 5, {{10, 10, 0, true}, {10, 10, 1, true}}, 0, 100, 0, 100, 0, 0,
     {0, 50, 0, 20}, {kUntouched, kUntouched}, 0},
    {"flex 1:2 over 10 pixels, the remainder unused", MainStart, Stretch, 0, {{0, 4, 1}, {0, 4, 2}}, 0, 10, 0, 20, 9,
     20, {0, 10, 0, 20}, {{0, 3, 0, 20}, {3, 6, 0, 20}}, 0},
    {"flex children shrink into a finite maximum", MainStart, CrossStart, 0, {{30, 4, 1}, {30, 6, 1}}, 0, 40, 0, 20,
     40, 6, {0, 40, 0, 20}, {{0, 20, 0, 4}, {20, 20, 0, 6}}, 60},
    {"fixed and flex with spacing, collapsed child takes no spacing", MainStart, CrossEnd, 4,
     {{10, 4}, {5, 5, 0, true}, {0, 6, 1}}, 0, 50, 0, 20, 50, 6, {0, 50, 0, 20}, {{0, 10, 16, 4}, kUntouched, {14, 36, 14, 6}},
     14},
    {"SpaceBetween with one child centres it", SpaceBetween, CrossStart, 3, {{10, 4}}, 0, INF, 0, INF, 10, 4,
     {0, 50, 0, 20}, {{20, 10, 0, 4}}, 10},
    {"SpaceBetween spreads the free room", SpaceBetween, CrossStart, 2, {{10, 4}, {10, 4}, {10, 4}}, 0, INF, 0, INF, 34,
     4, {0, 60, 0, 20}, {{0, 10, 0, 4}, {25, 10, 0, 4}, {50, 10, 0, 4}}, 34},
    {"SpaceAround", SpaceAround, CrossStart, 0, {{10, 4}, {10, 4}}, 0, INF, 0, INF, 20, 4, {0, 50, 0, 20},
     {{10, 10, 0, 4}, {30, 10, 0, 4}}, 20},
    {"MainCenter and MainEnd place the group", MainCenter, CrossStart, 2, {{10, 4}, {10, 4}}, 0, INF, 0, INF, 22, 4,
     {5, 51, 0, 20}, {{19, 10, 0, 4}, {31, 10, 0, 4}}, 22},
    {"MainEnd", MainEnd, CrossStart, 2, {{10, 4}, {10, 4}}, 0, INF, 0, INF, 22, 4, {5, 51, 0, 20},
     {{34, 10, 0, 4}, {46, 10, 0, 4}}, 22},
    {"CrossCenter of a child wider than the box gives a negative offset", MainStart, CrossCenter, 0, {{10, 30}}, 0,
     INF, 0, INF, 10, 30, {0, 10, 0, 20}, {{0, 10, -5, 30}}, 10},
    {"CrossCenter rounds toward the start", MainStart, CrossCenter, 0, {{10, 5}}, 0, INF, 0, INF, 10, 5,
     {0, 10, 10, 20}, {{0, 10, 17, 5}}, 10},
    {"Homogeneous 3 x 100 with spacing 5; intrinsic is the tallest plus spacings", Homogeneous, Stretch, 5,
     {{10, 4}, {20, 4}, {15, 4}}, 100, 100, 8, 8, 100, 8, {0, 100, 0, 8},
     {{0, 30, 0, 8}, {35, 30, 0, 8}, {70, 30, 0, 8}}, 30},
    {"Homogeneous skips collapsed children", Homogeneous, Stretch, 0, {{10, 4}, {10, 4, 0, true}, {10, 4}}, 40, 40, 8,
     8, 40, 8, {0, 40, 0, 8}, {{0, 20, 0, 8}, kUntouched, {20, 20, 0, 8}}, 10},
    {"Stretch under an unbounded cross takes the widest child's intrinsic", MainStart, Stretch, 0, {{10, 7}, {10, 12}},
     0, INF, 0, INF, 20, 12, {0, 20, 0, 12}, {{0, 10, 0, 12}, {10, 10, 0, 12}}, 20},
    {"grow to the minimum when the maximum is unbounded", MainStart, CrossStart, 0, {{5, 4}, {0, 4, 1}}, 30, INF, 0,
     INF, 30, 4, {0, 30, 0, 4}, {{0, 5, 0, 4}, {5, 25, 0, 4}}, 5},
};

// Spacers that remember where they were put.
void AddChildren(Box* box, const Case& c, bool horizontal, std::vector<Spacer*>* out) {
    for (const Child& ch : c.children) {
        Spacer* s = horizontal ? new Spacer(ch.main, ch.cross) : new Spacer(ch.cross, ch.main);
        s->lastBounds = Rect{-999, -999, -999, -999};
        if (ch.collapsed) s->SetVisibility(Collapse);
        box->AddChild(s, ch.flex);
        out->push_back(s);
    }
}

Rect ToRect(Span s, bool horizontal) {
    return horizontal ? Rect{s.mainPos, s.crossPos, s.mainLen, s.crossLen} : Rect{s.crossPos, s.mainPos, s.crossLen, s.mainLen};
}

void ExpectRect(Rect got, Rect want, const char* what) {
    EXPECT_EQ(got.x, want.x) << what;
    EXPECT_EQ(got.y, want.y) << what;
    EXPECT_EQ(got.dx, want.dx) << what;
    EXPECT_EQ(got.dy, want.dy) << what;
}

void RunCase(const Case& c, bool horizontal, bool mirror) {
    HBox hbox;
    VBox vbox;
    Box* box = horizontal ? (Box*)&hbox : (Box*)&vbox;
    box->mainAlign = c.main;
    box->crossAlign = c.cross;
    box->spacing = c.spacing;
    box->mirror = mirror;
    std::vector<Spacer*> kids;
    AddChildren(box, c, horizontal, &kids);
    std::string what = std::string(c.name) + (horizontal ? (mirror ? " [mirrored hbox]" : " [hbox]") : " [vbox]");

    Constraints bc = horizontal ? Constraints{{c.bcMainMin, c.bcCrossMin}, {c.bcMainMax, c.bcCrossMax}}
                                : Constraints{{c.bcCrossMin, c.bcMainMin}, {c.bcCrossMax, c.bcMainMax}};
    Size got = box->Layout(bc);
    Size want = horizontal ? Size{c.resultMain, c.resultCross} : Size{c.resultCross, c.resultMain};
    EXPECT_EQ(got.dx, want.dx) << what;
    EXPECT_EQ(got.dy, want.dy) << what;
    EXPECT_EQ(horizontal ? box->MinIntrinsicWidth(INF) : box->MinIntrinsicHeight(INF), c.intrinsicMain) << what;

    Rect place = ToRect(c.place, horizontal);
    box->SetBounds(place);
    ExpectRect(box->lastBounds, place, what.c_str());
    ASSERT_EQ(kids.size(), c.expected.size()) << what;
    for (size_t i = 0; i < kids.size(); i++) {
        Rect w = ToRect(c.expected[i], horizontal);
        if (mirror && c.expected[i].mainPos != kUntouched.mainPos) {
            w.x = 2 * place.x + place.dx - (w.x + w.dx);
        }
        ExpectRect(kids[i]->lastBounds, w, (what + " child " + std::to_string(i)).c_str());
    }
}
}  // namespace

TEST(Layout, BoxesPlaceChildrenExactlyInBothDirectionsAndMirrored) {
    for (const Case& c : kCases) {
        RunCase(c, false, false);
        RunCase(c, true, false);
        RunCase(c, true, true);
    }
}

TEST(Layout, ConstraintOperations) {
    struct ConstrainCase {
        Constraints c;
        Size s, want;
    } constrains[] = {
        {{{10, 10}, {50, 50}}, {5, 60}, {10, 50}},
        {{{50, 50}, {30, 30}}, {40, 10}, {30, 50}},  // max < min: above max gives max
        {{{0, 0}, {INF, INF}}, {7, 8}, {7, 8}},
    };
    for (const ConstrainCase& k : constrains) {
        Size r = Constrain(k.c, k.s);
        EXPECT_EQ(r.dx, k.want.dx);
        EXPECT_EQ(r.dy, k.want.dy);
    }
    struct InsetCase {
        Constraints c;
        int h, v;
        Constraints want;
    } insets[] = {
        {{{0, 0}, {INF, INF}}, 10, 20, {{0, 0}, {INF, INF}}},
        {{{INF, 5}, {INF, 100}}, 10, 20, {{INF, 0}, {INF, 80}}},
        {{{50, 30}, {55, 35}}, 10, 40, {{40, 0}, {45, 0}}},  // max raised to min
        {{{20, 20}, {25, 25}}, 30, 0, {{0, 20}, {0, 25}}},
    };
    for (const InsetCase& k : insets) {
        Constraints r = Inset(k.c, k.h, k.v);
        EXPECT_EQ(r.min.dx, k.want.min.dx);
        EXPECT_EQ(r.min.dy, k.want.min.dy);
        EXPECT_EQ(r.max.dx, k.want.max.dx);
        EXPECT_EQ(r.max.dy, k.want.max.dy);
    }
}

// A whole window-like tree: padding around a column whose row mirrors; cycles are refused
// anywhere in it; and neither pass allocates.
TEST(Layout, PaddedTreeCyclesAndNoAllocationDuringPasses) {
    VBox* root = new VBox;
    Spacer* header = new Spacer(0, 150);
    root->AddChild(header);
    HBox* row = new HBox;
    row->crossAlign = CrossCenter;
    row->spacing = 6;
    row->mirror = true;
    Spacer* edit = new Spacer(80, 20);
    Spacer* button = new Spacer(20, 24);
    row->AddChild(edit, 1);
    row->AddChild(button, 0);
    Padding* pad = new Padding(row, Insets{16, 16, 0, 16});
    root->AddChild(pad);

    EXPECT_EQ(root->MinIntrinsicHeight(INF), 150 + 16 + 24);
    EXPECT_EQ(pad->MinIntrinsicWidth(INF), 16 + 80 + 6 + 20 + 16);

    // Refused: the root under its own descendant, a box under itself.
    BoxElement* refused = row->AddChild(root, 1);
    EXPECT_EQ(row->ChildCount(), 2);
    BoxElement* self = root->AddChild(root);
    EXPECT_EQ(self, refused);
    EXPECT_EQ(root->ChildCount(), 2);

    long before = gNewCount.load();
    Size s = LayoutToSize(root, Size{460, 290});
    long allocations = gNewCount.load() - before;
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(s.dx, 460);
    EXPECT_EQ(s.dy, 290);
    // The column does not stretch its children along its own axis: the padding keeps the
    // height it measured, below the header.
    ExpectRect(pad->lastBounds, Rect{0, 150, 460, 40}, "padding");
    ExpectRect(row->lastBounds, Rect{16, 166, 428, 24}, "row");
    // The row mirrors: the fixed button comes first from the left, the edit fills the rest.
    ExpectRect(button->lastBounds, Rect{16, 166, 20, 24}, "button");
    ExpectRect(edit->lastBounds, Rect{42, 168, 402, 20}, "edit");
    delete root;
}
