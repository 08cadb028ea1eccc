// The installer window: its record, the first page (directory and options), the layout,
// the elevation shield and the window procedure. The pages after Install are in
// installer_pages_win.cpp.
#include <windows.h>
#include <commctrl.h>

#include "base/choice_table.h"
#include "base/log.h"
#include "base/log_system.h"
#include "base/process_win.h"
#include "base/product.h"
#include "base/wide_win.h"
#include "i18n/lang.h"
#include "i18n/translations.h"
#include "installer/install_options.h"
#include "installer/installer_message.h"
#include "installer/installer_paint.h"
#include "installer/installation.h"
#include "installer/installer_window.h"
#include "installer/installer_window_internal.h"
#include "installer/page_colors.h"
#include "installer/previous_install.h"
#include "installer/window_rules.h"
#include "ui/accessible.h"
#include "ui/dpi.h"
#include "ui/dpi_win.h"
#include "ui/font.h"
#include "ui/theme.h"
#include "ui/window_class.h"
#include "ui/window_geometry.h"

namespace {
constexpr const WCHAR* kWindowClass = L"VLPDF_INSTALLER_FRAME";
constexpr int kWindowDx = 460;
constexpr int kWindowDy = 290;

// The header is painted in the first Scale(150) pixels; the page below needs Scale(130).
int MinClientHeight() {
    return Scale(150) + Scale(130);
}

int SectionMargin() {
    return 2 * Scale(8);
}

Padding* Section(ILayout* child) {
    int m = SectionMargin();
    return new Padding(child, Insets{m, m, 0, m});
}

// The check box once made; until then what it is made with.
bool AllUsersChosen(InstallerWnd* wnd) {
    return wnd->allUsersCheck ? wnd->allUsersCheck->IsChecked() : wnd->run->choices.AllUsers();
}

void UpdateInstallShield(InstallerWnd* wnd) {
    bool forAllUsers = AllUsersChosen(wnd) || wnd->run->prev.choices.AllUsers();
    StrView dir = wnd->editInstallationDir->GetTextTemp();
    if (dir.IsEmpty()) {
        dir = wnd->run->choices.installDir;
    }
    bool shield = NeedsElevation(dir, forAllUsers, IsProcessElevated());
    Logf("UpdateInstallShield: shield: %d, forAllUsers: %d, dir: '%s'\n", (int)shield, (int)forAllUsers, dir.CStr());
    SendMessageW(wnd->installButton->hwnd, BCM_SETSHIELD, 0, shield ? TRUE : FALSE);
}

void OnAllUsersChanged(InstallerWnd* wnd, WndEvent*) {
    InstallChoices* chosen = &wnd->run->choices;
    ForAllUsersStateChanged(chosen, wnd->allUsersCheck->IsChecked());
    wnd->editInstallationDir->SetText(chosen->installDir);
    // The shield follows the directory the installation would now use.
    UpdateInstallShield(wnd);
}

void OnInstallClicked(InstallerWnd* wnd, WndEvent*) {
    OnButtonInstall(wnd);
}

void OnBrowseClicked(InstallerWnd* wnd, WndEvent*) {
    OnButtonBrowse(wnd);
}

void ToggleOptions(InstallerWnd* wnd, VirtEvent*) {
    EnsureOptionChecks(wnd);
    wnd->showOptions = !wnd->showOptions;
    UpdateOptionsUi(wnd);
    NotifyAccEvent(EVENT_OBJECT_STATECHANGE, wnd->hwnd, (uintptr_t)wnd->optionsLink);
}

// Alt plus the label's key goes to what it labels.
void FocusDirectory(InstallerWnd* wnd, VirtEvent*) {
    if (!wnd->editInstallationDir || !wnd->editInstallationDir->hwnd) return;
    ::SetFocus(wnd->editInstallationDir->hwnd);
    SendMessageW(wnd->editInstallationDir->hwnd, EM_SETSEL, 0, -1);
}

// Enter: the focused push button, else the page's main button (Install, then Start). The
// dialog manager sends IDOK for it, with the focused control or nothing in lParam.
void PressEnter(InstallerWnd* wnd) {
    HWND focus = GetFocus();
    Button* focused = dynamic_cast<Button*>(FindControl(focus));
    Button* target = focused && GetParent(focus) == wnd->hwnd ? focused : nullptr;
    for (Button* b : {wnd->installButton, wnd->startButton}) {
        if (!target && b && b->hwnd && IsWindowVisible(b->hwnd)) target = b;
    }
    if (target && IsWindowEnabled(target->hwnd)) {
        SendMessageW(target->hwnd, BM_CLICK, 0, 0);
    }
}

// The page follows the system's colours (high contrast on or off, another scheme).
void OnSystemColorsChanged(InstallerWnd* wnd) {
    RefreshTheme();
    wnd->labelColor = CurrentPageColors().text;
    RedrawWindow(wnd->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

// The box's text is the choice table's.
Checkbox* MakeCheckbox(InstallerWnd* wnd, ChoiceSet shown, Choice choice) {
    const char* text = GetTranslation(ChoiceDefOf(choice).boxText);
    return CreateCheckbox(wnd->hwnd, text, shown.Has(choice), wnd->isRtl, wnd->showOptions);
}

void CreateCheckboxes(InstallerWnd* wnd, const InstallChoices& chosen) {
    bool hasPrev = HasPreviousInstall(wnd->run->prev);
    Logf("HasPreviousInstall(): hasPrev: %d\n", (int)hasPrev);
    const PreviousInstallInfo& prev = wnd->run->prev;
    ChoiceSet shown = FirstBoxStates(chosen, prev.registered, hasPrev ? &prev.choices : nullptr, wnd->run->locked);
    wnd->previewCheck = MakeCheckbox(wnd, shown, Choice::Previewer);
    wnd->searchCheck = MakeCheckbox(wnd, shown, Choice::SearchFilter);
    wnd->shortcutCheck = MakeCheckbox(wnd, shown, Choice::DesktopShortcut);
    wnd->defaultPdfCheck = MakeCheckbox(wnd, shown, Choice::DefaultPdf);
    wnd->defaultComicsCheck = MakeCheckbox(wnd, shown, Choice::DefaultComics);
    wnd->defaultMarkdownCheck = MakeCheckbox(wnd, shown, Choice::DefaultMarkdown);
    wnd->officeAddinCheck = MakeCheckbox(wnd, shown, Choice::OfficeAddin);
    wnd->allUsersCheck = MakeCheckbox(wnd, shown, Choice::AllUsers);
    wnd->allUsersCheck->onCheckStateChanged = MkHandler(OnAllUsersChanged, wnd);
}

void CreateFolderControls(InstallerWnd* wnd, StrView installDir) {
    wnd->browseButton = CreateDefaultButton(wnd->hwnd, "&...", wnd->isRtl);
    wnd->browseButton->onClicked = MkHandler(OnBrowseClicked, wnd);

    EditCreateArgs ea;
    ea.parent = wnd->hwnd;
    ea.withBorder = true;
    ea.verticallyCentered = true;
    ea.isPath = true;
    ea.isRtl = wnd->isRtl;
    ea.text = installDir;
    wnd->editInstallationDir = CreateEdit(ea);

    wnd->folderLabel = new virtCtrlText(GetTranslation("Install VeloraPDF in &folder:"));
    wnd->folderLabel->font = GetDefaultGuiFont();
    wnd->labelColor = CurrentPageColors().text;
    wnd->folderLabel->textColor = &wnd->labelColor;
    wnd->folderLabel->processMnemonics = true;
    wnd->folderLabel->onClicked = MkHandler(FocusDirectory, wnd);
    wnd->folderLabel->isRtl = wnd->isRtl;
    wnd->folderLabel->SetText(wnd->folderLabel->text);
}

// Greyed boxes alone do not say why they cannot change. The line takes the page's text colour,
// as the folder label does, so that high contrast reaches it too.
void CreateLockedNote(InstallerWnd* wnd) {
    virtCtrlText* note = new virtCtrlText(GetTranslation("Some options are set by your organization"));
    note->font = GetDefaultGuiFont();
    note->textColor = &wnd->labelColor;
    note->isRtl = wnd->isRtl;
    // A little more room below it than between the boxes: it is about them, not one of them.
    note->insets = Insets{0, 0, Scale(3), 0};
    note->SetVisibility(Collapse);
    wnd->lockedNote = note;
}

void CreateOptionsLink(InstallerWnd* wnd) {
    virtCtrlLink* link = new virtCtrlLink();
    link->font = GetDefaultGuiFont();
    link->textColor = &GetTheme()->link;
    link->cursor = CursorHand;
    link->processMnemonics = true;
    link->isRtl = wnd->isRtl;
    // Room for the focus rectangle around the text.
    int room = Scale(2);
    link->insets = Insets{room, room, room, room};
    link->onClicked = MkHandler(ToggleOptions, wnd);
    wnd->optionsLink = link;
}

WindowSlot* Slot(ControlBase* c, int dx, int dy) {
    return new WindowSlot(c->hwnd, dx, dy);
}

void AddOptionSlots(InstallerWnd* wnd) {
    Checkbox* checks[8];
    OptionChecks(wnd, checks);
    for (Checkbox* c : checks) {
        if (!c) continue;
        // Its width is what the window must leave it; the column still stretches it.
        Size ideal = c->GetIdealSize();
        wnd->optionsColumn->AddChild(Slot(c, ideal.dx, ideal.dy));
    }
}

void BuildLayout(InstallerWnd* wnd) {
    Font* font = GetDefaultGuiFont();
    int gap = font ? font->avgCharWidth : Scale(4);
    int editDy = wnd->editInstallationDir->GetIdealSize().dy;

    HBox* folderRow = new HBox;
    folderRow->mainAlign = MainStart;
    folderRow->crossAlign = CrossCenter;
    folderRow->spacing = gap;
    folderRow->AddChild(Slot(wnd->editInstallationDir, Scale(80), editDy), 1);
    folderRow->AddChild(Slot(wnd->browseButton, editDy, editDy), 0);
    VBox* folderColumn = new VBox;
    folderColumn->AddChild(wnd->folderLabel);
    folderColumn->AddChild(new Spacer(0, Scale(2)));
    folderColumn->AddChild(folderRow);
    wnd->folderSection = Section(folderColumn);

    wnd->optionsColumn = new VBox;
    wnd->optionsColumn->spacing = Scale(4);
    // First, so that it is read before the boxes it explains, on screen and by readers.
    wnd->optionsColumn->AddChild(wnd->lockedNote);
    AddOptionSlots(wnd);
    wnd->optionsSection = Section(wnd->optionsColumn);

    HBox* bottomRow = new HBox;
    bottomRow->mainAlign = MainStart;
    bottomRow->crossAlign = CrossCenter;
    bottomRow->spacing = gap;
    bottomRow->AddChild(wnd->optionsLink, 0);
    bottomRow->AddChild(new Spacer(0, 0), 1);
    Size button = wnd->installButton->GetIdealSize();
    wnd->installSlot = Slot(wnd->installButton, button.dx, button.dy);
    bottomRow->AddChild(wnd->installSlot, 0);

    int m = SectionMargin();
    wnd->mainLayout = new VBox;
    wnd->mainLayout->AddChild(new Spacer(0, Scale(150)));
    wnd->mainLayout->AddChild(wnd->folderSection);
    wnd->mainLayout->AddChild(wnd->optionsSection);
    wnd->mainLayout->AddChild(new Padding(bottomRow, Insets{m, m, m, m}));
}

// Tab goes through the windows in this order and from the last back to the first.
void SetTabOrder(InstallerWnd* wnd, bool withInstallButton) {
    Checkbox* checks[8];
    OptionChecks(wnd, checks);
    HWND order[12];
    int n = 0;
    if (withInstallButton) order[n++] = wnd->installButton->hwnd;
    order[n++] = wnd->editInstallationDir->hwnd;
    order[n++] = wnd->browseButton->hwnd;
    for (Checkbox* c : checks) {
        if (c) order[n++] = c->hwnd;
    }
    // The options link, through the window that stands for the windowless controls.
    HWND rest[2] = {wnd->vcHost ? wnd->vcHost->focusWnd : nullptr};
    for (HWND h : rest) {
        if (h) order[n++] = h;
    }
    for (int i = 1; i < n; i++) {
        SetWindowPos(order[i], order[i - 1], 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void CreateInstallerWindowControls(InstallerWnd* wnd) {
    const InstallChoices& chosen = wnd->run->choices;
    const InstallerOptions& o = wnd->run->cli->installer;
    Logf("CreateInstallerWindowControls: cli->installer.allUsers: %d, cli->installer.withPreview: %d, "
         "cli->installer.withFilter: %d, install dir: '%s'\n",
         (int)chosen.AllUsers(), (int)chosen.Has(Choice::Previewer), (int)chosen.Has(Choice::SearchFilter),
         chosen.installDir.CStr());
    wnd->showOptions = OptionsShownAtStart(o);

    wnd->installButton = CreateDefaultButton(wnd->hwnd, GetTranslation("Install VeloraPDF"), wnd->isRtl);
    wnd->installButton->onClicked = MkHandler(OnInstallClicked, wnd);
    wnd->installButton->SetIsVisibleAndEnabled(!o.fastInstall);
    CreateOptionsLink(wnd);
    if (!OptionChecksWaitForFirstPaint(wnd->showOptions, o)) {
        CreateCheckboxes(wnd, chosen);
    }
    CreateFolderControls(wnd, chosen.installDir);
    CreateLockedNote(wnd);
    BuildLayout(wnd);
    if (o.fastInstall) {
        wnd->installSlot->SetVisibility(Collapse);
    }

    UpdateOptionsUi(wnd);
    SetTabOrder(wnd, !o.fastInstall);
    UpdateInstallShield(wnd);
}

// Once the window shows: focusing a control of a hidden window first activates it, which
// showing it does anyway.
void FocusFirstControl(InstallerWnd* wnd) {
    const InstallerOptions& o = wnd->run->cli->installer;
    ::SetFocus(o.fastInstall ? wnd->editInstallationDir->hwnd : wnd->installButton->hwnd);
    // The focus and the keys' underlines show from the start, not only after a key press.
    SendMessageW(wnd->hwnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}

// Grows or shrinks the window to what the page needs, never below the header and the
// messages nor narrower than its design width, and keeps it on its monitor. A larger text
// size makes the page wider as well as taller: every control stays inside the window.
void FitWindowHeight(InstallerWnd* wnd) {
    Rect client = ClientRect(wnd->hwnd);
    int32_t dx = Scale(kWindowDx);
    int32_t needDx = wnd->mainLayout->MinIntrinsicWidth(INF);
    if (needDx > dx) {
        dx = needDx;
    }
    int32_t dy = wnd->mainLayout->Layout(Constraints{{dx, 0}, {dx, INF}}).dy;
    if (dy < MinClientHeight()) {
        dy = MinClientHeight();
    }
    if (dy == client.dy && dx == client.dx) {
        return;
    }
    SetClientSize(wnd->hwnd, dx, dy);
    PullIntoWorkArea(wnd->hwnd);
}

void DeleteWindowControls(InstallerWnd* wnd) {
    ControlBase* controls[] = {wnd->startButton,     wnd->editInstallationDir, wnd->browseButton,
                               wnd->allUsersCheck,   wnd->searchCheck,         wnd->previewCheck,
                               wnd->shortcutCheck,   wnd->defaultPdfCheck,     wnd->defaultComicsCheck,
                               wnd->defaultMarkdownCheck, wnd->officeAddinCheck, wnd->progressBar,
                               wnd->installButton};
    for (ControlBase* c : controls) {
        delete c;
    }
}

void OnDestroy(InstallerWnd* wnd) {
    RegisterInstallerAccTree(wnd, false);
    wnd->folderSection = nullptr;
    wnd->optionsSection = nullptr;
    wnd->folderLabel = nullptr;
    wnd->lockedNote = nullptr;
    wnd->optionsLink = nullptr;
    // The layout owns the windowless controls and the slots; the window controls are ours.
    delete wnd->mainLayout;
    wnd->mainLayout = nullptr;
    delete wnd->vcHost;
    wnd->vcHost = nullptr;
    DeleteWindowControls(wnd);
    if (wnd->staticBrush) {
        DeleteObject(wnd->staticBrush);
    }
    wnd->run->window = nullptr;
    SetWindowLongPtrW(wnd->hwnd, GWLP_USERDATA, 0);
    delete wnd;
    PostQuitMessage(0);
}

// The check boxes sit on the page: its background and text colours.
LRESULT AnswerStaticColor(InstallerWnd* wnd, HDC dc) {
    PageColors colors = CurrentPageColors();
    Color page = ColorFromArgb(colors.pageArgb);
    if (!wnd->staticBrush || wnd->staticBrushColor != page) {
        if (wnd->staticBrush) DeleteObject(wnd->staticBrush);
        wnd->staticBrush = CreateSolidBrush(page);
        wnd->staticBrushColor = page;
    }
    SetTextColor(dc, colors.text);
    SetBkMode(dc, TRANSPARENT);
    return (LRESULT)wnd->staticBrush;
}

// How long a person waited for the window: from the process's creation to its first paint.
// True at the first paint.
bool LogFirstPaintOnce() {
    static bool logged = false;
    if (logged) {
        return false;
    }
    logged = true;
    FILETIME created, exited, kernel, user, now;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return true;
    }
    GetSystemTimeAsFileTime(&now);
    auto ticks = [](FILETIME t) { return ((int64_t)t.dwHighDateTime << 32) | t.dwLowDateTime; };
    Logf("InstallerWindow: first paint %lld ms after the process started\n",
         (long long)((ticks(now) - ticks(created)) / 10000));
    return true;
}

LRESULT HandleWindowMessage(InstallerWnd* wnd, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT res = 0;
    // Enter, before the command is reflected to whatever control lParam names.
    if (wnd && msg == WM_COMMAND && wp == IDOK) {
        PressEnter(wnd);
        return 0;
    }
    if (ReflectMessage(hwnd, msg, wp, lp, &res) && res) {
        return res;
    }
    if (!wnd) {
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    if (HandleInstallerAccMessage(wnd, msg, wp, lp, &res)) {
        return res;
    }
    if (IsVirtCtrlInput(msg)) {
        if (wnd->vcHost && wnd->vcHost->HandleMessage(msg, wp, lp, &res)) {
            return res;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    switch (msg) {
        case WM_DESTROY:
            OnDestroy(wnd);
            return 0;
        case WM_PAINT:
            PaintInstallerWindow(hwnd, !wnd->run->started, wnd->page, &wnd->header, wnd->vcHost);
            if (LogFirstPaintOnce()) {
                // The controls paint now, so that the whole first page is on screen before the
                // work that waited for it.
                RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
                PostMessageW(hwnd, WM_APP_AFTER_FIRST_PAINT, 0, 0);
            }
            AnnounceMessageIfChanged(wnd);
            return 0;
        case WM_SETTINGCHANGE:
        case WM_SYSCOLORCHANGE:
        case WM_THEMECHANGED:
            OnSystemColorsChanged(wnd);
            break;
        case WM_CLOSE:
            if (wnd->run->started && wnd->installerThread) {
                return 0;
            }
            break;
        case WM_ERASEBKGND:
            return 1;
        case WM_COMMAND:
            if (LOWORD(wp) == IDCANCEL) {
                OnButtonExit(wnd);
                return 0;
            }
            break;
        case WM_CTLCOLORSTATIC:
            return AnswerStaticColor(wnd, (HDC)wp);
        case WM_APP_INSTALLATION_FINISHED:
            OnInstallationFinished(wnd);
            return 0;
        case WM_APP_AFTER_FIRST_PAINT:
            EnsureOptionChecks(wnd);
            if (wnd->run->afterFirstPaint) {
                wnd->run->afterFirstPaint();
            }
            return 0;
        case WM_APP_PROGRESS_STEP:
            OnProgressStep(wnd, (int32_t)wp);
            return 0;
        case WM_APP_START_INSTALLATION:
            StartInstallation(wnd);
            SetForegroundWindow(hwnd);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// Messages sent while the window is being made arrive before its record is stored: they
// get the default handling.
LRESULT CALLBACK InstallerWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    DpiScope dpi(hwnd);
    InstallerWnd* wnd = (InstallerWnd*)GetWindowLongPtrW(hwnd, GWLP_USERDATA);
    return HandleWindowMessage(wnd, hwnd, msg, wp, lp);
}

bool RegisterWindowClass() {
    WNDCLASSEXW wc = StandardWindowClass(kWindowClass, InstallerWndProc);
    wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}
}  // namespace

// The options column in the order people read them, which is also the tab order and the order
// of Choice.
void OptionChecks(InstallerWnd* wnd, Checkbox* out[kChoiceCount]) {
    Checkbox* order[kChoiceCount] = {wnd->allUsersCheck,   wnd->searchCheck,        wnd->shortcutCheck,
                          wnd->previewCheck,    wnd->defaultPdfCheck,    wnd->defaultComicsCheck,
                          wnd->defaultMarkdownCheck, wnd->officeAddinCheck};
    for (int i = 0; i < kChoiceCount; i++) out[i] = order[i];
}

// Any window may be asked about (screen readers name the root they ask for): only the
// installer window has a record.
InstallerWnd* InstallerWndFromHwnd(HWND hwnd) {
    wchar_t cls[64];
    if (!hwnd || !GetClassNameW(hwnd, cls, 64) || wcscmp(cls, kWindowClass) != 0) {
        return nullptr;
    }
    return (InstallerWnd*)GetWindowLongPtrW(hwnd, GWLP_USERDATA);
}

void EnsureOptionChecks(InstallerWnd* wnd) {
    if (wnd->allUsersCheck || wnd->run->started || !wnd->optionsColumn) {
        return;
    }
    CreateCheckboxes(wnd, wnd->run->choices);
    AddOptionSlots(wnd);
    SetTabOrder(wnd, !wnd->run->cli->installer.fastInstall);
    UpdateOptionsUi(wnd);
}

void UpdateOptionsUi(InstallerWnd* wnd) {
    Checkbox* checks[kChoiceCount];
    OptionChecks(wnd, checks);
    for (int i = 0; i < kChoiceCount; i++) {
        if (!checks[i]) continue;
        checks[i]->SetIsVisibleAndEnabled(wnd->showOptions);
        if (wnd->run->locked.Has((Choice)i)) checks[i]->SetEnabled(false);
    }
    StrView text = wnd->showOptions ? str::FormatTemp("%s \xE2\x96\xB4", GetTranslation("Hide &Options"))
                                    : str::FormatTemp("%s \xE2\x96\xBE", GetTranslation("&Options"));
    wnd->optionsLink->SetText(text);
    Relayout(wnd);
    RepaintWindow(wnd->hwnd);
}

void Relayout(InstallerWnd* wnd) {
    if (!wnd->mainLayout || !wnd->hwnd) {
        return;
    }
    Rect client = ClientRect(wnd->hwnd);
    if (client.dx <= 0 || client.dy <= 0) {
        return;
    }
    UpdateDpiForWindow(wnd->hwnd);
    if (wnd->optionsSection) {
        wnd->optionsSection->SetVisibility(wnd->showOptions ? Visible : Collapse);
    }
    int started = wnd->run->started ? Collapse : Visible;
    if (wnd->folderSection) wnd->folderSection->SetVisibility(started);
    if (wnd->optionsLink) wnd->optionsLink->SetVisibility(started);
    // A windowless control keeps its last place while its section is collapsed: it is
    // collapsed itself, or it would still be painted there.
    if (wnd->lockedNote) {
        bool noteShown = LockedOptionsNoteShown(wnd->run->locked, wnd->showOptions, wnd->run->started);
        wnd->lockedNote->SetVisibility(noteShown ? Visible : Collapse);
    }
    FitWindowHeight(wnd);
    client = ClientRect(wnd->hwnd);
    LayoutToSize(wnd->mainLayout, Size{client.dx, client.dy});
    if (!wnd->vcHost) {
        wnd->vcHost = new VirtCtrlHost(wnd->hwnd);
    }
    wnd->vcHost->SetBounds(client);
    Vec<virtCtrl*> virt;
    CollectVirtCtrls(wnd->mainLayout, &virt);
    wnd->vcHost->SetControls(virt.els, virt.len);
}

bool CreateInstallerWindow(InstallerRun* run) {
    InstallerWnd* wnd = new InstallerWnd;
    wnd->run = run;
    wnd->page.SetWelcome(GetTranslation("Thank you for choosing VeloraPDF!"));
    wnd->isRtl = IsCurrentLangRtl();
    if (!RegisterWindowClass()) {
        LogLastError(0);
    }
    StrView title = str::FormatTemp(GetTranslation("VeloraPDF %s Installer"), kProductVersion);
    wnd->hwnd = CreateWindowExW(wnd->isRtl ? WS_EX_LAYOUTRTL : 0, kWindowClass, W(title),
                                WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, kWindowDx,
                                kWindowDy, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!wnd->hwnd) {
        LogLastError(0);
        delete wnd;
        return false;
    }
    SetWindowLongPtrW(wnd->hwnd, GWLP_USERDATA, (LONG_PTR)wnd);
    run->window = wnd->hwnd;
    RegisterInstallerAccTree(wnd, true);
    UpdateDpiForWindow(wnd->hwnd);
    // The controls' layout gives the window its size (FitWindowHeight): every move of a
    // window costs about a millisecond under Wine before it first shows.
    CreateInstallerWindowControls(wnd);
    const InstallerOptions& o = run->cli->installer;
    if (o.runInstallNow || o.fastInstall) {
        PostMessageW(wnd->hwnd, WM_APP_START_INSTALLATION, 0, 0);
    }
    wnd->page.Set(wnd->page.Welcome(), kMessageTextArgb);
    CenterWindow(wnd->hwnd);
    PullIntoWorkArea(wnd->hwnd);
    ShowWindow(wnd->hwnd, SW_SHOW);
    FocusFirstControl(wnd);
    return true;
}
