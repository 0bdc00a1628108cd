// Strict UTF-8 and UTF-16 codecs for the code-page and profile calls. Unlike the
// layer's w32::to_utf8/from_utf8 they report invalid input, so a caller can fail
// on it or substitute U+FFFD as Windows does.
#pragma once

#include <string>
#include <string_view>

namespace w32 {

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
