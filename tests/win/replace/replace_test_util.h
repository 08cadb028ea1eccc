#pragma once
// What the file-replacement tests share: the log lines a call wrote, a recorder in place of
// the pauses, and helper processes that really hold files.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/arena.h"
#include "base/clock.h"
#include "base/log.h"
#include "../../helpers/log_capture.h"
#include "test_dir.h"

// Records every pause instead of sleeping; an optional hook sees the simulated time.
class SleepRecorder {
  public:
    SleepRecorder() {
        current_ = this;
        saved_ = gClock;
        gClock.sleepMs = [](uint32_t ms) {
            current_->pauses.push_back(ms);
            current_->elapsedMs += ms;
            if (current_->onPause) current_->onPause(current_->elapsedMs);
        };
    }
    ~SleepRecorder() {
        gClock = saved_;
        current_ = nullptr;
    }
    std::vector<uint32_t> pauses;
    uint64_t elapsedMs = 0;
    void (*onPause)(uint64_t elapsedMs) = nullptr;

  private:
    static inline SleepRecorder* current_ = nullptr;
    ClockSeam saved_;
};

inline std::string TestBinDir() {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string s = self;
    return s.substr(0, s.find_last_of('\\') + 1);
}

inline std::string HelperPath(const std::string& name) {
    return TestBinDir() + name;
}

inline void CopyOrFail(const std::string& from, const std::string& to) {
    ASSERT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE)) << from << " -> " << to << " err=" << GetLastError();
}

// A file_holder process: holds the file from Start() until Release(), Kill() or the end.
class Holder {
  public:
    Holder() {
        static int counter = 0;
        name_ = "vlpdf-holder-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    }
    ~Holder() { Kill(); }

    // exe: the holder program to run (a copy of file_holder.exe, maybe under a product name).
    bool Start(const std::string& mode, const std::string& path, const std::string& exe = "",
               int holdMs = -1) {
        std::string program = exe.empty() ? HelperPath("file_holder.exe") : exe;
        std::string cmd = "\"" + program + "\" " + mode + " \"" + path + "\" " + name_;
        if (holdMs >= 0) cmd += " " + std::to_string(holdMs);
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) {
            return false;
        }
        HANDLE ready = nullptr;
        for (int i = 0; i < 200 && !ready; i++) {
            ready = OpenEventA(SYNCHRONIZE, FALSE, (name_ + "-ready").c_str());
            if (!ready) {
                if (WaitForSingleObject(pi_.hProcess, 25) == WAIT_OBJECT_0) return false;
            }
        }
        bool ok = ready && WaitForSingleObject(ready, 5000) == WAIT_OBJECT_0;
        if (ready) CloseHandle(ready);
        return ok;
    }
    void Release() {
        HANDLE release = OpenEventA(EVENT_MODIFY_STATE, FALSE, (name_ + "-release").c_str());
        if (release) {
            SetEvent(release);
            CloseHandle(release);
        }
        if (pi_.hProcess) WaitForSingleObject(pi_.hProcess, 10000);
    }
    bool Running() const { return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }
    DWORD Pid() const { return pi_.dwProcessId; }
    void Kill() {
        if (!pi_.hProcess) return;
        if (Running()) {
            TerminateProcess(pi_.hProcess, 1);
            WaitForSingleObject(pi_.hProcess, 10000);
        }
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
        pi_ = {};
    }

  private:
    std::string name_;
    PROCESS_INFORMATION pi_{};
};

inline bool FileExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}
