// Version numbers of files (from their version resource) and of version texts
// ("major.minor.build.revision"), and their comparison.
#pragma once

#include <stdint.h>

#include <string>

namespace base {

// "major.minor.build.revision", or "0.0.0.0" for a file without a version.
std::wstring GetFileVersionString(const std::wstring& path);
// Fills parts with the file's version; leaves them unchanged when it has none.
void GetFileVersionParts(const std::wstring& path, uint32_t parts[4]);
// 1 when a is newer, -1 when older, 0 when equal; a file without a version is 0.0.0.0.
int32_t CompareFileVersions(const std::wstring& a, const std::wstring& b);

// Missing parts are 0 and a part that is not a number is 0; a text of five or
// more parts leaves the array unchanged.
void ParseVersionString(const std::wstring& text, int32_t parts[4]);
int32_t CompareVersionStrings(const std::wstring& a, const std::wstring& b);

}  // namespace base
