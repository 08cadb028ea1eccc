#include "base/log.h"

#include <stdarg.h>
#include <stdlib.h>

#include <new>

#include "base/arena.h"
#include "base/clock.h"
#include "base/file.h"
#include "base/log_sinks.h"

void LogPipeSink::Send(StrView text) {
    if (text.IsEmpty()) {
        return;
    }
    std::lock_guard<std::mutex> guard(lock_);
    if (!pipe_) {
        int64_t now = PerfCounterNow();
        if (attempted_ && now - lastAttempt_ < kReconnectSeconds * PerfCounterFrequency()) {
            return;
        }
        attempted_ = true;
        lastAttempt_ = now;
        pipe_ = logsink::OpenPipe();
        if (!pipe_) {
            return;
        }
        logsink::WritePipe(pipe_, "app: vlpdf\n");
    }
    if (!logsink::WritePipe(pipe_, text)) {
        Close();
    }
}

void LogPipeSink::Close() {
    if (pipe_) {
        logsink::ClosePipe(pipe_);
        pipe_ = nullptr;
    }
}

InstallLog::~InstallLog() {
    pipe_.Close();
    if (file_) {
        logsink::CloseLogFile(file_);
    }
    if (buf_) {
        buf_->~Str();
    }
    ArenaDestroy(arena_);
    if (filePath_.s) {
        free((void*)filePath_.s);
    }
}

void InstallLog::Append(StrView text) {
    logsink::ToDebugger(text);
    std::lock_guard<std::mutex> guard(lock_);
    if (!buf_) {
        arena_ = ArenaCreate(kArenaDefaultReserve, kArenaDefaultCommit);
        void* mem = arena_ ? ArenaAlloc(arena_, sizeof(Str), true) : nullptr;
        if (mem) {
            buf_ = new (mem) Str(arena_);
            buf_->Grow(0x8000);
        }
    } else if (buf_->len > kLogBufferLimit) {
        // Earlier lines stay in the file and pipe sinks; memory stays bounded in long runs.
        buf_->Reset();
    }
    if (buf_) {
        str::Append(*buf_, text);
    }
    if (file_) {
        logsink::WriteLogFile(file_, text);
    }
    pipe_.Send(text);
}

void InstallLog::SetFilePath(StrView path, bool keepEarlierLines) {
    TempArenaScope scope;
    StrView why;
    // A temporary folder that is gone (a new machine's profile not made yet, a cleaner that
    // took it) is made again rather than leaving the run without its file.
    void* made = nullptr;
    if (!dir::CreateForFile(path)) {
        why = str::FormatTemp("couldn't create the folder of '%s'", path.CStr());
    } else {
        made = logsink::CreateLogFile(path, keepEarlierLines, &why);
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (file_) {
            logsink::CloseLogFile(file_);
        }
        file_ = made;
        if (filePath_.s) {
            free((void*)filePath_.s);
        }
        filePath_ = made ? str::Dup(nullptr, path) : StrView();
    }
    if (!made) {
        Logf("SetLogFilePath: no log file, the log stays in memory: %s\n", why.CStr());
    }
}

bool InstallLog::WriteToFile(StrView path) {
    StrView contents = ContentsTemp();
    if (contents.IsEmpty()) {
        return false;
    }
    if (!dir::CreateForFile(path)) {
        Logf("WriteCurrentLogToFile: dir::CreateForFile('%s') failed\n", path.CStr());
        return false;
    }
    StrView why;
    void* file = logsink::CreateLogFile(path, false, &why);
    bool written = file && logsink::WriteLogFile(file, contents);
    if (file) {
        logsink::CloseLogFile(file);
    }
    if (!written) {
        Logf("WriteCurrentLogToFile: file::WriteFile('%s') failed\n", path.CStr());
        if (!why.IsEmpty()) {
            Logf("  %s\n", why.CStr());
        }
    }
    return written;
}

StrView InstallLog::ContentsTemp() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!buf_ || buf_->len == 0) {
        return {};
    }
    return str::DupTemp(str::View(*buf_));
}

InstallLog& GetInstallLog() {
    // Never destroyed: threads may still log while the process exits.
    static InstallLog* log = new InstallLog();
    return *log;
}

void Log(StrView text) {
    GetInstallLog().Append(text);
}

void Logf(const char* fmt, ...) {
    TempArenaScope scope;
    va_list args;
    va_start(args, fmt);
    StrView text = str::FormatV(GetTempArena(), fmt, args);
    va_end(args);
    Log(text);
}

void SetLogFilePath(StrView path, bool keepEarlierLines) {
    GetInstallLog().SetFilePath(path, keepEarlierLines);
}

void SetLogRegistryCalls(bool on) {
    GetInstallLog().SetRegistryCallsLogged(on);
}

bool LogsRegistryCalls() {
    return GetInstallLog().RegistryCallsLogged();
}

StrView GetLogFilePathTemp() {
    StrView dir = logsink::TempDirTemp();
    if (dir.IsEmpty()) {
        return str::DupTemp(kLogFileName);
    }
    return str::FormatTemp("%s%s", dir.CStr(), kLogFileName);
}

bool WriteCurrentLogToFile(StrView path) {
    return GetInstallLog().WriteToFile(path);
}
