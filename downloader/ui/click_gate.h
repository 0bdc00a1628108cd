// The buttons' guard against quick repeated clicks: a click counts only when more
// than the interval has passed since the last counted one (GetTickCount
// milliseconds, compared unsigned so the counter's wrap changes nothing).
#pragma once

#include <windows.h>

namespace downloader {

class ClickGate {
public:
    bool Pass(DWORD now, DWORD interval_ms) {
        if (counted_ && now - last_ <= interval_ms) return false;
        counted_ = true;
        last_ = now;
        return true;
    }

private:
    bool counted_ = false;
    DWORD last_ = 0;
};

}  // namespace downloader
