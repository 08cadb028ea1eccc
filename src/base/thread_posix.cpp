#include <pthread.h>
#include <string.h>

#include <new>

#include "base/arena.h"
#include "base/thread.h"

namespace {
struct ThreadStart {
    ThreadFunc fn;
    void* arg;
    char name[16];
};

void* ThreadMain(void* p) {
    ThreadStart* start = (ThreadStart*)p;
    if (start->name[0]) {
        pthread_setname_np(pthread_self(), start->name);
    }
    start->fn(start->arg);
    delete start;
    ReleaseThreadTempArena();
    return nullptr;
}
}  // namespace

void* StartThread(ThreadFunc fn, void* arg, const char* name) {
    ThreadStart* start = new (std::nothrow) ThreadStart{fn, arg, {}};
    pthread_t* t = new (std::nothrow) pthread_t;
    if (!start || !t) {
        delete start;
        delete t;
        return nullptr;
    }
    if (name) {
        // The host limits thread names to 15 bytes.
        strncpy(start->name, name, sizeof(start->name) - 1);
    }
    if (pthread_create(t, nullptr, ThreadMain, start) != 0) {
        delete start;
        delete t;
        return nullptr;
    }
    return t;
}

void JoinThread(void* thread) {
    pthread_t* t = (pthread_t*)thread;
    pthread_join(*t, nullptr);
    delete t;
}

void DetachThread(void* thread) {
    pthread_t* t = (pthread_t*)thread;
    pthread_detach(*t);
    delete t;
}
