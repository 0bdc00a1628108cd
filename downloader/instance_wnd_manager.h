// The hidden window of the single-instance contract: its class is the instance name,
// so a second copy finds it and posts 0x9401, which brings the main window forward.
#pragma once

#include <windows.h>

#include "base/object.h"

namespace downloader {

class InstanceWndManager : public base::LogicObject {
public:
    InstanceWndManager();
    ~InstanceWndManager() override;

    bool Create();
    void Destroy();
    HWND GetHwnd() const { return hwnd_; }

private:
    HWND hwnd_;
};

}  // namespace downloader

downloader::InstanceWndManager* GetInstanceWndManager();
