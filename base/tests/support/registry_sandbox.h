// A registry of the test's own: the layer's store files go to a private temporary
// folder for the sandbox's lifetime.
#pragma once

#include <windows.h>

#include <string>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace testing_support {

class RegistrySandbox {
public:
    RegistrySandbox() : env_("WIN32_REGISTRY_DIR", dir_.path()) {}

    // Creates the key under HKEY_LOCAL_MACHINE and sets a REG_SZ value there
    // (no value when name is null).
    static bool SetMachineText(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
        HKEY handle = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &handle, nullptr) != ERROR_SUCCESS)
            return false;
        LSTATUS status = ERROR_SUCCESS;
        if (name)
            status =
                RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
        RegCloseKey(handle);
        return status == ERROR_SUCCESS;
    }

private:
    TempDir dir_;
    ScopedEnv env_;
};

}  // namespace testing_support
