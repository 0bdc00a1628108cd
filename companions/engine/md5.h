// MD5 whose running state can be saved and restored, so a resumed download keeps
// hashing where the interrupted one stopped instead of reading the file again.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dravon {

class Md5 {
public:
    Md5();

    void update(const void* data, size_t size);
    // Lower-case hex digest; the object is left unchanged.
    std::string hex_digest() const;
    uint64_t length() const { return length_; }

    // Opaque text form of the running state, and its inverse (nullopt when malformed).
    std::string save_state() const;
    static std::optional<Md5> restore_state(std::string_view text);

private:
    std::array<uint32_t, 4> h_;
    std::array<uint8_t, 64> pending_{};
    uint64_t length_ = 0;
};

}  // namespace dravon
