// UTF-16 (the engine's records) to and from UTF-8 (its files) and UTF-32 wide text
// (the layer's path helper). Unpaired surrogates become U+FFFD.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dravon {

std::u16string_view view16(const char16_t* s);  // null-safe
std::string utf16_to_utf8(std::u16string_view s);
std::u16string utf8_to_utf16(std::string_view s);
std::wstring utf16_to_wide(std::u16string_view s);
// Copies with a terminator, cutting to `capacity - 1` units (never inside a pair).
void copy_utf16(char16_t* dst, size_t capacity, std::u16string_view s);

}  // namespace dravon
