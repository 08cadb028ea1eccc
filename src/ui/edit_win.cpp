#include <windows.h>
#include <commctrl.h>
#include <wctype.h>

#include "base/arena.h"
#include "base/system_lib.h"
#include "ui/controls.h"
#include "ui/dpi.h"
#include "ui/font.h"
#include "ui/theme.h"
#include "ui/uitask.h"

bool AnswerEditColor(HwndBase* c, WndEvent* ev);

namespace {
// The edit control puts DEL (0x7F) into the text for Ctrl+Backspace.
constexpr WCHAR kCtrlBackspaceChar = 0x7F;

void RemoveVisualTheme(HWND hwnd) {
    using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
    static SetWindowThemeFn fn = [] {
        HMODULE lib = LoadSystemLibrary(L"uxtheme.dll");
        return lib ? (SetWindowThemeFn)(void*)GetProcAddress(lib, "SetWindowTheme") : nullptr;
    }();
    if (fn) fn(hwnd, L"", L"");
}

void DelayedCtrlBack(void* arg) {
    HWND hwnd = (HWND)arg;
    if (IsWindow(hwnd)) DeleteWordBeforeCaret(hwnd);
}

void DelayedSelectAll(void* arg) {
    HWND hwnd = (HWND)arg;
    if (IsWindow(hwnd)) SendMessageW(hwnd, EM_SETSEL, 0, -1);
}

void PostSelectAll(HWND hwnd) {
    uitask::Post(MkTask(DelayedSelectAll, hwnd), "DelayedEditSelectAll");
}

bool NeedsOwnNonClient(Edit* e) {
    return e->ownFrame || e->opts.withUnderline || e->opts.verticallyCentered;
}

void ApplyPadding(Edit* e) {
    if (e->opts.padding <= 0 || !e->hwnd) {
        return;
    }
    RECT rc;
    GetClientRect(e->hwnd, &rc);
    int p = Scale(e->opts.padding);
    InflateRect(&rc, -p, -p);
    if (!IsRectEmpty(&rc)) {
        SendMessageW(e->hwnd, EM_SETRECTNP, 0, (LPARAM)&rc);
    }
}

void CalcNonClient(Edit* e, RECT* rc) {
    if (e->ownFrame) {
        if (rc->right - rc->left > 2) InflateRect(rc, -1, 0);
        if (rc->bottom - rc->top > 2) InflateRect(rc, 0, -1);
    } else if (e->opts.withUnderline) {
        rc->bottom -= 1;
    }
    e->centringOffset = 0;
    if (e->opts.verticallyCentered) {
        int spare = (rc->bottom - rc->top) - MeasureTextSize(e->font, "Minimal").cy;
        if (spare > 1) {
            e->centringOffset = spare / 2;
            rc->top += e->centringOffset;
        }
    }
}

HBRUSH CentringBandBrush(Edit* e, HDC dc) {
    if (HBRUSH own = e->BackgroundBrush()) {
        return own;
    }
    bool readOnly = GetWindowLongW(e->hwnd, GWL_STYLE) & ES_READONLY;
    UINT msg = readOnly ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
    return (HBRUSH)SendMessageW(GetParent(e->hwnd), msg, (WPARAM)dc, (LPARAM)e->hwnd);
}

void PaintNonClient(Edit* e) {
    HDC dc = GetWindowDC(e->hwnd);
    if (!dc) {
        return;
    }
    RECT win;
    GetWindowRect(e->hwnd, &win);
    RECT whole{0, 0, win.right - win.left, win.bottom - win.top};
    if (e->centringOffset > 0) {
        // The client area starts below the band; paint the band in the edit's background.
        POINT origin{0, 0};
        ClientToScreen(e->hwnd, &origin);
        RECT client;
        GetClientRect(e->hwnd, &client);
        int left = origin.x - win.left, top = origin.y - win.top;
        if (GetWindowLongW(e->hwnd, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) left = win.right - origin.x;
        RECT band{left, top - e->centringOffset, left + client.right, top};
        if (HBRUSH br = CentringBandBrush(e, dc)) FillRect(dc, &band, br);
    }
    HBRUSH border = CreateSolidBrush(GetTheme()->editBorder);
    if (e->ownFrame) {
        FrameRect(dc, &whole, border);
    } else {
        RECT line{0, whole.bottom - 1, whole.right, whole.bottom};
        FillRect(dc, &line, border);
    }
    DeleteObject(border);
    ReleaseDC(e->hwnd, dc);
}

// A path reads left to right whatever language its folder names are in: drive, separators
// and folders follow one another from the left. So its edit is never mirrored; a mirrored
// edit lays the text out right to left and shows the folders backwards
// ("VeloraPDF\Public\Users\:C"). In a right-to-left window it is right-aligned, on the
// side where that window's labels and fields start, so the eye finds it under its label;
// the path itself still begins with its drive on the left.
void KeepPathLeftToRight(HWND w) {
    LONG_PTR ex = GetWindowLongPtrW(w, GWL_EXSTYLE);
    if (ex & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING)) {
        SetWindowLongPtrW(w, GWL_EXSTYLE, ex & ~(LONG_PTR)(WS_EX_LAYOUTRTL | WS_EX_RTLREADING));
        InvalidateRect(w, nullptr, TRUE);
    }
}

void TakeFocusByClick(HWND hwnd) {
    HWND fg = GetForegroundWindow();
    DWORD fgThread = fg ? GetWindowThreadProcessId(fg, nullptr) : 0;
    DWORD self = GetCurrentThreadId();
    bool attach = fgThread && fgThread != self && AttachThreadInput(self, fgThread, TRUE);
    SetFocus(hwnd);
    if (attach) AttachThreadInput(self, fgThread, FALSE);
}
}  // namespace

void DeleteWordBeforeCaret(HWND edit) {
    int n = GetWindowTextLengthW(edit);
    WCHAR* text = (WCHAR*)ArenaAlloc(GetTempArena(), sizeof(WCHAR) * (size_t)(n + 1), true);
    if (!text) {
        return;
    }
    GetWindowTextW(edit, text, n + 1);
    DWORD selStart = 0, selEnd = 0;
    SendMessageW(edit, EM_GETSEL, (WPARAM)&selStart, (LPARAM)&selEnd);
    int caret = (int)selEnd > n ? n : (int)selEnd;
    int i = caret;
    if (i > 0 && text[i - 1] == kCtrlBackspaceChar) i--;
    while (i > 0 && iswspace(text[i - 1])) i--;
    while (i > 0 && !iswspace(text[i - 1])) i--;
    SendMessageW(edit, EM_SETSEL, (WPARAM)i, (LPARAM)caret);
    SendMessageW(edit, WM_CLEAR, 0, 0);
}

Size Edit::GetIdealSize() {
    SIZE sample = MeasureTextSize(font, "Minimal");
    SIZE current = MeasureTextSize(font, GetTextTemp());
    int avg = font ? font->avgCharWidth : 1;
    int dx = sample.cx > current.cx ? sample.cx : current.cx;
    if (opts.minWidthChars > 0 && dx < opts.minWidthChars * avg) dx = opts.minWidthChars * avg;
    if (opts.maxWidthChars > 0 && opts.maxWidthChars * avg < dx) dx = opts.maxWidthChars * avg;
    dx += Scale(opts.leftMargin) + Scale(opts.rightMargin);
    int lineDy = sample.cy < current.cy ? sample.cy : current.cy;
    if (lineDy == 0) lineDy = sample.cy > current.cy ? sample.cy : current.cy;
    int lines = opts.idealSizeLines < 1 ? 1 : opts.idealSizeLines;
    int dy = lines * lineDy;
    if (opts.withBorder) {
        dx += Scale(4);
        dy += Scale(8);
    } else if (ownFrame) {
        dx += 2;
        dy += 2;
    }
    if (opts.withUnderline && !ownFrame) dy += 1;
    int pad = 2 * Scale(opts.padding);
    return Size{dx + pad, dy + pad};
}

void Edit::FilterMessage(WndEvent* ev) {
    onMsgFilter.Call(ev);
    if (ev->handled) {
        return;
    }
    HWND w = ev->hwnd;
    switch (ev->msg) {
        case WM_KEYDOWN:
            if (ev->wp == VK_BACK && (GetKeyState(VK_CONTROL) & 0x8000) && !(GetKeyState(VK_SHIFT) & 0x8000)) {
                uitask::Post(MkTask(DelayedCtrlBack, w), "DelayedEditCtrlBack");
            }
            return;
        case WM_NCCALCSIZE:
            if (NeedsOwnNonClient(this)) {
                ev->result = CallDefault(w, ev->msg, ev->wp, ev->lp);
                CalcNonClient(this, (RECT*)ev->lp);
                ev->handled = true;
            }
            return;
        case WM_NCPAINT:
            if (NeedsOwnNonClient(this)) {
                ev->result = CallDefault(w, ev->msg, ev->wp, ev->lp);
                PaintNonClient(this);
                ev->handled = true;
            }
            return;
        case WM_SIZE:
            ev->result = CallDefault(w, ev->msg, ev->wp, ev->lp);
            ApplyPadding(this);
            onSize.Call(ev);
            ev->handled = true;
            return;
        case WM_SETCURSOR:
            if (cursor && (HWND)ev->wp == w) {
                SetCursor(cursor);
                ev->result = TRUE;
                ev->handled = true;
            }
            return;
    }
    if (!opts.selectAllOnFocus) {
        return;
    }
    switch (ev->msg) {
        case WM_LBUTTONDOWN:
            if (GetFocus() != w) {
                focusByClick = true;
                TakeFocusByClick(w);
            }
            return;
        case WM_SETFOCUS:
            if (!focusByClick) PostSelectAll(w);
            return;
        case WM_LBUTTONUP: {
            if (!focusByClick) return;
            focusByClick = false;
            DWORD a = 0, b = 0;
            SendMessageW(w, EM_GETSEL, (WPARAM)&a, (LPARAM)&b);
            if (a == b) PostSelectAll(w);
            return;
        }
    }
}

bool Edit::OnReflected(WndEvent* ev) {
    switch (ev->msg) {
        case WM_COMMAND:
            switch (HIWORD(ev->wp)) {
                case EN_CHANGE:
                    onTextChanged.Call(ev);
                    break;
                case EN_KILLFOCUS:
                    onFocusLost.Call(ev);
                    break;
                case EN_SETFOCUS:
                    onFocus.Call(ev);
                    break;
            }
            return ev->handled;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            return AnswerEditColor(this, ev);
    }
    return ControlBase::OnReflected(ev);
}

Edit* CreateEdit(const EditCreateArgs& a) {
    Edit* e = new Edit;
    e->opts = a;
    e->ownFrame = a.withBorder || a.withFlatFrame;
    e->opts.withUnderline = a.withUnderline && !e->ownFrame;
    e->opts.verticallyCentered = a.verticallyCentered && !a.isMultiLine;

    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    if (a.isRightAligned || (a.isPath && a.isRtl)) style |= ES_RIGHT;
    if (a.isNumber) style |= ES_NUMBER;
    if (a.isPassword) style |= ES_PASSWORD;
    if (a.isMultiLine) {
        style |= ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL;
        if (a.withHorizontalScroll) style |= ES_AUTOHSCROLL | WS_HSCROLL;
    } else {
        style |= ES_AUTOHSCROLL;
    }
    CreateControlArgs args;
    args.parent = a.parent;
    args.className = WC_EDITW;
    args.style = style;
    args.font = a.font;
    args.isRtl = a.isRtl && !a.isPath;
    if (!CreateControl(e, args)) {
        return e;
    }
    HWND w = e->hwnd;
    // A mirrored parent passes its layout on to the edit when it is created.
    if (a.isPath) KeepPathLeftToRight(w);
    if (a.noVisualTheme || e->ownFrame) RemoveVisualTheme(w);
    SendMessageW(w, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(Scale(a.leftMargin), Scale(a.rightMargin)));
    ApplyPadding(e);
    if (NeedsOwnNonClient(e)) {
        SetWindowPos(w, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (!a.cueText.IsEmpty()) {
        SendMessageW(w, EM_SETCUEBANNER, TRUE, (LPARAM)ToWStrTemp(a.cueText).s);
    }
    if (!a.text.IsEmpty()) e->SetText(a.text);
    return e;
}
