#pragma once
// What the process log gained while a test did something: the lines the code under test
// wrote, compared exactly. Pure, for the host and the Windows tests alike.
#include <stddef.h>

#include <string>

#include "base/arena.h"
#include "base/log.h"

// The log lines written between construction and Text().
class LogCapture {
  public:
    LogCapture() {
        TempArenaScope scope;
        start_ = (size_t)GetInstallLog().ContentsTemp().len;
    }
    std::string Text() const {
        TempArenaScope scope;
        StrView all = GetInstallLog().ContentsTemp();
        return std::string(all.CStr() + start_, (size_t)all.len - start_);
    }
    bool Has(const std::string& line) const { return Text().find(line) != std::string::npos; }
    int Count(const std::string& needle) const {
        std::string t = Text();
        int n = 0;
        for (size_t at = t.find(needle); at != std::string::npos; at = t.find(needle, at + 1)) n++;
        return n;
    }

  private:
    size_t start_;
};

// What the log got while fn ran; what fn leaves in the temporary arena goes with it.
template <typename Fn>
std::string LoggedDuring(Fn fn) {
    TempArenaScope scope;
    LogCapture log;
    fn();
    return log.Text();
}
