#pragma once
// Loading system libraries from the system directory only, never from the program's own
// folder or the current directory, so a planted DLL beside the installer is never loaded.
#include <windows.h>
#include <commctrl.h>

// Makes every later load by name, the system's own included, search the system directory
// only. Called first at start-up, before anything else is loaded.
void RestrictLibrarySearchToSystem();

// Null without loading when the system directory path is empty or 260 characters or longer.
HMODULE LoadSystemLibrary(const WCHAR* name);

// A system library that Windows does not protect as a known DLL is never imported: the
// loader would take a copy from the program's own folder (a downloads folder) before the
// program's first instruction. Its functions are looked up instead, from the copy in the
// system directory, on first use:
//   #define VL_WINHTTP(X) X(WinHttpOpen) X(WinHttpCloseHandle)
//   VL_SYSTEM_API(WinHttpApi, L"winhttp.dll", VL_WINHTTP)
//   const WinHttpApi& http = WinHttpApi::Get(); if (http.ok) http.WinHttpOpen(...);
// ok is false when the library or any listed function is missing.
#define VL_SYSTEM_API_MEMBER(name) decltype(&::name) name = nullptr;
#define VL_SYSTEM_API_RESOLVE(name)                                  \
    api.name = (decltype(api.name))(void*)GetProcAddress(lib, #name); \
    api.ok = api.ok && api.name;
#define VL_LOADED_API(Type, loadLibrary, LIST)                \
    struct Type {                                             \
        LIST(VL_SYSTEM_API_MEMBER)                            \
        bool ok = false;                                      \
        static const Type& Get() {                            \
            static const Type loaded = [] {                   \
                Type api;                                     \
                HMODULE lib = loadLibrary;                    \
                api.ok = lib != nullptr;                      \
                if (lib) {                                    \
                    LIST(VL_SYSTEM_API_RESOLVE)               \
                }                                             \
                return api;                                   \
            }();                                              \
            return loaded;                                    \
        }                                                     \
    };
#define VL_SYSTEM_API(Type, dllName, LIST) VL_LOADED_API(Type, LoadSystemLibrary(dllName), LIST)

// The common controls that the program's manifest selects (version 6). Loaded by name, which
// the activation context redirects to the side-by-side copy; any other copy is looked for in
// the system directory only. Not imported: loading them registers window classes, which
// under Wine starts the desktop process, a cost that a run showing no window need not pay.
HMODULE LoadCommonControls();

#define VL_COMCTL32_FUNCTIONS(X) X(InitCommonControlsEx) X(SetWindowSubclass) X(RemoveWindowSubclass) X(DefSubclassProc)
VL_LOADED_API(CommonControlsApi, LoadCommonControls(), VL_COMCTL32_FUNCTIONS)

// Entry points that older Windows versions lack; null when missing, and every user checks.
struct OptionalPlatformFunctions {
    HRESULT(WINAPI* setThreadDescription)(HANDLE, PCWSTR) = nullptr;
    UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;
    BOOL(WINAPI* systemParametersInfoForDpi)(UINT, UINT, PVOID, UINT, UINT) = nullptr;
    HRESULT(WINAPI* getDpiForMonitor)(HMONITOR, int, UINT*, UINT*) = nullptr;
};

// The entry points this system has: filled once by LoadOptionalPlatformFunctions, read-only
// to everything else.
extern const OptionalPlatformFunctions& gPlatform;

// Called at start-up, right after RestrictLibrarySearchToSystem.
void LoadOptionalPlatformFunctions();

using TaskDialogIndirectFunc = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
// The task dialog of the common controls; null where the system has none.
TaskDialogIndirectFunc GetTaskDialogIndirect();
