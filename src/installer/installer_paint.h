#pragma once
// Painting the installer window: the blue header with the animated logo, the product name,
// the version badge and a subtitle, then the status and error messages on a white page,
// all into one off-screen bitmap copied to the window in one blit.
#include <windows.h>

#include "base/str.h"
#include "i18n/translations.h"
#include "installer/header_anim.h"
#include "installer/installer_message.h"
#include "ui/gdiplus_api.h"

struct VirtCtrlHost;

constexpr const char* kProductTagline = TranslatableText("Light and fast PDF reading");

// The WM_PAINT body; notStarted is true before the installation starts; the first paint
// starts the header's entrance; host may be null.
void PaintInstallerWindow(HWND hwnd, bool notStarted, const PageMessage& message, HeaderAnimation* header,
                          VirtCtrlHost* host);
// The page alone (background, header, messages) into a device context, drawn through api
// (a table with missing fonts stands in for a machine without them).
void DrawInstallerPage(HDC dc, int width, int height, bool notStarted, const PageMessage& message,
                       HeaderAnimation* header, const gp::Api& api = gp::Get());
// "Microsoft YaHei UI" when that family exists, else "Segoe UI"; decided once.
StrView GetUiFaceName();
// The GDI+ family the header's texts are drawn in: the face, else the generic sans-serif
// family, else the face GDI itself draws for it, else the message font's; null only without
// GDI+. The caller deletes it.
gp::GpFontFamily* CreateHeaderFontFamily(const gp::Api& api, StrView face);
