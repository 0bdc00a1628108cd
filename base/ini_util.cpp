#include "base/ini_util.h"

#include <windows.h>

#include <vector>

#include "base/log.h"
#include "base/string_util.h"

namespace base {

std::wstring GetIniString(const std::wstring& section, const std::wstring& key,
                          const std::wstring& path, uint32_t size) {
    if (size == 0) return {};
    std::vector<wchar_t> buffer(size, L'\0');
    GetPrivateProfileStringW(section.c_str(), key.c_str(), nullptr, buffer.data(), size,
                             path.c_str());
    buffer.back() = L'\0';
    return buffer.data();
}

bool SetConfigFileInt(const std::wstring& section, const std::wstring& key,
                      const std::wstring& value, const std::wstring& path) {
    if (WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), path.c_str())) {
        return true;
    }
    const DWORD error = GetLastError();
    LOG_ERROR << "SetConfigFileInt failed errorcode:" << error << " app:" << section
              << " key:" << key << " value:" << value << " path:" << path;
    return false;
}

bool SetConfigFileInt(const std::wstring& section, const std::wstring& key, int32_t value,
                      const std::wstring& path) {
    return SetConfigFileInt(section, key, IntToWString(value), path);
}

}  // namespace base
