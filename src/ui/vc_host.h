#pragma once
// Gives the windowless controls of one window their input and paints them.
#include <windows.h>

#include "ui/virt_ctrl.h"

class Painter;

struct VirtCtrlHost {
    HWND hwnd = nullptr;
    Vec<virtCtrl*> roots;  // not owned: the layout tree owns them
    Rect bounds;
    virtCtrl* hovered = nullptr;
    virtCtrl* captured = nullptr;
    virtCtrl* focused = nullptr;
    virtCtrl* pressed = nullptr;
    bool trackingLeave = false;
    // A child window without size that stands for the windowless controls in the window's
    // tab order: it has the keyboard focus while one of them has the host's, so the dialog
    // manager's Tab, Enter and Esc work across both kinds, and screen readers that follow the
    // focus ask it, which answers for the focused control. Made with the first control that
    // can take the focus; shown only while one can.
    HWND focusWnd = nullptr;

    explicit VirtCtrlHost(HWND w);
    ~VirtCtrlHost();
    void SetBounds(Rect r) { bounds = r; }
    // Replaces the list of roots (after the tree changed); state about controls no longer
    // listed is dropped.
    void SetControls(virtCtrl* const* ctrls, int n);
    // True when the message was handled, with its result in *res.
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* res);
    void Paint(Painter* p);

    // The control under a window point, and that point relative to it.
    virtCtrl* HitTest(int x, int y, int* relX, int* relY);
    void SetFocus(virtCtrl* c);
    // To the next (previous) control that takes the focus; with wrap false, false when the
    // focus would leave the last (first) one.
    bool MoveFocus(bool backwards, bool wrap = true);
    virtCtrl* NextFocusable(bool backwards, bool wrap);
    // Gives the focus window the keyboard focus and c the host's.
    void FocusControl(virtCtrl* c);
};

// The host of a window, or null.
VirtCtrlHost* FindVirtCtrlHost(HWND hwnd);

// The window messages a window offers its host first: the mouse, the cursor and Alt+letter.
bool IsVirtCtrlInput(UINT msg);

// Every windowless control of a layout tree, depth first.
void CollectVirtCtrls(ILayout* root, Vec<virtCtrl*>* out);
