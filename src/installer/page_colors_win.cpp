#include <windows.h>

#include "installer/page_colors.h"
#include "ui/theme.h"

bool IsHighContrastOn() {
    // Wine answers SPI_GETHIGHCONTRAST with "off" whatever the user's colours: the pictures
    // and tests of the high-contrast page ask for it through this variable instead.
    WCHAR forced[4] = {};
    if (GetEnvironmentVariableW(L"VLPDF_HIGH_CONTRAST", forced, 4) == 1 && forced[0] == L'1') {
        return true;
    }
    HIGHCONTRASTW hc{};
    hc.cbSize = sizeof(hc);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(hc), &hc, 0) && (hc.dwFlags & HCF_HIGHCONTRASTON);
}

PageColors CurrentPageColors() {
    SystemColors sys;
    sys.window = GetSysColor(COLOR_WINDOW);
    sys.windowText = GetSysColor(COLOR_WINDOWTEXT);
    sys.hotLight = GetSysColor(COLOR_HOTLIGHT);
    sys.highlight = GetSysColor(COLOR_HIGHLIGHT);
    sys.highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    return ChoosePageColors(IsHighContrastOn(), sys);
}
