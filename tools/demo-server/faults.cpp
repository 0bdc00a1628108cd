#include "faults.h"

#include <charconv>

namespace demo {
namespace {

template <typename T>
bool parse_number(std::string_view s, T& out) {
    if (s.empty()) return false;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size();
}

// "A" or "A:B", with B defaulting to `fallback`.
template <typename T>
bool parse_pair(std::string_view s, uint64_t& first, T& second, T fallback) {
    size_t colon = s.find(':');
    second = fallback;
    if (colon != std::string_view::npos && !parse_number(s.substr(colon + 1), second)) return false;
    return parse_number(s.substr(0, colon), first);
}

bool parse_bool(std::string_view s, bool& out) {
    if (s == "1" || s == "true" || s == "on" || s.empty()) return out = true, true;
    if (s == "0" || s == "false" || s == "off") return out = false, true;
    return false;
}

}  // namespace

bool FaultPlan::apply(std::string_view name, std::string_view value, std::string& error) {
    std::lock_guard lock(mutex_);
    bool ok = false;
    if (name == "fail") {
        uint64_t status = 0;
        int count = 1;
        ok = parse_pair(value, status, count, 1) && status >= 100 && status <= 599;
        if (ok) forced_status_ = int(status), forced_remaining_ = count;
    } else if (name == "reset-at") {
        ok = parse_pair(value, reset_.offset, reset_.remaining, 1);
    } else if (name == "truncate-at") {
        ok = parse_pair(value, truncate_.offset, truncate_.remaining, 1);
    } else if (name == "stall-at") {
        ok = parse_pair(value, stall_.offset, stall_ms_, 0);
        if (ok) stall_.remaining = 1;
    } else if (name == "rate") {
        ok = parse_number(value, rate_);
    } else if (name == "ignore-ranges") {
        ok = parse_bool(value, ignore_ranges_);
    } else if (name == "chunked") {
        ok = parse_bool(value, chunked_);
    } else if (name == "clear") {
        forced_status_ = forced_remaining_ = 0;
        ignore_ranges_ = chunked_ = false;
        rate_ = 0;
        reset_ = truncate_ = stall_ = Counted{};
        stall_ms_ = 0;
        ok = true;
    } else {
        error = "unknown setting: " + std::string(name);
        return false;
    }
    if (!ok) error = "bad value for " + std::string(name) + ": " + std::string(value);
    return ok;
}

std::optional<int> FaultPlan::take_forced_status() {
    std::lock_guard lock(mutex_);
    if (forced_remaining_ <= 0) return std::nullopt;
    --forced_remaining_;
    return forced_status_;
}

bool FaultPlan::ignore_ranges() const {
    std::lock_guard lock(mutex_);
    return ignore_ranges_;
}

bool FaultPlan::due(Counted& c, uint64_t begin, uint64_t end) {
    if (c.remaining <= 0 || c.offset < begin || c.offset > end) return false;
    --c.remaining;
    return true;
}

BodyFaults FaultPlan::take_body_faults(uint64_t begin, uint64_t end) {
    std::lock_guard lock(mutex_);
    BodyFaults f;
    // Only the first fault that ends the body fires; a later one waits for its turn.
    bool reset_first =
        reset_.remaining > 0 && (truncate_.remaining <= 0 || reset_.offset <= truncate_.offset ||
                                 truncate_.offset < begin || truncate_.offset > end);
    uint64_t body_end = end;
    if (reset_first && due(reset_, begin, end)) {
        f.reset_at = body_end = reset_.offset;
    } else if (due(truncate_, begin, end)) {
        f.truncate_at = body_end = truncate_.offset;
    }
    if (due(stall_, begin, body_end)) f.stall_at = stall_.offset, f.stall_ms = stall_ms_;
    f.rate = rate_;
    f.chunked = chunked_;
    return f;
}

}  // namespace demo
