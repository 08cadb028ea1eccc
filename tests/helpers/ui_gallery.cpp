// Shows the toolkit's gallery window for people and pictures.
//   ui_gallery <translations.txt> <lang> [started] [shot <file.bmp>]
// lang is a language code ("en", "cn", "ar", ...); right-to-left languages get a mirrored
// window. The DPI comes from TOVARIN_DPI_OVERRIDE. With "shot" the client area, as the
// screen shows it, is written to a 32-bit BMP once the header's animation is over, and the
// program exits; without it the window stays until closed.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "base/arena.h"
#include "base/file.h"
#include "gallery_window.h"
#include "i18n/lang.h"
#include "i18n/translations.h"
#include "installer/header_anim.h"

static const char* gTranslationsPath;

static bool LoadTranslationsFromPath(Str* out) {
    bool ok = false;
    StrView data = file::ReadFile(gTranslationsPath, GetTempArena(), &ok);
    return ok && str::Append(*out, data);
}

static bool WriteBmp(const char* path, int w, int h, const unsigned* px) {
    FILE* f = fopen(path, "wb");
    if (!f) return false;
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof(ih);
    ih.biWidth = w;
    ih.biHeight = -h;
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + (DWORD)(w * h * 4);
    bool ok = fwrite(&fh, sizeof(fh), 1, f) == 1 && fwrite(&ih, sizeof(ih), 1, f) == 1 &&
              fwrite(px, 4, (size_t)w * h, f) == (size_t)w * h;
    return fclose(f) == 0 && ok;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: ui_gallery <translations.txt> <lang> [started] [shot <file.bmp>]\n");
        return 2;
    }
    // A Linux path from the build; Wine shows the Linux root as drive Z:.
    gTranslationsPath = argv[1][0] == '/' ? str::FormatTemp("Z:%s", argv[1]).s : argv[1];
    bool started = false;
    const char* shot = nullptr;
    for (int i = 3; i < argc; i++) {
        if (strcmp(argv[i], "started") == 0) started = true;
        if (strcmp(argv[i], "shot") == 0 && i + 1 < argc) shot = argv[++i];
    }
    gLoadTranslationsFile = LoadTranslationsFromPath;
    SetCurrentLangByCode(argv[2]);
    if (!StartUiLikeTheInstaller()) {
        return 1;
    }

    Gallery* g = CreateGallery(IsCurrentLangRtl(), started);
    if (!g) {
        fprintf(stderr, "the gallery window could not be created\n");
        return 1;
    }
    if (shot) {
        PumpMessages((DWORD)kHeaderAnimationMs + 200);
        g->header.animating = false;
        InvalidateRect(g->hwnd, nullptr, FALSE);
        UpdateWindow(g->hwnd);
        PumpMessages(300);
        int w = 0, h = 0;
        unsigned* px = nullptr;
        bool ok = CaptureClient(g->hwnd, &w, &h, &px) && WriteBmp(shot, w, h, px);
        DestroyGallery(g);
        return ok ? 0 : 1;
    }
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return 0;
}
