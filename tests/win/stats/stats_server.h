#pragma once
// tests/helpers/stats_server.py started from a Windows test: Wine runs the Linux program
// directly. It listens on 127.0.0.1, writes its port to its standard output and records
// every request in a file. Wine's pipes do not reach a Linux program, so both are files;
// and since Wine gives no handle to stop it by, the server ends by itself after a minute.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "reg_test.h"

namespace statstest {
using regtest::Narrow;
using regtest::Wide;

// A Linux path as Wine's drive Z: shows it.
inline std::string WinPathOfUnix(std::string p) {
    for (char& c : p) {
        if (c == '/') c = '\\';
    }
    return "Z:" + p;
}

struct Request {
    std::string method, path, userAgent;
};

// The text of "key": "..." in one JSON line (the values here need no unescaping but \").
inline std::string JsonField(const std::string& line, const std::string& key) {
    std::string tag = "\"" + key + "\": \"";
    size_t at = line.find(tag);
    if (at == std::string::npos) return "<none>";
    std::string out;
    for (size_t i = at + tag.size(); i < line.size() && line[i] != '"'; i++) {
        if (line[i] == '\\' && i + 1 < line.size()) i++;
        out += line[i];
    }
    return out;
}

inline std::string ReadText(const std::string& path) {
    std::string all;
    if (FILE* f = _wfopen(Wide(path).c_str(), L"rb")) {
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof(buf), f)) > 0;) all.append(buf, n);
        fclose(f);
    }
    return all;
}

class StatsServer {
  public:
    explicit StatsServer(bool silent = false) {
        static int serial = 0;
        std::string unixBase = std::string(VLPDF_STATS_TEST_DIR) + "/server-" +
                               std::to_string(GetCurrentProcessId()) + "-" + std::to_string(serial++);
        log_ = WinPathOfUnix(unixBase + ".jsonl");
        std::string portFile = WinPathOfUnix(unixBase + ".port");
        DeleteFileW(Wide(log_).c_str());
        SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
        HANDLE out = CreateFileW(Wide(portFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                 CREATE_ALWAYS, 0, nullptr);
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = out;
        // Wine hands a Linux program only standard input and output; its error output would
        // stay ctest's pipe and keep ctest waiting, so the shell sends it to a file.
        std::string cmd = "sh -c \"exec '" + std::string(VLPDF_PYTHON3) + "' '" + VLPDF_STATS_SERVER +
                          "' --seconds 60 " + (silent ? "--silent-server " : "") + "'" + unixBase + ".jsonl' 2>'" +
                          unixBase + ".err'\"";
        std::wstring wcmd = Wide(cmd);
        PROCESS_INFORMATION pi{};
        bool started = CreateProcessW(L"Z:\\bin\\sh", wcmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                      &si, &pi);
        EXPECT_TRUE(started) << cmd << " error " << GetLastError();
        if (pi.hProcess) CloseHandle(pi.hProcess);
        if (pi.hThread) CloseHandle(pi.hThread);
        CloseHandle(out);
        for (int waited = 0; started && port_ == 0 && waited < 15000; waited += 20) {
            std::string text = ReadText(portFile);
            if (text.find('\n') != std::string::npos) port_ = atoi(text.c_str());
            Sleep(20);
        }
        EXPECT_GT(port_, 0) << "no port from " << cmd;
    }
    StatsServer(const StatsServer&) = delete;
    StatsServer& operator=(const StatsServer&) = delete;

    std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_) + "/helper/statistics"; }

    std::vector<Request> Requests() const {
        std::vector<Request> out;
        std::string all = ReadText(log_);
        for (size_t at = 0, end; (end = all.find('\n', at)) != std::string::npos; at = end + 1) {
            std::string line = all.substr(at, end - at);
            out.push_back({JsonField(line, "method"), JsonField(line, "path"), JsonField(line, "userAgent")});
        }
        return out;
    }

    // The requests once there are at least n of them, or what came within the time-out.
    std::vector<Request> WaitForRequests(size_t n, int timeoutMs = 15000) const {
        for (int waited = 0;; waited += 20) {
            std::vector<Request> got = Requests();
            if (got.size() >= n || waited >= timeoutMs) return got;
            Sleep(20);
        }
    }

  private:
    std::string log_;
    int port_ = 0;
};
}  // namespace statstest
