#pragma once
// Running small tasks on the UI thread: a message-only window owned by the main thread
// and one registered message. Set up once at start-up, before the command line is parsed.
#include <windows.h>

namespace uitask {
// Registers "UITask_Msg_StdFunction", the class "UITask_Wnd_Class" and creates the
// message-only "UITask Dispatch Window". False when any step fails (logged).
bool Initialize();
HWND DispatchWindow();
UINT DispatchMessageId();
LRESULT CALLBACK WndProcTaskDispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
}  // namespace uitask
