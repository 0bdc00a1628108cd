// Sends the logger's lines to a private file for one test and reads them back.
#pragma once

#include <stdio.h>

#include <string>

#include "testing/temp_dir.h"

namespace testing_support {

class LogCapture {
public:
    explicit LogCapture(int level = 3);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Everything written so far, from UTF-16LE to UTF-8.
    std::string Text() const;

private:
    TempDir dir_;
    std::string path_;
    FILE* file_ = nullptr;
};

}  // namespace testing_support
