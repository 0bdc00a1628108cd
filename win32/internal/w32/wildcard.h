// Windows file-name wildcards, matched without regard to case.
#pragma once

#include <string_view>

namespace w32 {

bool has_wildcards(std::wstring_view pattern);

// '*' matches any run of characters, '?' exactly one. As on Windows, "*.*" matches
// every name, a pattern ending in ".*" also matches the name without an extension
// ("a.*" matches "a"), and one ending in "." matches only names without a dot.
bool wildcard_match(std::wstring_view pattern, std::wstring_view name);

}  // namespace w32
