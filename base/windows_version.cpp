#include "base/windows_version.h"

#include <windows.h>

namespace base {

bool IsWindowsVersion(uint32_t major, uint32_t minor) {
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    version.dwMajorVersion = major;
    version.dwMinorVersion = minor;
    ULONGLONG conditions = 0;
    conditions = VerSetConditionMask(conditions, VER_MAJORVERSION, VER_EQUAL);
    conditions = VerSetConditionMask(conditions, VER_MINORVERSION, VER_EQUAL);
    return VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION, conditions) != FALSE;
}

bool Is64BitWindows() {
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
           info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

bool IsVistaOrLater() {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    return GetVersionExW(&version) && version.dwMajorVersion > 5;
}

bool GetNtVersionNumbers(uint32_t* major, uint32_t* minor, uint32_t* build) {
    using RtlGetNtVersionNumbers = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
    HMODULE ntdll = LoadLibraryW(L"ntdll.dll");
    if (!ntdll) return false;
    auto get = reinterpret_cast<RtlGetNtVersionNumbers>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetNtVersionNumbers")));
    if (!get) {
        FreeLibrary(ntdll);
        return false;
    }
    DWORD ma = 0, mi = 0, bu = 0;
    get(&ma, &mi, &bu);
    if (major) *major = ma;
    if (minor) *minor = mi;
    if (build) *build = bu & 0xFFFF;
    FreeLibrary(ntdll);
    return true;
}

}  // namespace base
