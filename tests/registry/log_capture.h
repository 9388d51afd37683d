// Sends the log to a scratch file for one test, at log level 3 and display level 0, so the
// information reports of the host utilities land in it and nothing is shown.
#pragma once
#include <string>

#include "log/logger.h"
#include "support/test_support.h"

class LogCapture {
  public:
    LogCapture() : path_(dir_ / L"log.txt") {
        Logger::Get().SetLogLevel(3);
        Logger::Get().SetDisplayLevel(0);
        Logger::Get().Open(path_.c_str(), true);
    }
    std::string Text() const { return ovtest::ReadFileBytes(path_); }
    bool Has(const std::string& text) const { return Text().find(text) != std::string::npos; }

  private:
    ovtest::ScratchDir dir_;
    std::wstring path_;
};
