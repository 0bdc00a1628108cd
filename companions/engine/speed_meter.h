// Bytes per second over a sliding window of a few seconds, fed by the receiving
// thread and read by any thread without waiting on I/O.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>

namespace dravon {

class SpeedMeter {
public:
    using Clock = std::chrono::steady_clock;

    void add(uint64_t bytes, Clock::time_point now = Clock::now());
    int32_t rate(Clock::time_point now = Clock::now()) const;
    void reset();

private:
    static constexpr int kBuckets = 12;
    static constexpr std::chrono::milliseconds kBucketSpan{250};  // 3 s window

    int64_t bucket_of(Clock::time_point t) const;
    void advance(int64_t bucket);

    mutable std::mutex mutex_;
    std::array<uint64_t, kBuckets> bytes_{};
    int64_t newest_ = -1;  // bucket number of bytes_[newest_ % kBuckets]
    int64_t first_ = -1;   // bucket of the first sample since reset
};

}  // namespace dravon
