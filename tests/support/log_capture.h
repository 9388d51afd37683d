// Sends the log to a scratch file for one test, at log level 3 and display level 0, so the
// reports a test provokes land in the file and nothing is shown; puts the old path and levels
// back afterwards.
#pragma once
#include <stdio.h>

#include <string>

#include "log/logger.h"
#include "support/test_support.h"

namespace ovtest {

class LogCapture {
  public:
    LogCapture() : file_(scratch_ / L"log.txt") {
        Logger& log = Logger::Get();
        oldPath_ = log.GetPath();
        oldLog_ = log.SetLogLevel(3);
        oldDisplay_ = log.SetDisplayLevel(0);
        log.Open(file_.c_str(), true);
    }
    ~LogCapture() {
        Logger& log = Logger::Get();
        log.SetLogLevel(0);
        log.Open(oldPath_.c_str(), false);  // below level 3 this only sets the path
        log.SetLogLevel(oldLog_);
        log.SetDisplayLevel(oldDisplay_);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string Text() const { return ReadFileBytes(file_); }
    bool Has(const std::string& text) const { return Text().find(text) != std::string::npos; }
    // True when a line carries message `id` (written as "(NNNNN)").
    bool HasReport(unsigned id) const {
        char tag[16];
        snprintf(tag, sizeof(tag), "(%05u)", id);
        return Has(tag);
    }
    size_t Count(const std::string& text) const {
        std::string all = Text();
        size_t n = 0;
        for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1))
            ++n;
        return n;
    }

  private:
    ScratchDir scratch_;
    std::wstring file_;
    std::wstring oldPath_;
    int oldLog_ = 0;
    int oldDisplay_ = 0;
};

}  // namespace ovtest
