#include "base/registry.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

void CRegistry::Close() {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
}

BOOL CRegistry::Open(LPCWSTR sub_key, REGSAM access) {
    if (key_ == nullptr || sub_key == nullptr) return FALSE;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(key_, sub_key, 0, access, &opened) != ERROR_SUCCESS) return FALSE;
    key_ = opened;
    return TRUE;
}

BOOL CRegistry::Create(LPCWSTR sub_key, REGSAM access) {
    if (key_ == nullptr || sub_key == nullptr) return FALSE;
    HKEY created = nullptr;
    if (RegCreateKeyExW(key_, sub_key, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                        &created, nullptr) != ERROR_SUCCESS) {
        return FALSE;
    }
    key_ = created;
    return TRUE;
}

BOOL CRegistry::ReadString(LPCWSTR value_name, std::wstring& out) {
    if (key_ == nullptr || value_name == nullptr) return FALSE;
    constexpr DWORD kStep = 256;
    std::vector<BYTE> buffer(kStep);
    DWORD size = 0;
    LSTATUS status;
    for (;;) {
        size = static_cast<DWORD>(buffer.size());
        status = RegQueryValueExW(key_, value_name, nullptr, nullptr, buffer.data(), &size);
        if (status != ERROR_MORE_DATA) break;
        // Straight to the reported size, kept a multiple of the step: one step at a time
        // would read a large value over again for every 256 bytes of it.
        const size_t wanted = std::max<size_t>(size, buffer.size() + 1);
        buffer.resize((wanted + kStep - 1) / kStep * kStep);
    }
    if (status != ERROR_SUCCESS) return FALSE;
    // The data need not end in a terminator: only the bytes the call reported count.
    const size_t chars = std::min<size_t>(size, buffer.size()) / sizeof(WCHAR);
    std::wstring text(chars, L'\0');
    std::memcpy(text.data(), buffer.data(), chars * sizeof(WCHAR));
    const size_t end = text.find(L'\0');
    if (end != std::wstring::npos) text.resize(end);
    out = std::move(text);
    return TRUE;
}

BOOL CRegistry::ReadDword(LPCWSTR value_name, DWORD& out) {
    if (key_ == nullptr || value_name == nullptr) return FALSE;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key_, value_name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS) {
        return FALSE;
    }
    out = value;
    return TRUE;
}

BOOL CRegistry::WriteDword(LPCWSTR value_name, DWORD value) {
    if (key_ == nullptr || value_name == nullptr) return FALSE;
    return RegSetValueExW(key_, value_name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
}

BOOL CRegistry::WriteString(LPCWSTR value_name, LPCWSTR text) {
    if (key_ == nullptr || value_name == nullptr || text == nullptr) return FALSE;
    const size_t bytes = (std::wcslen(text) + 1) * sizeof(WCHAR);
    if (bytes > MAXDWORD) return FALSE;
    return RegSetValueExW(key_, value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(bytes)) == ERROR_SUCCESS;
}

BOOL CRegistry::DeleteValue(LPCWSTR value_name) {
    if (key_ == nullptr || value_name == nullptr) return FALSE;
    return RegDeleteValueW(key_, value_name) == ERROR_SUCCESS;
}

BOOL CRegistry::DeleteKey(HKEY parent, LPCWSTR sub_key) {
    if (key_ == nullptr || sub_key == nullptr) return FALSE;
    return RegDeleteKeyW(parent, sub_key) == ERROR_SUCCESS;
}

BOOL CRegistry::SaveKey(LPCWSTR file) {
    if (key_ == nullptr || file == nullptr) return FALSE;
    return RegSaveKeyW(key_, file, nullptr) == ERROR_SUCCESS;
}

BOOL CRegistry::RestoreKey(LPCWSTR file) {
    if (key_ == nullptr || file == nullptr) return FALSE;
    // A forced restore passes 1 here, the value Windows names REG_WHOLE_HIVE_VOLATILE;
    // the layer takes it like REG_FORCE_RESTORE.
    constexpr DWORD kForceRestore = 1;
    return RegRestoreKeyW(key_, file, kForceRestore) == ERROR_SUCCESS;
}

void CRegistry::EnumSubkeys(std::vector<std::wstring>& names) {
    if (key_ == nullptr) return;
    WCHAR name[256];
    for (DWORD index = 0;; ++index) {
        DWORD chars = 256;
        if (RegEnumKeyExW(key_, index, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, chars);
    }
}
