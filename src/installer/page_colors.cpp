#include "installer/page_colors.h"

uint32_t OpaqueArgb(Color c) {
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

PageColors ChoosePageColors(bool highContrast, const SystemColors& sys) {
    PageColors p;
    p.highContrast = highContrast;
    p.link = sys.hotLight;
    if (!highContrast) {
        p.pageArgb = 0xFFFFFFFF;
        p.headerArgb = 0xFF2563EB;
        p.headerTextArgb = 0xFFFFFFFF;
        p.taglineArgb = 0xFFCFE0FF;
        p.ellipseTopLeftArgb = 0xFF3B7BF2;
        p.ellipseBottomRightArgb = 0xFF1D4ED8;
        p.errorArgb = 0xFFC44032;
        p.text = 0x000000;
        p.decorations = true;
        return p;
    }
    // Only pairs the system offers as pairs: window text on window, highlight text on
    // highlight. Shades of them would not keep the contrast the user asked for.
    p.pageArgb = OpaqueArgb(sys.window);
    p.headerArgb = OpaqueArgb(sys.highlight);
    p.headerTextArgb = OpaqueArgb(sys.highlightText);
    p.taglineArgb = p.headerTextArgb;
    p.ellipseTopLeftArgb = p.headerArgb;
    p.ellipseBottomRightArgb = p.headerArgb;
    p.errorArgb = OpaqueArgb(sys.windowText);
    p.text = sys.windowText;
    p.decorations = false;
    return p;
}

uint32_t MessageArgb(const PageColors& colors, uint32_t requestedArgb) {
    return colors.highContrast ? OpaqueArgb(colors.text) : requestedArgb;
}
