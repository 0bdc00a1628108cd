// The toolkit started on the test's main thread, and a message loop
// that runs until a condition holds or the time runs out.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>

#include "gui/ctrl.h"

namespace gui_test {

inline double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Once per process, as the program does: every start adds a timer window.
inline void StartToolkit() {
    static const bool started = (Gui::Ctrl::InitWin32(GetModuleHandleW(nullptr)), true);
    (void)started;
}

// True when done() held before the time-out, which only bounds a failing wait.
inline bool RunLoopUntil(const std::function<bool()>& done, int timeout_ms = 10000) {
    auto start = std::chrono::steady_clock::now();
    MSG msg;
    while (!done()) {
        double left = timeout_ms - MsSince(start);
        if (left <= 0) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left) + 1, QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

inline void RunLoopFor(int ms) {
    RunLoopUntil([] { return false; }, ms);
}

}  // namespace gui_test
