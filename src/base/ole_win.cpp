#include "base/ole.h"

#include <windows.h>
#include <ole2.h>

#include "base/com_win.h"

namespace {
DWORD gOleThread = 0;
bool gOleStarted = false;
HRESULT gOleResult = E_FAIL;
}  // namespace

void SetOleThread() {
    gOleThread = GetCurrentThreadId();
}

void EnsureOle() {
    if (gOleStarted || GetCurrentThreadId() != gOleThread) {
        return;
    }
    gOleStarted = true;
    gOleResult = com::OleInitialize();
}

void StopOle() {
    if (gOleStarted && SUCCEEDED(gOleResult)) {
        com::OleUninitialize();
    }
    gOleStarted = false;
}
