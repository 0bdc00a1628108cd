// What the demo server should do wrong, set on its command line or at run time
// through its control path, so tests can bring about every fault a download meets.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace demo {

// The faults that apply to one response body, taken from the plan when the
// response starts (counted faults are used up by that).
struct BodyFaults {
    std::optional<uint64_t> reset_at;     // abortive close (RST) at this file offset
    std::optional<uint64_t> truncate_at;  // orderly close at this file offset
    std::optional<uint64_t> stall_at;     // stop sending at this file offset ...
    int stall_ms = 0;                     // ... for this long (0: until the client leaves)
    uint64_t rate = 0;                    // bytes per second, 0 for unlimited
    bool chunked = false;
};

class FaultPlan {
public:
    // Applies one "name=value" setting; false with a reason when it is not understood.
    bool apply(std::string_view name, std::string_view value, std::string& error);

    // Answers a forced status for the next file request, if one is due.
    std::optional<int> take_forced_status();
    bool ignore_ranges() const;
    // Faults for a body that covers file offsets [begin, end].
    BodyFaults take_body_faults(uint64_t begin, uint64_t end);

private:
    struct Counted {
        uint64_t offset = 0;
        int remaining = 0;
    };
    bool due(Counted& c, uint64_t begin, uint64_t end);

    mutable std::mutex mutex_;
    int forced_status_ = 0;
    int forced_remaining_ = 0;
    bool ignore_ranges_ = false;
    bool chunked_ = false;
    uint64_t rate_ = 0;
    Counted reset_, truncate_, stall_;
    int stall_ms_ = 0;
};

}  // namespace demo
