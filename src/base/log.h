#pragma once
// The installation log: every step of the program writes plain UTF-8 lines to it. The
// lines stay in memory and are mirrored, line by line, to the log file (when one is set),
// to the logger pipe and to the debugger output. Logging never fails for its caller.
#include <stdint.h>

#include <atomic>
#include <mutex>

#include "base/str.h"

constexpr int32_t kLogBufferLimit = 0xFFF80;
constexpr const char* kLogFileName = "vlpdf-install-log.txt";

// The logger pipe is served by an optional developer log viewer; without one the
// connection is retried at most every 10 seconds so that logging stays cheap.
class LogPipeSink {
  public:
    static constexpr int64_t kReconnectSeconds = 10;
    void Send(StrView text);
    void Close();

  private:
    std::mutex lock_;  // lock B
    void* pipe_ = nullptr;
    bool attempted_ = false;
    int64_t lastAttempt_ = 0;
};

class InstallLog {
  public:
    InstallLog() = default;
    InstallLog(const InstallLog&) = delete;
    InstallLog& operator=(const InstallLog&) = delete;
    ~InstallLog();

    void Append(StrView text);
    // Makes the log file at path new (whatever stood there is never written through) and
    // mirrors every later line to it. keepEarlierLines appends to the file of the run this
    // one continues. When the file cannot be made, the log goes on without it and says why.
    void SetFilePath(StrView path, bool keepEarlierLines);
    StrView FilePath() const { return filePath_; }
    // Writes the whole buffer to path as a new file; false when nothing was logged.
    bool WriteToFile(StrView path);
    // A copy of the buffer in the calling thread's temporary arena.
    StrView ContentsTemp();
    // Whether the registry layer logs what it changes, call by call with the outcome. An
    // installation and an uninstallation choose it when they start, for their whole run;
    // off, a program that only looks at the registry keeps its log to its own lines.
    void SetRegistryCallsLogged(bool on) { registryCalls_.store(on, std::memory_order_relaxed); }
    bool RegistryCallsLogged() const { return registryCalls_.load(std::memory_order_relaxed); }

  private:
    std::mutex lock_;  // lock A: buffer, file and the order of pipe writes
    Arena* arena_ = nullptr;
    Str* buf_ = nullptr;
    StrView filePath_;
    void* file_ = nullptr;
    LogPipeSink pipe_;
    std::atomic<bool> registryCalls_{false};
};

InstallLog& GetInstallLog();

void Log(StrView text);
void Logf(const char* fmt, ...) VL_PRINTF(1, 2);
void SetLogFilePath(StrView path, bool keepEarlierLines);
void SetLogRegistryCalls(bool on);
bool LogsRegistryCalls();
// "vlpdf-install-log.txt" in the user's temporary directory.
StrView GetLogFilePathTemp();
bool WriteCurrentLogToFile(StrView path);
