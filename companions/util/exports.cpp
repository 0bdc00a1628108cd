// The exported calls: the contract is a caller's buffer and its size, a one-byte
// answer, and a zero-terminated text that always fits.
#include <cstring>
#include <string>

#include "identifiers.h"
#include "selvik.h"

#define SELVIK_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

bool answer(const std::string& text, char* buffer, int size) {
    if (!buffer || size <= 0 || text.empty()) return false;
    if (text.size() + 1 > static_cast<size_t>(size)) return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

// Nothing may escape into the caller, which knows nothing of C++ exceptions: a
// failure to read the machine is a false answer.
template <typename Make>
bool answer_with(Make make, char* buffer, int size) noexcept {
    try {
        return answer(make(), buffer, size);
    } catch (...) {
        return false;
    }
}

}  // namespace

SELVIK_EXPORT bool GetMid(char* buffer, int size) {
    return answer_with(selvik::machine_identifier, buffer, size);
}

SELVIK_EXPORT bool GetM2(char* buffer, int size) {
    return answer_with(selvik::hardware_identifier, buffer, size);
}

SELVIK_EXPORT bool GetMAC(char* buffer, int size) {
    return answer_with(selvik::adapter_address, buffer, size);
}
