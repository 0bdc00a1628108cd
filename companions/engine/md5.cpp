#include "md5.h"

#include "base/md5_block.h"

#include <algorithm>
#include <cstring>

namespace dravon {
namespace {

constexpr char kHex[] = "0123456789abcdef";

}  // namespace

Md5::Md5() : h_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void Md5::update(const void* data, size_t size) {
    auto* p = static_cast<const uint8_t*>(data);
    size_t used = length_ % 64;
    length_ += size;
    if (used) {
        size_t take = std::min(size, 64 - used);
        std::memcpy(pending_.data() + used, p, take);
        p += take;
        size -= take;
        if (used + take < 64) return;
        base::Md5Transform(h_.data(), pending_.data());
    }
    base::Md5TransformBlocks(h_.data(), p, size / 64);
    std::memcpy(pending_.data(), p + size / 64 * 64, size % 64);
}

std::string Md5::hex_digest() const {
    Md5 copy = *this;
    uint64_t bits = length_ * 8;
    uint8_t pad[72] = {0x80};
    size_t used = length_ % 64;
    size_t pad_len = used < 56 ? 56 - used : 120 - used;
    for (int i = 0; i < 8; ++i) pad[pad_len + i] = uint8_t(bits >> (8 * i));
    copy.update(pad, pad_len + 8);
    std::string out;
    for (uint32_t word : copy.h_) {
        for (int i = 0; i < 4; ++i) {
            uint8_t byte = uint8_t(word >> (8 * i));
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

// "<length>:<a>.<b>.<c>.<d>:<pending bytes in hex>"
std::string Md5::save_state() const {
    std::string out = std::to_string(length_) + ':';
    for (size_t i = 0; i < h_.size(); ++i) {
        if (i) out += '.';
        out += std::to_string(h_[i]);
    }
    out += ':';
    for (size_t i = 0; i < length_ % 64; ++i) {
        out += kHex[pending_[i] >> 4];
        out += kHex[pending_[i] & 15];
    }
    return out;
}

namespace {

bool parse_u64(std::string_view s, uint64_t& out) {
    if (s.empty() || s.size() > 20) return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        uint64_t next = v * 10 + uint64_t(c - '0');
        if (next / 10 != v) return false;
        v = next;
    }
    out = v;
    return true;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::optional<Md5> Md5::restore_state(std::string_view text) {
    size_t c1 = text.find(':');
    size_t c2 = c1 == std::string_view::npos ? c1 : text.find(':', c1 + 1);
    if (c2 == std::string_view::npos) return std::nullopt;
    Md5 md5;
    if (!parse_u64(text.substr(0, c1), md5.length_)) return std::nullopt;
    std::string_view words = text.substr(c1 + 1, c2 - c1 - 1);
    for (size_t i = 0; i < 4; ++i) {
        size_t dot = words.find('.');
        if ((i < 3) != (dot != std::string_view::npos)) return std::nullopt;
        uint64_t v = 0;
        if (!parse_u64(words.substr(0, dot), v) || v > UINT32_MAX) return std::nullopt;
        md5.h_[i] = uint32_t(v);
        words = i < 3 ? words.substr(dot + 1) : std::string_view();
    }
    std::string_view pending = text.substr(c2 + 1);
    if (pending.size() != 2 * (md5.length_ % 64)) return std::nullopt;
    for (size_t i = 0; i < pending.size() / 2; ++i) {
        int hi = hex_value(pending[2 * i]), lo = hex_value(pending[2 * i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        md5.pending_[i] = uint8_t(hi << 4 | lo);
    }
    return md5;
}

}  // namespace dravon
