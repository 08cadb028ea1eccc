#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ui/font.h"
#include "ui/painter_gdi.h"
#include "ui/virt_ctrl.h"

namespace {
constexpr int kW = 600, kH = 60;

// The pixels of a text control painted as a window paints it: into a back buffer that is
// mirrored for right-to-left text. Top row first, left to right as the screen shows them.
std::vector<unsigned> PaintText(const char* text, bool mnemonics, bool rtl) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = kW;
    bi.bmiHeader.biHeight = -kH;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    PatBlt(mem, 0, 0, kW, kH, WHITENESS);
    SetBkMode(mem, TRANSPARENT);
    virtCtrlText t(text);
    t.font = GetDefaultGuiFont();
    t.processMnemonics = mnemonics;
    t.isRtl = rtl;
    t.SetText(t.text);
    {
        GdiPainter p(mem);
        p.SetRtl(rtl);
        t.Paint(&p, Rect{20, 10, kW - 40, kH - 20});
        p.SetRtl(false);
    }
    GdiFlush();
    std::vector<unsigned> px((unsigned*)bits, (unsigned*)bits + kW * kH);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    return px;
}

// The first and last columns where two pictures differ; -1, -1 when they are the same.
std::pair<int, int> DifferingColumns(const std::vector<unsigned>& a, const std::vector<unsigned>& b) {
    int first = -1, last = -1;
    for (int x = 0; x < kW; x++) {
        for (int y = 0; y < kH; y++) {
            if (a[(size_t)y * kW + x] == b[(size_t)y * kW + x]) continue;
            if (first < 0) first = x;
            last = x;
            break;
        }
    }
    return {first, last};
}

// The text as shown and, for comparison, with the marked letter replaced.
std::pair<std::string, std::string> ShownAndSwapped(const std::string& text, const char* replacement) {
    size_t amp = text.find('&');
    unsigned char lead = (unsigned char)text[amp + 1];
    size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    std::string shown = text.substr(0, amp) + text.substr(amp + 1);
    return {shown, text.substr(0, amp) + replacement + text.substr(amp + 1 + n)};
}
}  // namespace

// The underline of the marked letter must sit under that letter wherever the line puts it.
// The letter's place comes from the pictures themselves: the line with that letter swapped
// for another differs from the letter on. Lines start on the left left to right and on the
// right right to left: that is the letter's edge to compare with.
TEST(VirtCtrlText, MnemonicUnderlineSitsUnderItsLetterInBothDirections) {
    // "Install", "in", "the folder", "the options" and the letters swapped in.
    const std::string install = "\xD8\xAA\xD8\xAB\xD8\xA8\xD9\x8A\xD8\xAA", in = "\xD9\x81\xD9\x8A";
    const std::string folder = "\xD8\xA7\xD9\x84&\xD9\x85\xD8\xAC\xD9\x84\xD8\xAF:";
    const std::string options = "\xD8\xA7\xD9\x84&\xD8\xAE\xD9\x8A\xD8\xA7\xD8\xB1\xD8\xA7\xD8\xAA";
    const char* seen = "\xD8\xB3";
    struct Case {
        std::string text;  // with the marking ampersand
        const char* replacement;
        bool rtl;
    } cases[] = {
        {"Install VeloraPDF in &folder:", "W", false},
        {"\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xB9(&F)\xEF\xBC\x9A", "W", false},
        {install + " VeloraPDF " + in + " " + folder, seen, true},
        {options, seen, true},
        // A Latin word inside Arabic keeps its own order: its first letter is its leftmost.
        {install + " &VeloraPDF " + in, "W", true},
    };
    for (const Case& c : cases) {
        auto [shown, swapped] = ShownAndSwapped(c.text, c.replacement);
        std::vector<unsigned> marked = PaintText(c.text.c_str(), true, c.rtl);
        std::vector<unsigned> plain = PaintText(shown.c_str(), false, c.rtl);
        auto bar = DifferingColumns(marked, plain);
        auto letter = DifferingColumns(plain, PaintText(swapped.c_str(), false, c.rtl));
        ASSERT_GE(bar.first, 0) << c.text << ": no underline";
        ASSERT_GE(letter.first, 0) << c.text;
        EXPECT_NEAR(c.rtl ? bar.second : bar.first, c.rtl ? letter.second : letter.first, 2) << c.text;
        // The other end stays within what the swap changed, a letter's width away.
        EXPECT_GE(bar.second - bar.first, 2) << c.text;
        EXPECT_GE(bar.first, letter.first - 2) << c.text;
        EXPECT_LE(bar.second, letter.second + 2) << c.text;
    }
}
