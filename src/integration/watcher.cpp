#include "integration/watcher.h"

#include "base/arena.h"
#include "base/file.h"

StrView WatcherPathTemp(StrView readerExePath) {
    return path::JoinTemp(path::GetDirTemp(readerExePath), "plugins\\pdfwatch\\vlpdf-watch.exe");
}

StrView WatcherRunValueTemp(StrView watcherPath) {
    return str::FormatTemp("\"%s\"", watcherPath.CStr());
}

void BuildWatcherValues(StrView watcherPath, Vec<RegValue>* out) {
    // The Run key is the system's.
    AddSz(*out, kRunKey, kWatcherRunValue, WatcherRunValueTemp(watcherPath)).inSharedKey = true;
}
