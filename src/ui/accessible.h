#pragma once
// What screen readers get (MSAA, which Narrator, NVDA and JAWS read and UI Automation
// reaches through its proxy): a window's client object lists the page's controls, window
// and windowless, with their names, roles, states, locations and default actions; window
// controls answer for themselves as well, so a reader that follows the focus into one hears
// the same. Everything is asked afresh from the window at every query, so nothing a reader
// holds on to can outlive the controls it describes.
#include <windows.h>

#include "base/str.h"
#include "base/vec.h"
#include "ui/layout.h"

struct AccItem {
    uintptr_t key = 0;    // what the item stands for: its window, windowless control or painted part
    HWND hwnd = nullptr;  // for window controls
    StrView name;         // the temporary arena, as the other texts
    StrView value;
    StrView defaultAction;
    StrView shortcut;     // "Alt+F"
    StrView description;  // why the item is as it is, when that is not plain (a locked option)
    int32_t role = 0;     // ROLE_SYSTEM_*
    uint32_t state = 0;   // STATE_SYSTEM_*
    Rect screen;          // the location, in screen coordinates
};

// A window's part: its items in tab order, and what their default actions do.
struct AccTree {
    void (*items)(HWND root, Vec<AccItem>* out) = nullptr;
    // Called from inside a reader's request: it should post the work and return.
    void (*doDefaultAction)(HWND root, uintptr_t key) = nullptr;
};

// The tree of a window; null forgets it (before the window goes).
void SetAccTree(HWND root, const AccTree* tree);
// The window whose tree lists this control window, or null.
HWND AccRootOf(HWND control);

// The answer to WM_GETOBJECT for the root (key 0) or one of its items; 0 when the request is
// not for the client object (the system's default answer applies then).
LRESULT AnswerAccGetObject(HWND root, uintptr_t key, WPARAM wp, LPARAM lp);

// Raises a WinEvent for an item of root: window controls as themselves, the others as
// children of the root's client object; key 0 is the client object itself.
void NotifyAccEvent(DWORD event, HWND root, uintptr_t key);

// The item's name from a control text: the mnemonic marker removed, "&&" shown as "&".
StrView AccNameFromTextTemp(StrView text);
// "Alt+F" for a text with a mnemonic, else empty.
StrView AccShortcutFromTextTemp(StrView text);
