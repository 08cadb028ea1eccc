#pragma once
// The installer window's record and the handlers its pages share; for the window's own
// files only.
#include <windows.h>

#include "installer/header_anim.h"
#include "installer/installer_message.h"
#include "installer/installer_run.h"
#include "ui/controls.h"
#include "ui/vc_host.h"
#include "ui/window_slot.h"

struct InstallerWnd {
    InstallerRun* run = nullptr;  // the run the window shows; its choices are edited here
    HWND hwnd = nullptr;
    HBRUSH staticBrush = nullptr;
    Button* startButton = nullptr;
    VirtCtrlHost* vcHost = nullptr;
    virtCtrlText* folderLabel = nullptr;
    Edit* editInstallationDir = nullptr;
    Button* browseButton = nullptr;
    Checkbox* allUsersCheck = nullptr;
    Checkbox* searchCheck = nullptr;
    Checkbox* previewCheck = nullptr;
    Checkbox* shortcutCheck = nullptr;
    Checkbox* defaultPdfCheck = nullptr;
    Checkbox* defaultComicsCheck = nullptr;
    Checkbox* defaultMarkdownCheck = nullptr;
    Checkbox* officeAddinCheck = nullptr;
    Progress* progressBar = nullptr;
    int progressStep = 0;
    Button* installButton = nullptr;
    WindowSlot* installSlot = nullptr;  // the Install button's place in the bottom row
    VBox* mainLayout = nullptr;
    Padding* folderSection = nullptr;
    Padding* optionsSection = nullptr;
    VBox* optionsColumn = nullptr;  // the option check boxes, once made
    virtCtrlText* lockedNote = nullptr;  // above the boxes: some are set by the organization
    virtCtrlLink* optionsLink = nullptr;
    bool showOptions = false;
    void* installerThread = nullptr;
    bool isRtl = false;
    Color labelColor = 0x000000;  // the page's text colour (high contrast changes it)
    Color staticBrushColor = kColorUnset;
    PageMessage page;  // what the page says besides its controls
    HeaderAnimation header;  // the header's entrance, from the first paint
    Str announced;     // the page's message as screen readers were last told it
    int announcedPercent = -1;
};

// The record the installer window was made with; null for any other window, and before
// CreateWindowExW returned.
InstallerWnd* InstallerWndFromHwnd(HWND hwnd);

void Relayout(InstallerWnd* wnd);
// The option check boxes, indexed by Choice; null before they are made.
void OptionChecks(InstallerWnd* wnd, Checkbox* out[kChoiceCount]);
void UpdateOptionsUi(InstallerWnd* wnd);
// The option check boxes are made when the page first needs them: at once when the options
// show from the start or the installation starts by itself, else right after the first
// paint (they are hidden until then), or earlier when Install or the options link is used.
void EnsureOptionChecks(InstallerWnd* wnd);
// Posted at the first paint: what waited for the first page (the hidden check boxes among it).
constexpr UINT WM_APP_AFTER_FIRST_PAINT = WM_APP + 5;
void OnButtonBrowse(InstallerWnd* wnd);
void OnButtonInstall(InstallerWnd* wnd);
void StartInstallation(InstallerWnd* wnd);
void OnInstallationFinished(InstallerWnd* wnd);
void OnButtonExit(InstallerWnd* wnd);
// Sent by ShowProgressStep from any thread; handled on the UI thread.
constexpr UINT WM_APP_PROGRESS_STEP = WM_APP + 4;
void OnProgressStep(InstallerWnd* wnd, int32_t stepsTaken);

// Screen readers (installer_access_win.cpp).
void RegisterInstallerAccTree(InstallerWnd* wnd, bool on);
// WM_GETOBJECT and the posted default actions; true when handled.
bool HandleInstallerAccMessage(InstallerWnd* wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* res);
// Tells readers about a new message of the page (progress, finish, failure, programs to close).
void AnnounceMessageIfChanged(InstallerWnd* wnd);
int ProgressPercent(InstallerWnd* wnd);
