// Small helpers shared by the file-operation tests.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "log/logger.h"
#include "support/log_capture.h"
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

using ovtest::LogCapture;

}  // namespace filestest
