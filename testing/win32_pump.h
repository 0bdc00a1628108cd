// A thread's message loop for tests: it runs until a condition holds or the time runs out.
#pragma once

#include <windows.h>

#include <functional>

namespace testing_support {

// True when done() held before the time-out, which only bounds a failing wait.
inline bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 10000) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(timeout_ms);
    for (MSG m;;) {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        if (done()) return true;
        if (static_cast<int>(end - GetTickCount()) <= 0) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

}  // namespace testing_support
