// Small helpers shared by the file-operation tests.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "log/logger.h"
#include "support/test_support.h"

namespace filestest {

// Writes `content` to `path` and then sets `attributes` (0 = leave them).
inline void MakeFile(const std::wstring& path, const std::string& content, DWORD attributes = 0) {
    ASSERT_TRUE(ovtest::WriteFileBytes(path, content)) << ovtest::Narrow(path);
    if (attributes != 0) {
        ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes)) << ovtest::Narrow(path);
    }
}

inline void MakeDir(const std::wstring& path) {
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << ovtest::Narrow(path);
}

// Sends the log to a file of the scratch folder, so a test can look for the reports it expects.
class LogCapture {
  public:
    explicit LogCapture(const ovtest::ScratchDir& dir) : path_(dir / L"log.txt") {
        Logger::Get().SetLogLevel(3);
        Logger::Get().SetDisplayLevel(0);
        Logger::Get().Open(path_.c_str(), true);
    }
    // True when a line carries message `id` (written as "(NNNNN)").
    bool HasReport(unsigned id) const {
        char tag[16];
        wsprintfA(tag, "(%05u)", id);
        return ovtest::ReadFileBytes(path_).find(tag) != std::string::npos;
    }

  private:
    std::wstring path_;
};

}  // namespace filestest
