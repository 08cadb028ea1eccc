#pragma once
// Finding and stopping what holds the product's files: the Windows Search service (which
// loads the search filter), processes that have a product file loaded, the watcher plug-in.
#include <stdint.h>

#include "base/str.h"

void StopWindowsSearchService();
// manager is the service manager's handle.
void StopServiceAndDependents(void* manager, StrView name, int depth);
bool WaitServiceStopped(void* service, StrView name);

struct ServiceName {
    StrView name;
    StrView displayName;
};
// The active dependents of a service (names in the temporary arena); false when they
// cannot be listed, with the system error left as the last error. A test seam: Wine never
// reports a dependent, so tests put their own list here to see the order and the depth limit.
using DependentServicesFunc = bool (*)(void* service, Vec<ServiceName>* out);
extern DependentServicesFunc gDependentServicesFunc;
bool SystemDependentServices(void* service, Vec<ServiceName>* out);
void StartWindowsSearchService();

// "• %s (pid %u)" per process that the Restart Manager names as holding the file, lines
// joined with \n; empty when there is none or the query failed.
StrView ProcessesHoldingFileTemp(StrView path);

// Where ProcessesHoldingFileTemp gets its list; a test seam. Wine's Restart Manager never
// names a holder, so tests that must see a list put their own query (over module snapshots) here.
using HolderListFunc = StrView (*)(StrView path);
extern HolderListFunc gHolderListFunc;
StrView RestartManagerHoldersTemp(StrView path);

// None of these ever terminates the installer's own process: it may have a product file
// loaded itself (the running program can be the very vlpdf.exe being replaced). Nor the
// spared process: one that waits for this one's result while it runs a product file itself
// (an all-users uninstallation's parent waiting for its elevated copy). 0 spares none.
bool KillProcWithIdAndModule(uint32_t pid, StrView modulePath, uint32_t spared = 0);
// Ends the processes that have the file loaded, and those that run it from its folder even
// when their module list cannot be read (a program still starting). The number of processes
// terminated, or -1 when the process list cannot be taken.
int KillProcessesWithModule(StrView path, uint32_t spared = 0);
bool ProcessUsesModule(uint32_t pid, StrView pathA, StrView pathB, uint32_t spared = 0);
bool KillProcWithId(uint32_t pid, uint32_t spared = 0);
struct ProcessRef {
    StrView name;  // the executable's file name, temporary arena
    uint32_t pid = 0;
};
// The processes that have a file of the first pairCount product module pairs under dir
// loaded (pairs in their fixed order: the rendering library, the shell extensions, the
// reader, the SDK host), in snapshot order; false when the process list cannot be taken.
bool ProcessesUsingDir(StrView dir, int pairCount, Vec<ProcessRef>* out, uint32_t spared = 0);
// True when every termination it attempted succeeded.
// With ended set, the number of processes it ended is added there.
bool KillProcessesUsingInstallationDir(StrView dir, int* ended = nullptr, uint32_t spared = 0);
// Asks the watcher plug-in to quit, then terminates it from under the directory, whatever
// state it is in (one still starting has no quit event to see yet). True when a watcher was
// asked to quit or ended.
bool StopWatcher(StrView dir);
