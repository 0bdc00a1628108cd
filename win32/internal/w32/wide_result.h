// Windows' rule for functions that answer a string into a caller's buffer.
#pragma once

#include <windows.h>

#include <string>

namespace w32 {

// Copies s with its terminator when the buffer holds it and answers its length;
// otherwise answers the size needed, terminator included, and copies nothing.
inline DWORD copy_wide_result(const std::wstring& s, DWORD size, LPWSTR buffer) {
    if (!buffer || size <= s.size()) return static_cast<DWORD>(s.size() + 1);
    s.copy(buffer, s.size());
    buffer[s.size()] = L'\0';
    return static_cast<DWORD>(s.size());
}

}  // namespace w32
