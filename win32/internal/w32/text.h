// UTF-8 <-> wide (UTF-32 wchar_t) conversion for the layer's own use. Invalid
// input becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace w32 {

std::string to_utf8(std::wstring_view s);
std::wstring from_utf8(std::string_view s);
// Length of a zero-terminated wide string, null-safe.
size_t wlen(const wchar_t* s);

}  // namespace w32
