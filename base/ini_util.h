// Reading and writing single values of INI files through the profile functions.
#pragma once

#include <stdint.h>

#include <string>

namespace base {

// The value, cut to size - 1 characters; empty when the file, section or key is
// missing, the value is empty, or size is 0.
std::wstring GetIniString(const std::wstring& section, const std::wstring& key,
                          const std::wstring& path, uint32_t size);

// Writes the value (creating the file and section as needed); a failure is logged.
bool SetConfigFileInt(const std::wstring& section, const std::wstring& key,
                      const std::wstring& value, const std::wstring& path);
bool SetConfigFileInt(const std::wstring& section, const std::wstring& key, int32_t value,
                      const std::wstring& path);

}  // namespace base
