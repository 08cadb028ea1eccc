#pragma once
// OLE on the main thread, started when it is first needed. The window needs it from the
// start; a silent run (-s, -x) reaches the shell's COM objects only when it registers the
// installation or starts a program, so extraction begins without paying for it, and -x
// never does. Other threads initialise COM themselves where they use it.

// Called once at start-up, on the main thread, before EnsureOle.
void SetOleThread();
// Initialises OLE the first time the main thread asks; does nothing on other threads.
void EnsureOle();
// Uninitialises OLE at the end of the run, when EnsureOle initialised it.
void StopOle();
