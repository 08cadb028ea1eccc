#include "ui/gdiplus_api.h"

#include "base/log.h"
#include "base/system_lib.h"

namespace gp {
namespace {
ULONG_PTR gToken = 0;

// The loaded library itself, or null.
HMODULE Library() {
    HMODULE lib = GetModuleHandleW(L"gdiplus.dll");
    return lib ? lib : LoadSystemLibrary(L"gdiplus.dll");
}
}  // namespace

bool Startup() {
    struct StartupInput {
        UINT32 version = 1;
        void* debugCallback = nullptr;
        BOOL suppressBackgroundThread = FALSE;
        BOOL suppressExternalCodecs = FALSE;
    };
    using StartupFn = int(WINAPI*)(ULONG_PTR*, const StartupInput*, void*);
    HMODULE lib = Library();
    StartupFn startup = lib ? (StartupFn)(void*)GetProcAddress(lib, "GdiplusStartup") : nullptr;
    StartupInput input;
    if (!startup || startup(&gToken, &input, nullptr) != 0) {
        gToken = 0;
        return false;
    }
    return true;
}

void Shutdown() {
    using ShutdownFn = void(WINAPI*)(ULONG_PTR);
    HMODULE lib = GetModuleHandleW(L"gdiplus.dll");
    ShutdownFn shutdown = lib ? (ShutdownFn)(void*)GetProcAddress(lib, "GdiplusShutdown") : nullptr;
    if (gToken && shutdown) {
        shutdown(gToken);
        gToken = 0;
    }
}

const Api& Get() {
    static const Api api = [] {
        Api a;
        HMODULE lib = Library();
        if (!lib) {
            Log("gp::Get: gdiplus.dll not loaded\n");
            return a;
        }
        a.ok = true;
#define VL_GDIPLUS_RESOLVE(name)                                    \
    a.name = (decltype(a.name))(void*)GetProcAddress(lib, #name); \
    a.ok = a.ok && a.name;
        VL_GDIPLUS_FUNCTIONS(VL_GDIPLUS_RESOLVE)
#undef VL_GDIPLUS_RESOLVE
        if (!a.ok) {
            Log("gp::Get: a GDI+ function is missing\n");
        }
        return a;
    }();
    return api;
}
}  // namespace gp
