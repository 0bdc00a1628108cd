// Windows file-name wildcards, matched without regard to case.
#pragma once

#include <string_view>

namespace w32 {

bool has_wildcards(std::wstring_view pattern);

// Matched as Windows' file systems match what FindFirstFileW hands them: '*' any
// run of characters, '?' one character or none at a dot or the end ("a??" matches
// "a"), "*" before a dot never passes the name's last dot, and a dot before a
// wildcard or at the end also matches the name's end: "*.*" matches every name,
// "a.*" matches "a", "*." names without an extension (and "." and "..").
bool wildcard_match(std::wstring_view pattern, std::wstring_view name);

}  // namespace w32
