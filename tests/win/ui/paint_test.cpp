#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "base/clock.h"
#include "gallery_window.h"
#include "installer/header_anim.h"
#include "installer/installer_message.h"
#include "installer/installer_paint.h"
#include "ui/dpi.h"
#include "ui/gdiplus_api.h"

namespace {
struct Picture {
    int w = 0, h = 0;
    std::vector<unsigned> px;  // 0xRRGGBB

    unsigned At(int x, int y) const { return px[(size_t)y * w + x]; }
};

// A Linux path from the build as Wine shows it, on drive Z:.
std::string WinePath(const char* unixPath) {
    std::string p = std::string("Z:") + unixPath;
    for (char& c : p) c = c == '/' ? '\\' : c;
    return p;
}

// Runs the gallery program with the DPI override and reads back its screenshot.
bool Shoot(const char* dpiOverride, const char* lang, bool started, Picture* out) {
    char bmp[MAX_PATH];
    GetTempPathA(MAX_PATH, bmp);
    strcat(bmp, "vlpdf-gallery-test.bmp");
    DeleteFileA(bmp);
    std::string cmd = std::string("\"") + WinePath(VLPDF_UI_GALLERY) + "\" \"" + WinePath(VLPDF_TRANSLATIONS) + "\" " + lang +
                      (started ? " started" : "") + " shot \"" + bmp + "\"";
    SetEnvironmentVariableA("TOVARIN_DPI_OVERRIDE", dpiOverride);
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    bool ok = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableA("TOVARIN_DPI_OVERRIDE", nullptr);
    if (!ok) return false;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    FILE* f = fopen(bmp, "rb");
    if (code != 0 || !f) return false;
    BITMAPFILEHEADER fh;
    BITMAPINFOHEADER ih;
    ok = fread(&fh, sizeof(fh), 1, f) == 1 && fread(&ih, sizeof(ih), 1, f) == 1;
    out->w = ih.biWidth;
    out->h = -ih.biHeight;
    out->px.resize((size_t)out->w * out->h);
    ok = ok && fread(out->px.data(), 4, out->px.size(), f) == out->px.size();
    fclose(f);
    for (unsigned& p : out->px) p &= 0xFFFFFF;
    return ok;
}

int ScaleAt(int dpi, int v) {
    return MulDiv(v, dpi, 96);
}

// The first row at or below y0 with anything but white across the middle of the page.
int FirstInkRow(const Picture& p, int y0, int y1) {
    for (int y = y0; y < y1 && y < p.h; y++) {
        for (int x = p.w / 4; x < p.w * 3 / 4; x++) {
            if (p.At(x, y) != 0xFFFFFF) return y;
        }
    }
    return -1;
}
}  // namespace

TEST(Painting, HeaderPageAndMessagesAtThreeDpisAndOverridesThatAreIgnored) {
    struct Case {
        const char* override;
        int dpi;
    } cases[] = {{"100", 96}, {"150", 144}, {"200", 192}, {"legacy:150", 144}, {"49", 96}, {"501", 96}};
    for (const Case& c : cases) {
        Picture p;
        ASSERT_TRUE(Shoot(c.override, "en", false, &p)) << c.override;
        auto s = [&](int v) { return ScaleAt(c.dpi, v); };
        float k = c.dpi / 96.0f;
        int W = p.w, H = s(150);
        EXPECT_EQ(W, s(460)) << c.override;
        EXPECT_EQ(p.At(W / 2, 2), 0x2563EBu) << c.override << " header";
        EXPECT_EQ(p.At((int)(10 * k), (int)(10 * k)), 0x3B7BF2u) << c.override << " top-left ellipse";
        EXPECT_EQ(p.At(W - (int)(20 * k), H - (int)(10 * k)), 0x1D4ED8u) << c.override << " bottom-right ellipse";
        EXPECT_EQ(p.At(W - (int)(16 * k), (int)(20 * k)), 0x1D4ED8u) << c.override << " badge";
        EXPECT_EQ(p.At(W - 1, H), 0xFFFFFFu) << c.override << " page below the header";
        EXPECT_EQ(p.At(W / 2, H + 2), 0xFFFFFFu) << c.override;
    }
    // After the start the message stands 176 scaled pixels down, the error text below it.
    for (int dpi : {96, 144, 192}) {
        Picture p;
        ASSERT_TRUE(Shoot(std::to_string(dpi * 100 / 96).c_str(), "en", true, &p));
        int first = FirstInkRow(p, ScaleAt(dpi, 150) + 1, p.h);
        EXPECT_GE(first, ScaleAt(dpi, 176)) << dpi;
        EXPECT_LE(first, ScaleAt(dpi, 176) + ScaleAt(dpi, 8)) << dpi;
        int gap = -1;  // a white band between message and error text
        for (int y = first; y < first + ScaleAt(dpi, 40) && gap < 0; y++) {
            if (FirstInkRow(p, y, y + 1) < 0) gap = y;
        }
        EXPECT_GT(gap, first) << dpi;
        EXPECT_GT(FirstInkRow(p, gap, p.h), gap) << dpi << " error text";
    }
}

namespace {
uint64_t gNow = 0;
PageMessage gPage;
// The pages' header, set to the moment a test paints.
HeaderAnimation gHeader;
uint64_t Now() {
    return gNow;
}

// The page painted into a memory bitmap at a moment of the animation.
Picture PaintAt(int64_t ms, const gp::Api& api = gp::Get()) {
    Picture p;
    p.w = Scale(460);
    p.h = Scale(290);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), p.w, -p.h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    gNow = ms;
    DrawInstallerPage(mem, p.w, p.h, true, gPage, &gHeader, api);
    GdiFlush();
    p.px.assign((unsigned*)bits, (unsigned*)bits + (size_t)p.w * p.h);
    for (unsigned& v : p.px) v &= 0xFFFFFF;
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return p;
}

// Pixels of the name's row right of the logo that are brighter than the header.
int NamePixels(const Picture& p, unsigned* brightest) {
    int n = 0;
    *brightest = 0;
    int y0 = Scale(75) - Scale(12) - Scale(20), y1 = Scale(75) - Scale(12) + Scale(20);
    for (int y = y0; y < y1; y++) {
        for (int x = p.w / 2; x < p.w - Scale(30); x++) {
            unsigned v = p.At(x, y);
            if ((v & 0xFF0000) > 0x600000) {
                n++;
                if ((v & 0xFF0000) > (*brightest & 0xFF0000)) *brightest = v;
            }
        }
    }
    return n;
}
}  // namespace

TEST(Painting, NameFadesInAndLogoTurnsOverEightHundredMilliseconds) {
    ClockSeam saved = gClock;
    gClock.tickMs = Now;
    gHeader = HeaderAnimation{};
    gHeader.started = gHeader.animating = true;
    gHeader.startMs = 0;
    gPage.SetWelcome("Welcome");
    gPage.Set("Welcome", kMessageTextArgb);

    Picture p0 = PaintAt(0), p400 = PaintAt(400), p800 = PaintAt(800);
    unsigned b0, b400, b800;
    EXPECT_EQ(NamePixels(p0, &b0), 0);
    EXPECT_GT(NamePixels(p400, &b400), 20);
    EXPECT_GT(NamePixels(p800, &b800), 20);
    EXPECT_EQ(b800, 0xFFFFFFu);  // opaque white at the end
    EXPECT_LT(b400 & 0xFF0000, 0xFF0000u);  // still see-through half way (alpha 223)

    // The logo: turned by 180 degrees at the start, at rest at the end, in between at 400.
    int logoX = -1;
    for (int x = 0; x < p800.w && logoX < 0; x++) {
        if (p800.At(x, Scale(63)) == 0xFFFFFF) logoX = x;
    }
    ASSERT_GT(logoX, 0);
    int diff0 = 0, diff400 = 0;
    for (int y = Scale(37); y < Scale(89); y++) {
        for (int x = logoX - Scale(10); x < logoX + Scale(52); x++) {
            diff0 += p0.At(x, y) != p800.At(x, y);
            diff400 += p400.At(x, y) != p800.At(x, y);
        }
    }
    EXPECT_GT(diff0, diff400);
    EXPECT_GT(diff400, 0);

    gHeader.animating = false;
    Picture still = PaintAt(0);
    EXPECT_EQ(still.px, p800.px);
    gClock = saved;
}

// High contrast paints the header in the highlight pair without its decorations and the page
// in the window pair.
TEST(Painting, HighContrastUsesTheSystemPairs) {
    gHeader = HeaderAnimation{};
    SetEnvironmentVariableA("VLPDF_HIGH_CONTRAST", "1");
    Picture p = PaintAt(0);
    SetEnvironmentVariableA("VLPDF_HIGH_CONTRAST", nullptr);
    auto rgb = [](COLORREF c) { return (unsigned)(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c)); };
    unsigned header = rgb(GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(p.At(p.w / 2, 2), header);
    EXPECT_EQ(p.At(Scale(10), Scale(10)), header) << "no ellipse";
    EXPECT_EQ(p.At(p.w - Scale(16), Scale(20)), header) << "no badge";
    EXPECT_EQ(p.At(p.w / 2, Scale(150) + 2), rgb(GetSysColor(COLOR_WINDOW)));
    int text = 0;
    for (int y = 0; y < Scale(150); y++) {
        for (int x = 0; x < p.w; x++) text += p.At(x, y) == rgb(GetSysColor(COLOR_HIGHLIGHTTEXT));
    }
    EXPECT_GT(text, 100) << "the name and logo in the highlight text colour";
}

namespace {
// GDI+ as a plain Wine machine has it: the UI faces unknown, and the generic sans-serif
// family answered with success and no family; or, for comparison, no family at all.
decltype(gp::Api::GdipCreateFontFamilyFromName) gRealFamilyFromName;
bool gNoFamilyAtAll = false;
gp::GpStatus WINGDIPAPI WithoutUiFaces(const WCHAR* name, gp::GpFontCollection* fonts, gp::GpFontFamily** family) {
    if (gNoFamilyAtAll || wcscmp(name, L"Segoe UI") == 0 || wcscmp(name, L"Microsoft YaHei UI") == 0) {
        *family = nullptr;
        return gp::FontFamilyNotFound;
    }
    return gRealFamilyFromName(name, fonts, family);
}
gp::GpStatus WINGDIPAPI NoGenericFamily(gp::GpFontFamily** family) {
    *family = nullptr;
    return gp::Ok;
}

// White pixels across the row of the logo and the name.
int NameRowInk(const Picture& p) {
    int n = 0;
    for (int y = Scale(40); y < Scale(90); y++) {
        for (int x = 0; x < p.w; x++) n += p.At(x, y) == 0xFFFFFF;
    }
    return n;
}
}  // namespace

TEST(Painting, NameDrawnWhenGdiPlusKnowsNeitherTheUiFaceNorAGenericOne) {
    gp::Api plain = gp::Get();
    gRealFamilyFromName = plain.GdipCreateFontFamilyFromName;
    plain.GdipCreateFontFamilyFromName = WithoutUiFaces;
    plain.GdipGetGenericFontFamilySansSerif = NoGenericFamily;
    gHeader = HeaderAnimation{};
    gHeader.started = true;  // at rest: the name opaque
    int withName = NameRowInk(PaintAt(0, plain));
    gNoFamilyAtAll = true;
    int logoAlone = NameRowInk(PaintAt(0, plain));
    gNoFamilyAtAll = false;
    // The name's nine letters at 40 pixels take more than the logo's three petals.
    EXPECT_GT(withName, 2 * logoAlone) << "the logo alone: " << logoAlone;
}
