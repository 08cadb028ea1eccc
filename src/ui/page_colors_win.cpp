#include <windows.h>

#include "ui/page_colors.h"
#include "ui/theme.h"

bool IsHighContrastOn() {
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
