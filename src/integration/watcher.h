#pragma once
// The folder watcher shipped as a plug-in: started at log-on through the user's Run key and
// once right after installing. It ends when the event "Local\vlpdf-watch-quit" is set.
#include "base/str.h"

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kWatcherRunValue = "vlpdf-watch";
constexpr const char* kWatcherQuitEvent = "Local\\vlpdf-watch-quit";

// "<directory of the reader>\plugins\pdfwatch\vlpdf-watch.exe".
StrView WatcherPathTemp(StrView readerExePath);
// The Run value's data: the watcher's path in double quotes.
StrView WatcherRunValueTemp(StrView watcherPath);

#ifdef _WIN32
// Sets the Run value to the quoted path; the Run key is never created.
void SetWatcherAutostart(StrView watcherPath);
// Deletes the Run value when it starts this watcher (another installation's stays); the
// table's WatcherRemoval, carried out by its executor.
void RemoveWatcherAutostart(StrView watcherPath);
// Starts "\"<path>\" /on" detached, in the watcher's directory; no wait, no report.
void StartWatcher(StrView watcherPath);
#endif
