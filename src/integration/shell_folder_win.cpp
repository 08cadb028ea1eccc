#include <windows.h>
#include <shlobj.h>

#include "base/arena.h"
#include "base/wide_win.h"
#include "integration/shell_folder.h"

StrView GetSpecialFolderTemp(int csidl) {
    WCHAR buf[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf))) {
        return {};
    }
    return U(buf);
}
