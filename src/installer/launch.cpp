#include "installer/launch.h"

StrView NonElevatedCommandLineTemp(StrView explorerPath, StrView path) {
    if (explorerPath.IsEmpty()) {
        return str::DupTemp(path);
    }
    return str::FormatTemp("\"%s\" \"%s\"", explorerPath.CStr(), path.CStr());
}
