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

    explicit VirtCtrlHost(HWND w) : hwnd(w) {}
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
    void MoveFocus(bool backwards);
};

// The window messages a window offers its host first: the mouse, the cursor and Alt+letter.
bool IsVirtCtrlInput(UINT msg);

// Every windowless control of a layout tree, depth first.
void CollectVirtCtrls(ILayout* root, Vec<virtCtrl*>* out);
