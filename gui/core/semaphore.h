// A counting semaphore: starts at 0, counts up to 2147483647.
#pragma once

#include <windows.h>

namespace Gui {

class Semaphore {
public:
    Semaphore();
    ~Semaphore();
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    void Release();
    void Wait();
    // True when the count was taken within the time-out.
    bool Wait(int timeout_ms);

private:
    HANDLE handle_;
};

}  // namespace Gui
