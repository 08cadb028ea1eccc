#pragma once
// The folder watcher shipped as a plug-in: started at log-on through the user's Run key and
// once right after installing. It ends when the event "Local\vlpdf-watch-quit" is set.
#include "base/str.h"
#include "base/vec.h"
#include "integration/reg_value.h"

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kWatcherRunValue = "vlpdf-watch";
constexpr const char* kWatcherQuitEvent = "Local\\vlpdf-watch-quit";

// "<directory of the reader>\plugins\pdfwatch\vlpdf-watch.exe".
StrView WatcherPathTemp(StrView readerExePath);
// The Run value's data: the watcher's path in double quotes.
StrView WatcherRunValueTemp(StrView watcherPath);
// The Run value that starts the watcher at log-on. Writing it (never making the Run key) and
// taking it away are the registration table's (the Watcher piece).
void BuildWatcherValues(StrView watcherPath, Vec<RegValue>* out);

#ifdef _WIN32
// Starts "\"<path>\" /on" detached, in the watcher's directory; no wait, no report.
void StartWatcher(StrView watcherPath);
#endif
