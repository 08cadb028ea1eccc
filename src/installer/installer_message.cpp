#include "installer/installer_message.h"

namespace {
void Replace(Str& dst, StrView text) {
    dst.Reset();
    str::Append(dst, text);
}
}  // namespace

void PageMessage::Set(StrView text, uint32_t argb) {
    Replace(text_, text);
    argb_ = argb;
}

void PageMessage::SetWelcome(StrView text) {
    Replace(welcome_, text);
}

void PageMessage::SetError(StrView text) {
    Replace(error_, text);
}

StrView PageMessage::HeaderSubtitle(bool notStarted) const {
    StrView msg = Text();
    if (notStarted && !msg.IsEmpty() && !str::Eq(msg, Welcome())) {
        return msg;
    }
    return StrView();
}
