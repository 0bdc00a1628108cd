// Polls a condition that another thread or process makes true, for tests that cannot
// be told when it happens, every `interval_ms`. False when it is still not true after
// the time-out.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testing_support {

inline bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 3000,
                      int interval_ms = 1) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(interval_ms));
    }
    return true;
}

}  // namespace testing_support
