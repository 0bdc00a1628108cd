// The layer's one UTF-8 and UTF-16 codec; wide text is UTF-32 (wchar_t) here.
#pragma once

#include <string>
#include <string_view>

namespace w32 {

// UTF-8 <-> wide for the layer's own use; invalid input becomes U+FFFD as in
// decode_utf8 and encode_utf8.
std::string to_utf8(std::wstring_view s);
std::wstring from_utf8(std::string_view s);
// Length of a zero-terminated wide string, null-safe.
size_t wlen(const wchar_t* s);

// The same conversions, reporting invalid input so a caller can fail on it (the
// code-page calls' MB_ERR_INVALID_CHARS) or substitute U+FFFD as Windows does.
// Each maximal ill-formed subsequence becomes one U+FFFD. False when there was any.
bool decode_utf8(std::string_view in, std::wstring& out);
// A high and low surrogate in a row are joined; a unit that is not a Unicode
// scalar value becomes U+FFFD. False when there was any.
bool encode_utf8(std::wstring_view in, std::string& out);

// UTF-16 code units <-> wide units. Pairs are joined and split; a lone surrogate
// passes through unchanged both ways, so a file round-trips byte for byte.
std::wstring utf16_to_wide(std::u16string_view in);
std::u16string wide_to_utf16(std::wstring_view in);

}  // namespace w32
