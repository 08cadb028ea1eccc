// What screen readers hear from the installer window: its page as a list of items in the
// order Tab goes through it (the texts before what they label), what their default actions
// do, and the announcements of progress and of the messages the page shows.
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include "base/arena.h"
#include "base/product.h"
#include "i18n/translations.h"
#include "installer/installer_message.h"
#include "installer/installer_paint.h"
#include "installer/installation.h"
#include "installer/installer_window_internal.h"
#include "ui/accessible.h"
#include "ui/dpi.h"
#include "ui/window_geometry.h"

namespace {
// Keys of the painted parts; control keys are window handles and object addresses.
constexpr uintptr_t kHeaderKey = 1;
constexpr uintptr_t kMessageKey = 2;
constexpr UINT WM_APP_ACC_DEFAULT_ACTION = WM_APP + 3;

Rect ToScreen(HWND hwnd, Rect r) {
    Rect client = ClientRect(hwnd);
    POINT p{0, 0};
    ClientToScreen(hwnd, &p);
    bool rtl = GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYOUTRTL;
    // Client coordinates of a mirrored window run from its right edge.
    int x = rtl ? p.x - client.dx + (client.dx - r.x - r.dx) : p.x + r.x;
    return Rect{x, p.y + r.y, r.dx, r.dy};
}

uint32_t WindowStates(HWND h) {
    uint32_t s = 0;
    if (!IsWindowVisible(h)) s |= STATE_SYSTEM_INVISIBLE;
    if (!IsWindowEnabled(h)) s |= STATE_SYSTEM_UNAVAILABLE;
    else if (GetWindowLongW(h, GWL_STYLE) & WS_TABSTOP) s |= STATE_SYSTEM_FOCUSABLE;
    if (GetFocus() == h) s |= STATE_SYSTEM_FOCUSED;
    return s;
}

AccItem WindowItem(ControlBase* c, int32_t role) {
    AccItem it;
    it.key = (uintptr_t)c->hwnd;
    it.hwnd = c->hwnd;
    StrView text = c->GetTextTemp();
    it.name = AccNameFromTextTemp(text);
    it.shortcut = AccShortcutFromTextTemp(text);
    it.role = role;
    it.state = WindowStates(c->hwnd);
    it.screen = WindowRect(c->hwnd);
    return it;
}

void AddButton(Vec<AccItem>* out, Button* b) {
    if (!b || !b->hwnd) return;
    AccItem it = WindowItem(b, ROLE_SYSTEM_PUSHBUTTON);
    it.defaultAction = GetTranslation("Press");
    out->Append(it);
}

void AddCheckbox(Vec<AccItem>* out, Checkbox* c, bool locked) {
    if (!c || !c->hwnd) return;
    AccItem it = WindowItem(c, ROLE_SYSTEM_CHECKBUTTON);
    bool checked = c->IsChecked();
    if (checked) it.state |= STATE_SYSTEM_CHECKED;
    if (locked) {
        it.description = GetTranslation("Set by your organization");
    } else {
        it.defaultAction = checked ? GetTranslation("Uncheck") : GetTranslation("Check");
    }
    out->Append(it);
}

bool VirtShown(virtCtrl* v) {
    for (virtCtrl* p = v; p; p = p->parent) {
        if (!p->IsVisible()) return false;
    }
    return v->bounds.dx > 0 && v->bounds.dy > 0;
}

AccItem VirtItem(InstallerWnd* wnd, virtCtrlText* v, int32_t role) {
    AccItem it;
    it.key = (uintptr_t)v;
    it.name = AccNameFromTextTemp(v->text);
    it.shortcut = AccShortcutFromTextTemp(v->text);
    it.role = role;
    it.state = VirtShown(v) ? 0 : STATE_SYSTEM_INVISIBLE;
    it.screen = ToScreen(wnd->hwnd, v->WindowBounds());
    return it;
}

// The page's messages, as they are painted: in the header before the installation (only a
// message other than the welcome), below it afterwards, the error text under the message.
StrView MessageTextTemp(const InstallerWnd* wnd) {
    if (!wnd->run->started) return wnd->page.HeaderSubtitle(true);
    StrView msg = wnd->page.Text();
    StrView err = wnd->page.Error();
    if (err.IsEmpty()) return msg;
    if (msg.IsEmpty()) return err;
    return str::FormatTemp("%s\n%s", msg.CStr(), err.CStr());
}

void InstallerItems(HWND root, Vec<AccItem>* out) {
    InstallerWnd* wnd = InstallerWndFromHwnd(root);
    if (!wnd) return;
    Rect client = ClientRect(root);
    int headerDy = Scale(150);

    AccItem header;
    header.key = kHeaderKey;
    header.name = str::FormatTemp("%s %s", kProductName, GetTranslation(kProductTagline));
    header.role = ROLE_SYSTEM_STATICTEXT;
    header.state = STATE_SYSTEM_READONLY;
    header.screen = ToScreen(root, Rect{0, 0, client.dx, headerDy});
    out->Append(header);

    StrView message = MessageTextTemp(wnd);
    if (!message.IsEmpty()) {
        AccItem m;
        m.key = kMessageKey;
        m.name = message;
        m.role = ROLE_SYSTEM_STATICTEXT;
        m.state = STATE_SYSTEM_READONLY;
        int top = wnd->run->started ? headerDy + Scale(26) : headerDy / 2 + Scale(26);
        m.screen = ToScreen(root, Rect{0, top, client.dx, Scale(40)});
        out->Append(m);
    }

    if (wnd->folderLabel && wnd->editInstallationDir && wnd->editInstallationDir->hwnd) {
        AccItem label = VirtItem(wnd, wnd->folderLabel, ROLE_SYSTEM_STATICTEXT);
        label.state |= STATE_SYSTEM_READONLY;
        out->Append(label);
        // The edit is named by its label, and the label's key reaches it.
        AccItem edit = WindowItem(wnd->editInstallationDir, ROLE_SYSTEM_TEXT);
        edit.value = edit.name;
        edit.name = label.name;
        edit.shortcut = label.shortcut;
        out->Append(edit);
    }
    AddButton(out, wnd->browseButton);
    // Read with the boxes, before them; each locked box still says why on its own.
    if (wnd->lockedNote && VirtShown(wnd->lockedNote)) {
        AccItem note = VirtItem(wnd, wnd->lockedNote, ROLE_SYSTEM_STATICTEXT);
        note.state |= STATE_SYSTEM_READONLY;
        out->Append(note);
    }
    Checkbox* checks[kChoiceCount];
    OptionChecks(wnd, checks);
    for (int i = 0; i < kChoiceCount; i++) AddCheckbox(out, checks[i], wnd->run->locked.Has((Choice)i));

    if (wnd->optionsLink && !wnd->run->started) {
        AccItem link = VirtItem(wnd, wnd->optionsLink, ROLE_SYSTEM_LINK);
        // The arrow after the text is drawn, not said; the state says it instead.
        link.name = AccNameFromTextTemp(wnd->showOptions ? GetTranslation("Hide &Options") : GetTranslation("&Options"));
        link.state |= STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED |
                      (wnd->showOptions ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED);
        if (wnd->optionsLink->flags & VcHasFocus) link.state |= STATE_SYSTEM_FOCUSED;
        link.defaultAction = GetTranslation("Click");
        out->Append(link);
    }
    AddButton(out, wnd->installButton);
    if (wnd->progressBar && wnd->progressBar->hwnd) {
        AccItem bar = WindowItem(wnd->progressBar, ROLE_SYSTEM_PROGRESSBAR);
        bar.name = GetTranslation("Installation in progress...");
        bar.value = str::FormatTemp("%d%%", ProgressPercent(wnd));
        bar.state |= STATE_SYSTEM_READONLY;
        out->Append(bar);
    }
    AddButton(out, wnd->startButton);
}

// Runs after the reader's request returned, from the message loop.
void DoDefaultAction(HWND root, uintptr_t key) {
    PostMessageW(root, WM_APP_ACC_DEFAULT_ACTION, 0, (LPARAM)key);
}

const AccTree kInstallerTree = {InstallerItems, DoDefaultAction};
}  // namespace

void RegisterInstallerAccTree(InstallerWnd* wnd, bool on) {
    SetAccTree(wnd->hwnd, on ? &kInstallerTree : nullptr);
}

bool HandleInstallerAccMessage(InstallerWnd* wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* res) {
    if (msg == WM_GETOBJECT) {
        *res = AnswerAccGetObject(wnd->hwnd, 0, wp, lp);
        return *res != 0;
    }
    if (msg != WM_APP_ACC_DEFAULT_ACTION) return false;
    *res = 0;
    uintptr_t key = (uintptr_t)lp;
    if (wnd->optionsLink && key == (uintptr_t)wnd->optionsLink && !wnd->run->started) {
        VirtEvent ev{wnd->optionsLink, msg};
        wnd->optionsLink->onClicked.Call(&ev);
    } else if (IsWindow((HWND)key) && GetParent((HWND)key) == wnd->hwnd) {
        // Buttons and check boxes do what a click does.
        SendMessageW((HWND)key, BM_CLICK, 0, 0);
    }
    return true;
}

int ProgressPercent(InstallerWnd* wnd) {
    if (!wnd->progressBar || !wnd->progressBar->hwnd) return 0;
    int max = (int)SendMessageW(wnd->progressBar->hwnd, PBM_GETRANGE, FALSE, 0);
    return max > 0 ? (int)((int64_t)wnd->progressStep * 100 / max) : 0;
}

void AnnounceMessageIfChanged(InstallerWnd* wnd) {
    TempArenaScope scope;
    StrView message = MessageTextTemp(wnd);
    if (str::Eq(message, str::View(wnd->announced))) return;
    wnd->announced.Reset();
    str::Append(wnd->announced, message);
    if (message.IsEmpty()) return;
    // A reader speaks an alert at once, wherever the focus is; the name change keeps a
    // reader that shows the text itself up to date.
    NotifyAccEvent(EVENT_OBJECT_NAMECHANGE, wnd->hwnd, kMessageKey);
    NotifyAccEvent(EVENT_SYSTEM_ALERT, wnd->hwnd, kMessageKey);
}
