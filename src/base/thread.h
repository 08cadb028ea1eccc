#pragma once
// Named worker threads. A thread started here frees its temporary arena when it ends.

using ThreadFunc = void (*)(void* arg);

// Returns the thread handle, or null when the thread cannot be created. When a name is
// given and the platform supports thread descriptions, the thread is described by it.
void* StartThread(ThreadFunc fn, void* arg, const char* name);
// Waits for the thread to end and releases its handle.
void JoinThread(void* thread);
// Releases the handle without waiting: the thread runs on alone and ends by itself, or
// with the process.
void DetachThread(void* thread);
