#pragma once
// The colours the installer window paints with: its own brand colours, or, when the user
// turned high contrast on, the system's colours, so that the page keeps the contrast the
// user chose. A pure choice, made again whenever the system's colours or settings change.
#include <stdint.h>

#include "ui/color.h"

// The system colours the choice reads (COLORREFs from GetSysColor).
struct SystemColors {
    Color window = 0xFFFFFF;         // COLOR_WINDOW
    Color windowText = 0x000000;     // COLOR_WINDOWTEXT
    Color hotLight = 0xCC6600;       // COLOR_HOTLIGHT
    Color highlight = 0xD77800;      // COLOR_HIGHLIGHT
    Color highlightText = 0xFFFFFF;  // COLOR_HIGHLIGHTTEXT
};

// ARGB values (0xAARRGGBB) for what is painted with GDI+ or blended, COLORREFs for what
// GDI and the standard controls draw.
struct PageColors {
    uint32_t pageArgb;
    uint32_t headerArgb;         // the header's background and the logo's centre dot
    uint32_t headerTextArgb;     // product name, logo petals, version text, a message in the header
    uint32_t taglineArgb;        // opaque; the fade-in applies its own alpha
    uint32_t ellipseTopLeftArgb;
    uint32_t ellipseBottomRightArgb;  // also the version badge
    uint32_t errorArgb;
    Color text;                  // labels, check boxes
    Color link;
    bool decorations;            // the header's ellipses and the badge's pill are drawn
    bool highContrast;
};

PageColors ChoosePageColors(bool highContrast, const SystemColors& sys);

// The colour a status message is drawn in: the one it was set with, or in high contrast the
// page's text colour.
uint32_t MessageArgb(const PageColors& colors, uint32_t requestedArgb);

// 0xAARRGGBB from a COLORREF, opaque.
uint32_t OpaqueArgb(Color c);

#ifdef _WIN32
// SPI_GETHIGHCONTRAST.
bool IsHighContrastOn();
// The choice for the system's current colours and setting; cheap enough for every paint.
PageColors CurrentPageColors();
#endif
