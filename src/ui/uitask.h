#pragma once
// Running small tasks on the UI thread: a message-only window owned by the main thread
// and one registered message. Set up once at start-up, before the command line is parsed.
#include <windows.h>

#include <stdint.h>

#include "ui/task_func.h"

namespace uitask {
// Registers "UITask_Msg_StdFunction", the class "UITask_Wnd_Class" and creates the
// message-only "UITask Dispatch Window". False when any step fails (logged).
bool Initialize();
HWND DispatchWindow();
LRESULT CALLBACK WndProcTaskDispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// From any thread: runs fn on the main thread when its message loop next pumps. kind is a
// static name for the log, or null. Dropped silently without a dispatch window.
void Post(TaskFunc fn, const char* kind);

// The record kept for the next post, or null; for tests.
const void* SpareRecord();
}  // namespace uitask
