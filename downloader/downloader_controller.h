// The program's controller: its start opens the day's log when log.ini enables it and
// hands the command line to the client manager.
#pragma once

#include <stdio.h>

#include <string>

#include "base/controller.h"

namespace downloader {

class DownloaderController : public base::Controller {
public:
    DownloaderController() = default;
    ~DownloaderController() override;

    bool Start(const std::wstring& command_line) override;

private:
    void OpenLog();

    FILE* log_file_ = nullptr;
};

}  // namespace downloader
