#include <windows.h>
#include <commctrl.h>

#include "ui/controls.h"

Progress* CreateProgress(CreateControlArgs args) {
    Progress* p = new Progress;
    args.className = PROGRESS_CLASSW;
    CreateControl(p, args);
    return p;
}
