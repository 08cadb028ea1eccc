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

// Entry points that older Windows versions lack; null when missing, and every user checks.
struct OptionalPlatformFunctions {
    HRESULT(WINAPI* setThreadDescription)(HANDLE, PCWSTR) = nullptr;
    UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;
    BOOL(WINAPI* systemParametersInfoForDpi)(UINT, UINT, PVOID, UINT, UINT) = nullptr;
    HRESULT(WINAPI* getDpiForMonitor)(HMONITOR, int, UINT*, UINT*) = nullptr;
};

extern OptionalPlatformFunctions gPlatform;

// Called at start-up, right after RestrictLibrarySearchToSystem.
void LoadOptionalPlatformFunctions();

using TaskDialogIndirectFunc = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
// The task dialog of the common controls the program's manifest selects; null where the
// system has none.
TaskDialogIndirectFunc GetTaskDialogIndirect();
