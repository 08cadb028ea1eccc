#pragma once
// A window that shows every control of the toolkit and the painted page, built the way the
// installer window builds its first page: the gallery program shows it for people and
// screenshots, the toolkit tests drive it.
#include <windows.h>

#include "installer/header_anim.h"
#include "installer/installer_message.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/vc_host.h"
#include "ui/virt_ctrl.h"

struct Gallery {
    HWND hwnd = nullptr;
    bool rtl = false;
    bool started = false;  // the progress page: message, error text and progress bar
    PageMessage page;
    HeaderAnimation header;
    VBox* layout = nullptr;
    VirtCtrlHost* host = nullptr;
    virtCtrlText* label = nullptr;
    Edit* edit = nullptr;
    Button* browse = nullptr;
    Checkbox* checks[3] = {};
    Progress* progress = nullptr;
    virtCtrlLink* link = nullptr;
    virtCtrlLink* link2 = nullptr;
    Button* install = nullptr;
    ILayout* folderSection = nullptr;
    ILayout* optionsSection = nullptr;
    ILayout* progressSection = nullptr;
    int linkClicks = 0;
    int link2Clicks = 0;
};

// The start-up of the installer that windows need: system libraries, the UI-task window,
// common controls, GDI+ and the start-up DPI. False (with a line on stderr) when a step fails.
bool StartUiLikeTheInstaller();

// Registers the class once, creates and shows the window. Null when it cannot be created.
Gallery* CreateGallery(bool rtl, bool started);
void RelayoutGallery(Gallery* g);
void DestroyGallery(Gallery* g);
// Pumps messages (running posted UI tasks) for about ms milliseconds.
void PumpMessages(DWORD ms);
// The window's client area as the screen shows it, 0x00RRGGBB per pixel, top row first.
bool CaptureClient(HWND hwnd, int* w, int* h, unsigned** pixels);
