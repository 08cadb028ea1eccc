#pragma once
// What the program's start does before it chooses its run mode, decided from the command
// line alone: whether the run shows the installer window, and which system libraries it
// loads when.
#include "base/flags.h"
#include "base/str.h"

// Libraries that are not known system DLLs: loading them from the system directory first
// means a later load by name finds this copy, never a planted one beside the installer, even
// where the search could not be restricted. NUL-separated, in load order.
constexpr char kPreloadLibraries[] =
    "gdiplus.dll\0msimg32.dll\0shlwapi.dll\0urlmon.dll\0version.dll\0windowscodecs.dll\0wininet.dll\0";

// The window's first paint uses GDI+ and the libraries it draws with; the rest serve work
// that comes later. Every later load by name searches the system directory only, so a run
// with a window loads the rest once the first page is on screen, where they no longer hold
// it back (about 7 ms under Wine, most of it urlmon's).
enum class Preload { None, All, ForFirstPaint, AfterFirstPaint };

// Whether that part of the preload list holds the named library.
bool PreloadsIn(Preload part, StrView name);

struct StartupPlan {
    // The installer window shows: the desktop is asked for early, the window's preparation
    // waits until the run has settled, and part of the preload until the first paint.
    bool installerWindow = false;
    Preload preloadAtStart = Preload::All;  // extracting loads none of them, nor does anything it calls
    bool windowsBeforeHelp = false;         // -h shows its summary in a message box when there is no console
};

StartupPlan PlanStartup(const Flags& flags);
