#pragma once
// The installer window's record and the handlers its pages share; for the window's own
// files only.
#include <windows.h>

#include "base/flags.h"
#include "ui/controls.h"
#include "ui/vc_host.h"
#include "ui/window_slot.h"

struct InstallerWnd {
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
    virtCtrlLink* optionsLink = nullptr;
    bool showOptions = false;
    void* installerThread = nullptr;
    bool isRtl = false;
};

extern InstallerWnd* gWnd;
extern Flags* gWndCli;  // the settled options the window edits (gCliNew)

void Relayout(InstallerWnd* wnd);
void UpdateOptionsUi(InstallerWnd* wnd);
void OnButtonBrowse(InstallerWnd* wnd);
void OnButtonInstall(InstallerWnd* wnd);
void StartInstallation(InstallerWnd* wnd);
void OnInstallationFinished();
void OnButtonExit();
