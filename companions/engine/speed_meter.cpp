#include "speed_meter.h"

#include <algorithm>

namespace dravon {

int64_t SpeedMeter::bucket_of(Clock::time_point t) const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count() /
           kBucketSpan.count();
}

void SpeedMeter::advance(int64_t bucket) {
    if (newest_ < 0 || bucket - newest_ >= kBuckets) {
        bytes_.fill(0);
    } else {
        for (int64_t b = newest_ + 1; b <= bucket; ++b) bytes_[size_t(b % kBuckets)] = 0;
    }
    newest_ = std::max(newest_, bucket);
}

void SpeedMeter::add(uint64_t bytes, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    int64_t b = bucket_of(now);
    if (first_ < 0) first_ = b;
    if (b > newest_) advance(b);
    if (newest_ - b < kBuckets) bytes_[size_t(b % kBuckets)] += bytes;
}

int32_t SpeedMeter::rate(Clock::time_point now) const {
    std::lock_guard lock(mutex_);
    if (first_ < 0) return 0;
    int64_t now_b = bucket_of(now);
    uint64_t sum = 0;
    for (int64_t b = now_b - kBuckets + 1; b <= now_b; ++b)
        if (b >= 0 && b <= newest_ && newest_ - b < kBuckets) sum += bytes_[size_t(b % kBuckets)];
    // A young download is measured over the time it has run, not the whole window.
    int64_t span = std::clamp<int64_t>(now_b - first_ + 1, 1, kBuckets);
    double seconds = double(span * kBucketSpan.count()) / 1000.0;
    double r = double(sum) / seconds;
    return r > double(INT32_MAX) ? INT32_MAX : int32_t(r);
}

void SpeedMeter::reset() {
    std::lock_guard lock(mutex_);
    bytes_.fill(0);
    newest_ = first_ = -1;
}

}  // namespace dravon
