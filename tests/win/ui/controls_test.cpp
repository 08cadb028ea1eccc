#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <stdlib.h>

#include <iterator>
#include <string>
#include <vector>

#include "base/arena.h"
#include "gallery_window.h"
#include "ui/dpi.h"
#include "ui/window_class.h"
#include "ui/window_geometry.h"
#include "ui/window_slot.h"

namespace {
struct Counts {
    int posChanging = 0;
    int setText = 0;
};

void CountMessages(Counts* c, WndEvent* ev) {
    if (ev->msg == WM_WINDOWPOSCHANGING) c->posChanging++;
    if (ev->msg == WM_SETTEXT) c->setText++;
}

void Key(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof(in));
}

// Presses the keys in order and releases them in reverse, then lets the window react.
void Chord(std::initializer_list<WORD> keys) {
    for (WORD k : keys) Key(k, false);
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) Key(*it, true);
    PumpMessages(150);
}

void MouseTo(HWND hwnd, int x, int y) {
    POINT p{x, y};
    ClientToScreen(hwnd, &p);
    SetCursorPos(p.x, p.y);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &in, sizeof(in));
    PumpMessages(150);
}

void MouseButton(bool up) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = up ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
    SendInput(1, &in, sizeof(in));
    PumpMessages(150);
}

std::string Text(ControlBase* c) {
    TempArenaScope scope;
    return c->GetTextTemp().CStr();
}

class GalleryTest : public testing::Test {
  protected:
    void SetUp() override {
        g = CreateGallery(false, false);
        ASSERT_TRUE(g);
        SetForegroundWindow(g->hwnd);
        PumpMessages(100);
    }
    void TearDown() override { DestroyGallery(g); }
    Gallery* g = nullptr;
};
}  // namespace

TEST_F(GalleryTest, IdealSizesFollowTheSystemAndTheDpi) {
    for (Checkbox* c : g->checks) {
        SIZE sys{};
        SendMessageW(c->hwnd, BCM_GETIDEALSIZE, 0, (LPARAM)&sys);
        Size ideal = c->GetIdealSize();
        EXPECT_GT(sys.cx, 0);
        EXPECT_EQ(ideal.dx, sys.cx + Scale(16));
        EXPECT_EQ(ideal.dy, sys.cy + Scale(4));
    }
    // "&..." is far narrower than the minimum width.
    EXPECT_EQ(g->browse->GetIdealSize().dx, Scale(70));
    EXPECT_GT(g->install->GetIdealSize().dx, Scale(70));
    // Laid out: the browse button is a square of the edit's height beside it.
    Rect edit = WindowRectInParent(g->edit->hwnd), browse = WindowRectInParent(g->browse->hwnd);
    EXPECT_EQ(browse.dx, g->edit->GetIdealSize().dy);
    EXPECT_EQ(browse.dy, edit.dy);
    EXPECT_LT(edit.x + edit.dx, browse.x);
}

TEST_F(GalleryTest, UnchangedBoundsAndTextTouchNothing) {
    Counts counts;
    for (ControlBase* c : {(ControlBase*)g->install, (ControlBase*)g->checks[0], (ControlBase*)g->edit}) {
        c->onMsgFilter = MkHandler(CountMessages, &counts);
        counts = Counts{};
        Rect r = WindowRectInParent(c->hwnd);
        c->SetBounds(r);
        c->SetText(Text(c).c_str());
        RelayoutGallery(g);
        EXPECT_EQ(counts.posChanging, 0) << c->kind;
        EXPECT_EQ(counts.setText, 0) << c->kind;

        c->SetBounds(Rect{r.x + 3, r.y, r.dx, r.dy});
        EXPECT_EQ(WindowRectInParent(c->hwnd).x, r.x + 3) << c->kind;
        c->SetText("changed");
        EXPECT_EQ(counts.posChanging, 1) << c->kind;
        EXPECT_EQ(counts.setText, 1) << c->kind;
        EXPECT_EQ(Text(c), "changed");
        c->onMsgFilter = WndHandler{};
    }
    // A layout slot leaves an unchanged window alone and joins a deferred batch when given one.
    g->install->onMsgFilter = MkHandler(CountMessages, &counts);
    counts = Counts{};
    Rect r = WindowRectInParent(g->install->hwnd);
    WindowSlot slot(g->install->hwnd, r.dx, r.dy);
    slot.SetBounds(r);
    EXPECT_EQ(counts.posChanging, 0);
    HDWP batch = BeginDeferWindowPos(1);
    slot.deferBatch = &batch;
    slot.SetBounds(Rect{r.x - 5, r.y, r.dx, r.dy});
    EXPECT_EQ(WindowRectInParent(g->install->hwnd).x, r.x);
    EXPECT_TRUE(EndDeferWindowPos(batch));
    EXPECT_EQ(WindowRectInParent(g->install->hwnd).x, r.x - 5);
    g->install->onMsgFilter = WndHandler{};
}

TEST_F(GalleryTest, ClicksReachHandlersThroughReflectionAndFocusByClickSelectsAll) {
    int clicks = 0, toggles = 0;
    g->install->onClicked = MkHandler(+[](int* n, WndEvent*) { (*n)++; }, &clicks);
    g->checks[0]->onCheckStateChanged = MkHandler(+[](int* n, WndEvent*) { (*n)++; }, &toggles);
    Rect b = WindowRectInParent(g->install->hwnd);
    MouseTo(g->hwnd, b.x + b.dx / 2, b.y + b.dy / 2);
    MouseButton(false);
    MouseButton(true);
    EXPECT_EQ(clicks, 1);
    Rect c = WindowRectInParent(g->checks[0]->hwnd);
    EXPECT_FALSE(g->checks[0]->IsChecked());
    MouseTo(g->hwnd, c.x + 8, c.y + c.dy / 2);
    MouseButton(false);
    MouseButton(true);
    EXPECT_EQ(toggles, 1);
    EXPECT_TRUE(g->checks[0]->IsChecked());

    // A click into the unfocused edit selects its whole text once the button is up.
    Rect e = WindowRectInParent(g->edit->hwnd);
    MouseTo(g->hwnd, e.x + e.dx / 2, e.y + e.dy / 2);
    MouseButton(false);
    MouseButton(true);
    DWORD from = 1, to = 0;
    SendMessageW(g->edit->hwnd, EM_GETSEL, (WPARAM)&from, (LPARAM)&to);
    EXPECT_TRUE(g->edit->IsFocused());
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, (DWORD)GetWindowTextLengthW(g->edit->hwnd));
}

TEST_F(GalleryTest, CtrlBackspaceDeletesTheWordBeforeTheCaretWithRealKeys) {
    struct Case {
        int caret;
        const char* left;
    } cases[] = {{8, "abc  "}, {5, "def"}};
    for (const Case& c : cases) {
        g->edit->SetText("abc  def");
        SetFocus(g->edit->hwnd);
        PumpMessages(50);
        SendMessageW(g->edit->hwnd, EM_SETSEL, c.caret, c.caret);
        Chord({VK_CONTROL, VK_BACK});
        EXPECT_EQ(Text(g->edit), c.left) << "caret at " << c.caret;
    }
    // Shift held: the edit's own handling only.
    g->edit->SetText("abc def");
    SendMessageW(g->edit->hwnd, EM_SETSEL, 7, 7);
    Chord({VK_CONTROL, VK_SHIFT, VK_BACK});
    EXPECT_EQ(Text(g->edit).substr(0, 4), "abc ");
    EXPECT_NE(Text(g->edit).find("de"), std::string::npos);
}

TEST_F(GalleryTest, LinkHoverPressClickMnemonicAndTabWithRealInput) {
    Rect link = g->link->bounds;
    ASSERT_GT(link.dx, 0);
    MouseTo(g->hwnd, link.x + link.dx / 2, link.y + link.dy / 2);
    EXPECT_TRUE(g->link->flags & VcHovered);
    EXPECT_EQ(GetCursor(), GetCachedCursor(IDC_HAND));
    MouseButton(false);
    EXPECT_TRUE(g->link->flags & VcPressed);
    EXPECT_EQ(g->linkClicks, 0);
    MouseButton(true);
    EXPECT_FALSE(g->link->flags & VcPressed);
    EXPECT_EQ(g->linkClicks, 1);

    // Released elsewhere: no click.
    MouseButton(false);
    MouseTo(g->hwnd, 2, 2);
    EXPECT_FALSE(g->link->flags & VcHovered);
    MouseButton(true);
    EXPECT_EQ(g->linkClicks, 1);

    // Alt plus the underlined letter of "&Options" clicks the first link.
    SetFocus(g->hwnd);
    PumpMessages(50);
    Chord({VK_MENU, 'O'});
    EXPECT_EQ(g->linkClicks, 2);
    EXPECT_EQ(g->link2Clicks, 0);

    // Tab walks the focusable windowless controls and wraps; Shift+Tab goes back. The
    // click above focused the first link through the host's focus window; the keyboard
    // focus given to the window itself took it away again, so Tab starts from none.
    EXPECT_NE(g->host->focusWnd, nullptr);
    EXPECT_EQ(g->host->focused, nullptr);
    EXPECT_FALSE(g->link->flags & VcHasFocus);
    struct Step {
        bool shift;
        virtCtrl* focused;
    } steps[] = {{false, g->link}, {false, g->link2}, {false, g->link}, {true, g->link2}};
    for (const Step& s : steps) {
        if (s.shift) {
            Chord({VK_SHIFT, VK_TAB});
        } else {
            Chord({VK_TAB});
        }
        EXPECT_EQ(g->host->focused, s.focused);
        EXPECT_TRUE(s.focused->flags & VcHasFocus);
    }
}

TEST(Controls, MirroredControlInARightToLeftParentIsPlacedFromTheRight) {
    Gallery* g = CreateGallery(true, false);
    ASSERT_TRUE(g);
    int width = ClientRect(g->hwnd).dx;
    struct Case {
        bool mirror;
        int logicalX;  // where the control lands in the parent's own (mirrored) coordinates
    } cases[] = {{true, width - 10 - 50}, {false, 10}};
    for (const Case& c : cases) {
        g->install->mirrorInRtlParent = c.mirror;
        g->install->SetBounds(Rect{10, 20, 50, 30});
        Rect r = WindowRectInParent(g->install->hwnd);
        EXPECT_EQ(r.x, c.logicalX) << c.mirror;
        EXPECT_EQ(r.dx, 50);
        // On screen, a mirrored parent counts from its right edge.
        RECT screen;
        GetWindowRect(g->install->hwnd, &screen);
        POINT origin{0, 0};
        ClientToScreen(g->hwnd, &origin);
        EXPECT_EQ(origin.x - screen.right, c.logicalX) << c.mirror;
    }
    // Layout slots obey the same rule.
    WindowSlot slot(g->browse->hwnd, 40, 40);
    slot.mirror = true;
    slot.SetBounds(Rect{5, 6, 40, 40});
    EXPECT_EQ(WindowRectInParent(g->browse->hwnd).x, width - 5 - 40);
    DestroyGallery(g);
}

namespace {
// The path edit's text as ink per column, trimmed, with the blank columns on each side.
struct EditInk {
    std::vector<int> columns;
    int leftBlank = 0, rightBlank = 0;
};

EditInk PathEditInk(bool rtl) {
    EditInk ink;
    Gallery* g = CreateGallery(rtl, false);
    if (!g) return ink;
    SetFocus(g->hwnd);  // no selection, no caret in the edit
    PumpMessages(100);
    int w = 0, h = 0;
    unsigned* px = nullptr;
    if (CaptureClient(g->edit->hwnd, &w, &h, &px)) {
        std::vector<int> all((size_t)w);
        for (int x = 0; x < w; x++) {
            for (int y = 0; y < h; y++) all[x] += (px[(size_t)y * w + x] & 0xFF) < 0x80;
        }
        int first = 0, last = w - 1;
        while (first < w && !all[first]) first++;
        while (last > first && !all[last]) last--;
        ink.columns.assign(all.begin() + first, all.begin() + last + 1);
        ink.leftBlank = first;
        ink.rightBlank = w - 1 - last;
    }
    free(px);
    DestroyGallery(g);
    return ink;
}
}  // namespace

// A path reads left to right in a right-to-left window too: the same picture as in a
// left-to-right one, only kept on the right like the window's other fields.
TEST(Controls, PathEditReadsLeftToRightInAMirroredWindowAndSitsOnItsRight) {
    EditInk ltr = PathEditInk(false);
    EditInk rtl = PathEditInk(true);
    ASSERT_GT(ltr.columns.size(), 20u);
    EXPECT_EQ(rtl.columns, ltr.columns);
    EXPECT_LT(ltr.leftBlank, ltr.rightBlank);
    EXPECT_LT(rtl.rightBlank, rtl.leftBlank);
}
