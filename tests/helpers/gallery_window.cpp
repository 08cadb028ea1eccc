#include "gallery_window.h"

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>

#include <initializer_list>

#include "base/product.h"
#include "base/system_lib.h"
#include "i18n/translations.h"
#include "installer/installer_message.h"
#include "installer/installer_paint.h"
#include "ui/dpi.h"
#include "ui/dpi_win.h"
#include "ui/font.h"
#include "ui/gdiplus_api.h"
#include "ui/uitask.h"
#include "ui/window_class.h"
#include "ui/window_geometry.h"
#include "ui/window_slot.h"

namespace {
Gallery* gGallery = nullptr;

LRESULT CALLBACK GalleryProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    DpiScope dpi(hwnd);
    LRESULT res = 0;
    if (ReflectMessage(hwnd, msg, wp, lp, &res) && res) {
        return res;
    }
    Gallery* g = gGallery;
    // The gallery also lets its links take the keyboard focus.
    bool hostInput = IsVirtCtrlInput(msg) || msg == WM_KEYDOWN;
    if (hostInput && g && g->host && g->host->HandleMessage(msg, wp, lp, &res)) {
        return res;
    }
    switch (msg) {
        case WM_PAINT: {
            static const PageMessage kNoMessage;
            static HeaderAnimation atRest;
            PaintInstallerWindow(hwnd, !(g && g->started), g ? g->page : kNoMessage, g ? &g->header : &atRest,
                                 g ? g->host : nullptr);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_CTLCOLORSTATIC: {
            // Checkboxes on the white page, as the installer window answers.
            SetTextColor((HDC)wp, 0x000000);
            SetBkMode((HDC)wp, TRANSPARENT);
            return (LRESULT)GetStockObject(WHITE_BRUSH);
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

WindowSlot* Slot(ControlBase* c, int dx, int dy) {
    return new WindowSlot(c->hwnd, dx, dy);
}

Padding* Section(ILayout* child, bool bottomToo) {
    int m = 2 * Scale(8);
    return new Padding(child, Insets{m, m, bottomToo ? m : 0, m});
}

void CountClick(int* counter, VirtEvent*) {
    (*counter)++;
}

void BuildControls(Gallery* g) {
    HWND w = g->hwnd;
    g->label = new virtCtrlText(GetTranslation("Install VeloraPDF in &folder:"));
    g->label->font = GetDefaultGuiFont();
    g->label->processMnemonics = true;
    g->label->isRtl = g->rtl;
    g->label->SetText(g->label->text);

    EditCreateArgs ea;
    ea.parent = w;
    ea.withBorder = true;
    ea.verticallyCentered = true;
    ea.selectAllOnFocus = true;
    ea.text = "C:\\Users\\Public\\VeloraPDF";
    ea.isPath = true;
    ea.isRtl = g->rtl;
    g->edit = CreateEdit(ea);
    g->browse = CreateDefaultButton(w, "&...", g->rtl);
    const char* checkTexts[3] = {GetTranslation("Install for all users"), GetTranslation("Install &desktop shortcut"),
                                 GetTranslation("Let Windows show &previews of PDF documents")};
    for (int i = 0; i < 3; i++) g->checks[i] = CreateCheckbox(w, checkTexts[i], i != 0, g->rtl);

    CreateControlArgs pa;
    pa.parent = w;
    pa.style = WS_CHILD | WS_VISIBLE;
    pa.isRtl = g->rtl;
    g->progress = CreateProgress(pa);
    SendMessageW(g->progress->hwnd, PBM_SETRANGE32, 0, 10);
    SendMessageW(g->progress->hwnd, PBM_SETPOS, 4, 0);

    g->link = new virtCtrlLink(str::FormatTemp("%s \xE2\x96\xBE", GetTranslation("&Options")));
    g->link2 = new virtCtrlLink(GetTranslation("Hide &Options"));
    for (virtCtrlLink* l : {g->link, g->link2}) {
        l->font = GetDefaultGuiFont();
        l->processMnemonics = true;
        l->underlineOnHover = true;
        l->isRtl = g->rtl;
        l->flags |= VcCanFocus;
        l->SetText(l->text);
    }
    g->link->onClicked = MkHandler(CountClick, &g->linkClicks);
    g->link2->onClicked = MkHandler(CountClick, &g->link2Clicks);
    g->install = CreateDefaultButton(w, GetTranslation("Install VeloraPDF"), g->rtl);
}

void BuildLayout(Gallery* g) {
    int editDy = g->edit->GetIdealSize().dy;
    HBox* folderRow = new HBox;
    folderRow->crossAlign = CrossCenter;
    folderRow->spacing = g->label->font ? g->label->font->avgCharWidth : 4;
    folderRow->AddChild(Slot(g->edit, Scale(80), editDy), 1);
    folderRow->AddChild(Slot(g->browse, editDy, editDy), 0);
    VBox* folderCol = new VBox;
    folderCol->AddChild(g->label);
    folderCol->AddChild(new Spacer(0, Scale(2)));
    folderCol->AddChild(folderRow);

    VBox* options = new VBox;
    options->spacing = Scale(4);
    for (Checkbox* c : g->checks) options->AddChild(Slot(c, 0, c->GetIdealSize().dy));

    HBox* bottom = new HBox;
    bottom->crossAlign = CrossCenter;
    bottom->spacing = folderRow->spacing;
    bottom->AddChild(g->link, 0);
    bottom->AddChild(g->link2, 0);
    bottom->AddChild(new Spacer(0, 0), 1);
    Size ideal = g->install->GetIdealSize();
    bottom->AddChild(Slot(g->install, ideal.dx, ideal.dy), 0);

    g->layout = new VBox;
    g->layout->AddChild(new Spacer(0, Scale(150)));
    g->folderSection = Section(folderCol, false);
    g->optionsSection = Section(options, false);
    g->progressSection = Section(Slot(g->progress, 0, editDy), false);
    g->layout->AddChild(g->folderSection);
    g->layout->AddChild(g->optionsSection);
    // Free room goes above the progress bar: on the progress page it sits at the bottom,
    // below the messages.
    g->layout->Box::AddChild(new Spacer(0, 0), 1);
    g->layout->AddChild(g->progressSection);
    g->layout->AddChild(Section(bottom, true));
}
}  // namespace

bool StartUiLikeTheInstaller() {
    LoadOptionalPlatformFunctions();
    LoadSystemLibrary(L"gdiplus.dll");
    if (!uitask::Initialize()) {
        fprintf(stderr, "uitask::Initialize failed: no display?\n");
        return false;
    }
    INITCOMMONCONTROLSEX icc{sizeof(icc), 0x7FF};
    InitCommonControlsEx(&icc);
    if (!gp::Startup()) {
        fprintf(stderr, "GdiplusStartup failed\n");
        return false;
    }
    InitDpiAtStartup();
    return true;
}

void RelayoutGallery(Gallery* g) {
    UpdateDpiForWindow(g->hwnd);
    // The progress page shows only the messages, the progress bar and the button row.
    g->folderSection->SetVisibility(g->started ? Collapse : Visible);
    g->optionsSection->SetVisibility(g->started ? Collapse : Visible);
    g->link->SetVisibility(g->started ? Collapse : Visible);
    for (ControlBase* c : {(ControlBase*)g->edit, (ControlBase*)g->browse, (ControlBase*)g->checks[0],
                           (ControlBase*)g->checks[1], (ControlBase*)g->checks[2]}) {
        c->SetIsVisibleAndEnabled(!g->started);
    }
    Rect client = ClientRect(g->hwnd);
    Size fit = g->layout->Layout(Constraints{{client.dx, 0}, {client.dx, INF}});
    // The progress page keeps room for the messages above the progress bar.
    int minDy = Scale(150) + Scale(130) + (g->started ? Scale(50) : 0);
    int dy = fit.dy > minDy ? fit.dy : minDy;
    if (dy != client.dy) {
        SetClientSize(g->hwnd, client.dx, dy);
        client = ClientRect(g->hwnd);
    }
    LayoutToSize(g->layout, Size{client.dx, client.dy});
    if (!g->host) g->host = new VirtCtrlHost(g->hwnd);
    g->host->SetBounds(client);
    Vec<virtCtrl*> virt;
    CollectVirtCtrls(g->layout, &virt);
    g->host->SetControls(virt.els, virt.len);
    InvalidateRect(g->hwnd, nullptr, FALSE);
}

Gallery* CreateGallery(bool rtl, bool started) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc = StandardWindowClass(L"VLPDF_UI_GALLERY", GalleryProc);
        registered = RegisterClassExW(&wc) != 0;
    }
    Gallery* g = new Gallery;
    g->rtl = rtl;
    g->started = started;
    gGallery = g;
    WStrView title = ToWStrTemp(str::FormatTemp("%s gallery", kProductName));
    g->hwnd = CreateWindowExW(rtl ? WS_EX_LAYOUTRTL : 0, L"VLPDF_UI_GALLERY", (LPCWSTR)title.s,
                              WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU, 0, 0, 460, 290, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (!g->hwnd) {
        delete g;
        gGallery = nullptr;
        return nullptr;
    }
    UpdateDpiForWindow(g->hwnd);
    ScaledSize s = ScaleSize(460, 290);
    SetClientSize(g->hwnd, s.dx, s.dy);
    BuildControls(g);
    BuildLayout(g);
    if (started) {
        g->page.Set(GetTranslation("Installation in progress..."), kMessageTextArgb);
        g->page.SetError(GetTranslation("Couldn't create the installation directory"));
    } else {
        g->page.SetWelcome(GetTranslation("Thank you for choosing VeloraPDF!"));
        g->page.Set(g->page.Welcome(), kMessageTextArgb);
    }
    RelayoutGallery(g);
    SetWindowPos(g->hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(g->hwnd, SW_SHOW);
    UpdateWindow(g->hwnd);
    return g;
}

void DestroyGallery(Gallery* g) {
    if (!g) return;
    // The layout owns the windowless controls; the window controls sit in slots.
    delete g->layout;
    delete g->host;
    for (ControlBase* c : {(ControlBase*)g->edit, (ControlBase*)g->browse, (ControlBase*)g->checks[0],
                           (ControlBase*)g->checks[1], (ControlBase*)g->checks[2], (ControlBase*)g->progress,
                           (ControlBase*)g->install}) {
        delete c;
    }
    DestroyWindow(g->hwnd);
    PumpMessages(0);
    gGallery = nullptr;
    delete g;
}

void PumpMessages(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    do {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) continue;
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        if (ms) Sleep(5);
    } while ((int)(end - GetTickCount()) > 0);
}

bool CaptureClient(HWND hwnd, int* w, int* h, unsigned** pixels) {
    Rect c = ClientRect(hwnd);
    *w = c.dx;
    *h = c.dy;
    HDC dc = GetDC(hwnd);
    HDC mem = CreateCompatibleDC(dc);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = c.dx;
    bi.bmiHeader.biHeight = -c.dy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    // The screen's pixels as they are, never mirrored for a right-to-left window.
    bool ok = BitBlt(mem, 0, 0, c.dx, c.dy, dc, 0, 0, SRCCOPY | NOMIRRORBITMAP);
    GdiFlush();
    *pixels = (unsigned*)malloc((size_t)c.dx * c.dy * 4);
    for (int i = 0; i < c.dx * c.dy; i++) (*pixels)[i] = ((unsigned*)bits)[i] & 0xFFFFFF;
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(hwnd, dc);
    return ok;
}
