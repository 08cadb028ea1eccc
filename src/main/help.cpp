#include "main/help.h"

#include "base/arena.h"
#include "base/flags.h"
#include "base/product.h"

namespace {
// The option listed at this place of the summary, or -1 when none is.
int ListedAt(int place) {
    for (int opt = 0; opt < kOptionCount; opt++) {
        if (HelpOfOption(opt).place == place) {
            return opt;
        }
    }
    return -1;
}
}  // namespace

StrView FormatHelpTemp() {
    Str out(GetTempArena());
    str::Append(out, str::FormatTemp("%s installer options:\n", kProductName));
    const char* separator = "";
    for (int place = 1; place <= kOptionCount; place++) {
        int opt = ListedAt(place);
        const char* synopsis = opt >= 0 ? HelpOfOption(opt).synopsis : nullptr;
        if (!synopsis) {
            continue;
        }
        str::Append(out, str::FormatTemp("%s[-%s%s%s]", separator, OptionName(opt).CStr(), *synopsis ? " " : "",
                                         synopsis));
        separator = " ";
    }
    str::Append(out, "\n\n");
    for (int place = 1; place <= kOptionCount; place++) {
        int opt = ListedAt(place);
        if (opt < 0) {
            continue;
        }
        str::Append(out, str::FormatTemp("-%s\n    %s\n", OptionName(opt).CStr(), HelpOfOption(opt).text));
    }
    return str::View(out);
}
