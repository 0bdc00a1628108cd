#include "support/handle_probe.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/scoped_handle.h"

namespace testing_support {

uintptr_t HighestOfManyHandles() {
    // Far more than a test ever holds, so every free entry is taken and the rest
    // is new: the answer depends on how many stay open, not on their order.
    std::vector<base::ScopedHandle> events;
    uintptr_t highest = 0;
    for (int i = 0; i < 1000; ++i) {
        events.emplace_back(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        EXPECT_TRUE(events.back().IsValid());
        highest = std::max(highest, reinterpret_cast<uintptr_t>(events.back().Get()));
    }
    return highest;
}

}  // namespace testing_support
