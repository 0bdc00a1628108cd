#include "md5.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace dravon {
namespace {

constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

uint32_t load_le32(const uint8_t* p) {
    if constexpr (std::endian::native == std::endian::little) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

constexpr char kHex[] = "0123456789abcdef";

}  // namespace

Md5::Md5() : h_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

// Rounds spelled out so the compiler keeps everything in registers.
#define MD5_STEP(f, a, b, c, d, k, s, i) \
    a += x[k] + kSine[i];                \
    a += f(b, c, d);                     \
    a = b + rotl(a, s)

#define MD5_F(b, c, d) ((d) ^ ((b) & ((c) ^ (d))))
#define MD5_G(b, c, d) (((b) & (d)) + ((c) & ~(d)))
#define MD5_H(b, c, d) ((b) ^ (c) ^ (d))
#define MD5_I(b, c, d) ((c) ^ ((b) | ~(d)))

void Md5::compress(const uint8_t* block) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = load_le32(block + 4 * i);
    uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3];

    MD5_STEP(MD5_F, a, b, c, d, 0, 7, 0);
    MD5_STEP(MD5_F, d, a, b, c, 1, 12, 1);
    MD5_STEP(MD5_F, c, d, a, b, 2, 17, 2);
    MD5_STEP(MD5_F, b, c, d, a, 3, 22, 3);
    MD5_STEP(MD5_F, a, b, c, d, 4, 7, 4);
    MD5_STEP(MD5_F, d, a, b, c, 5, 12, 5);
    MD5_STEP(MD5_F, c, d, a, b, 6, 17, 6);
    MD5_STEP(MD5_F, b, c, d, a, 7, 22, 7);
    MD5_STEP(MD5_F, a, b, c, d, 8, 7, 8);
    MD5_STEP(MD5_F, d, a, b, c, 9, 12, 9);
    MD5_STEP(MD5_F, c, d, a, b, 10, 17, 10);
    MD5_STEP(MD5_F, b, c, d, a, 11, 22, 11);
    MD5_STEP(MD5_F, a, b, c, d, 12, 7, 12);
    MD5_STEP(MD5_F, d, a, b, c, 13, 12, 13);
    MD5_STEP(MD5_F, c, d, a, b, 14, 17, 14);
    MD5_STEP(MD5_F, b, c, d, a, 15, 22, 15);

    MD5_STEP(MD5_G, a, b, c, d, 1, 5, 16);
    MD5_STEP(MD5_G, d, a, b, c, 6, 9, 17);
    MD5_STEP(MD5_G, c, d, a, b, 11, 14, 18);
    MD5_STEP(MD5_G, b, c, d, a, 0, 20, 19);
    MD5_STEP(MD5_G, a, b, c, d, 5, 5, 20);
    MD5_STEP(MD5_G, d, a, b, c, 10, 9, 21);
    MD5_STEP(MD5_G, c, d, a, b, 15, 14, 22);
    MD5_STEP(MD5_G, b, c, d, a, 4, 20, 23);
    MD5_STEP(MD5_G, a, b, c, d, 9, 5, 24);
    MD5_STEP(MD5_G, d, a, b, c, 14, 9, 25);
    MD5_STEP(MD5_G, c, d, a, b, 3, 14, 26);
    MD5_STEP(MD5_G, b, c, d, a, 8, 20, 27);
    MD5_STEP(MD5_G, a, b, c, d, 13, 5, 28);
    MD5_STEP(MD5_G, d, a, b, c, 2, 9, 29);
    MD5_STEP(MD5_G, c, d, a, b, 7, 14, 30);
    MD5_STEP(MD5_G, b, c, d, a, 12, 20, 31);

    MD5_STEP(MD5_H, a, b, c, d, 5, 4, 32);
    MD5_STEP(MD5_H, d, a, b, c, 8, 11, 33);
    MD5_STEP(MD5_H, c, d, a, b, 11, 16, 34);
    MD5_STEP(MD5_H, b, c, d, a, 14, 23, 35);
    MD5_STEP(MD5_H, a, b, c, d, 1, 4, 36);
    MD5_STEP(MD5_H, d, a, b, c, 4, 11, 37);
    MD5_STEP(MD5_H, c, d, a, b, 7, 16, 38);
    MD5_STEP(MD5_H, b, c, d, a, 10, 23, 39);
    MD5_STEP(MD5_H, a, b, c, d, 13, 4, 40);
    MD5_STEP(MD5_H, d, a, b, c, 0, 11, 41);
    MD5_STEP(MD5_H, c, d, a, b, 3, 16, 42);
    MD5_STEP(MD5_H, b, c, d, a, 6, 23, 43);
    MD5_STEP(MD5_H, a, b, c, d, 9, 4, 44);
    MD5_STEP(MD5_H, d, a, b, c, 12, 11, 45);
    MD5_STEP(MD5_H, c, d, a, b, 15, 16, 46);
    MD5_STEP(MD5_H, b, c, d, a, 2, 23, 47);

    MD5_STEP(MD5_I, a, b, c, d, 0, 6, 48);
    MD5_STEP(MD5_I, d, a, b, c, 7, 10, 49);
    MD5_STEP(MD5_I, c, d, a, b, 14, 15, 50);
    MD5_STEP(MD5_I, b, c, d, a, 5, 21, 51);
    MD5_STEP(MD5_I, a, b, c, d, 12, 6, 52);
    MD5_STEP(MD5_I, d, a, b, c, 3, 10, 53);
    MD5_STEP(MD5_I, c, d, a, b, 10, 15, 54);
    MD5_STEP(MD5_I, b, c, d, a, 1, 21, 55);
    MD5_STEP(MD5_I, a, b, c, d, 8, 6, 56);
    MD5_STEP(MD5_I, d, a, b, c, 15, 10, 57);
    MD5_STEP(MD5_I, c, d, a, b, 6, 15, 58);
    MD5_STEP(MD5_I, b, c, d, a, 13, 21, 59);
    MD5_STEP(MD5_I, a, b, c, d, 4, 6, 60);
    MD5_STEP(MD5_I, d, a, b, c, 11, 10, 61);
    MD5_STEP(MD5_I, c, d, a, b, 2, 15, 62);
    MD5_STEP(MD5_I, b, c, d, a, 9, 21, 63);

    h_[0] += a;
    h_[1] += b;
    h_[2] += c;
    h_[3] += d;
}

#undef MD5_STEP
#undef MD5_F
#undef MD5_G
#undef MD5_H
#undef MD5_I

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
        compress(pending_.data());
    }
    for (; size >= 64; p += 64, size -= 64) compress(p);
    std::memcpy(pending_.data(), p, size);
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
