#pragma once
// What the window's page shows besides its controls: the welcome text, the status message
// with its colour, and the error text. The window's record holds one (a gallery of the page
// holds its own); written and read on the UI thread.
#include <stdint.h>

#include "base/str.h"

constexpr uint32_t kErrorTextArgb = 0xFFC44032;
// The welcome, progress and finish messages.
constexpr uint32_t kMessageTextArgb = 0xFF1D4ED8;

class PageMessage {
  public:
    void Set(StrView text, uint32_t argb);
    StrView Text() const { return str::View(text_); }
    uint32_t Color() const { return argb_; }  // 0xFF000000 until a message is set

    void SetWelcome(StrView text);
    StrView Welcome() const { return str::View(welcome_); }

    void SetError(StrView text);
    StrView Error() const { return str::View(error_); }

    // The header's subtitle: the status message while the installation has not started,
    // unless it is empty or the welcome text (the tagline shows then); else nothing.
    StrView HeaderSubtitle(bool notStarted) const;

  private:
    Str text_;
    uint32_t argb_ = 0xFF000000;
    Str welcome_;
    Str error_;
};
