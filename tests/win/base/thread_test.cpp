#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "base/arena.h"
#include "base/system_lib.h"
#include "base/thread.h"

namespace {
struct Job {
    std::atomic<int> ran{0};
    std::wstring description;
    Arena* temp = nullptr;
};

void Work(void* arg) {
    Job* job = (Job*)arg;
    job->temp = GetTempArena();
    ArenaAlloc(job->temp, 1000);
    using GetDescFn = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    auto getDesc = (GetDescFn)(void*)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription");
    PWSTR desc = nullptr;
    if (getDesc && SUCCEEDED(getDesc(GetCurrentThread(), &desc)) && desc) {
        job->description = desc;
        LocalFree(desc);
    }
    job->ran++;
}
}  // namespace

TEST(StartThread, RunsTheCallableOnANamedThreadWithItsOwnTemporaryArena) {
    LoadOptionalPlatformFunctions();
    Job job;
    void* t = StartThread(Work, &job, "InstallerThread");
    ASSERT_NE(t, nullptr);
    JoinThread(t);
    EXPECT_EQ(job.ran.load(), 1);
    EXPECT_NE(job.temp, GetTempArena());
    if (gPlatform.setThreadDescription) {
        EXPECT_EQ(job.description, L"InstallerThread");
    }
}
