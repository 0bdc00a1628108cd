// The Windows version the layer answers: 6.1.7601 Service Pack 1 (workstation,
// NT platform), or the one WIN32_WINDOWS_VERSION names ("major.minor.build", no
// service pack) so that tests can run the program on another version.
#include <w32/builtin.h>
#include <w32/error.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <vector>

namespace {

struct Version {
    DWORD major = 6, minor = 1, build = 7601;
    WORD sp_major = 1, sp_minor = 0;
    const wchar_t* csd = L"Service Pack 1";
};

Version configured() {
    Version v;
    const char* forced = getenv("WIN32_WINDOWS_VERSION");
    unsigned major, minor, build;
    char extra;
    if (forced && sscanf(forced, "%u.%u.%u%c", &major, &minor, &build, &extra) == 3 &&
        !(major == 6 && minor == 1 && build == 7601)) {
        v.major = major;
        v.minor = minor;
        v.build = build;
        v.sp_major = 0;
        v.csd = L"";
    }
    return v;
}

constexpr WORD kSuiteMask = VER_SUITE_SINGLEUSERTS;
constexpr BYTE kProductType = VER_NT_WORKSTATION;

int bit_index(DWORD bit) { return __builtin_ctz(bit); }

BYTE condition_of(DWORDLONG mask, DWORD bit) {
    return static_cast<BYTE>((mask >> (bit_index(bit) * 3)) & 7);
}

// ours compared with theirs under condition; false for a condition unknown here.
bool holds(BYTE condition, DWORD ours, DWORD theirs) {
    switch (condition) {
        case VER_EQUAL:
            return ours == theirs;
        case VER_GREATER:
            return ours > theirs;
        case VER_GREATER_EQUAL:
            return ours >= theirs;
        case VER_LESS:
            return ours < theirs;
        case VER_LESS_EQUAL:
            return ours <= theirs;
        default:
            return false;
    }
}

}  // namespace

extern "C" void WINAPI RtlGetNtVersionNumbers(LPDWORD major, LPDWORD minor, LPDWORD build);

DWORD WINAPI GetVersion(void) {
    Version v = configured();
    return (v.build & 0x7FFF) << 16 | (v.minor & 0xFF) << 8 | (v.major & 0xFF);
}

BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW info) {
    if (!info) return w32::fail(ERROR_INVALID_PARAMETER);
    const DWORD size = info->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOW) && size != sizeof(OSVERSIONINFOEXW))
        return w32::fail(ERROR_INSUFFICIENT_BUFFER);
    Version v = configured();
    info->dwMajorVersion = v.major;
    info->dwMinorVersion = v.minor;
    info->dwBuildNumber = v.build;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    wmemset(info->szCSDVersion, 0, 128);
    wcsncpy(info->szCSDVersion, v.csd, 127);
    if (size == sizeof(OSVERSIONINFOEXW)) {
        auto* ex = reinterpret_cast<LPOSVERSIONINFOEXW>(info);
        ex->wServicePackMajor = v.sp_major;
        ex->wServicePackMinor = v.sp_minor;
        ex->wSuiteMask = kSuiteMask;
        ex->wProductType = kProductType;
        ex->wReserved = 0;
    }
    return TRUE;
}

ULONGLONG WINAPI VerSetConditionMask(ULONGLONG condition_mask, DWORD type_mask, BYTE condition) {
    for (DWORD bit = 1; bit <= VER_PRODUCT_TYPE; bit <<= 1) {
        if (!(type_mask & bit)) continue;
        const int shift = bit_index(bit) * 3;
        condition_mask &= ~(ULONGLONG{7} << shift);
        condition_mask |= ULONGLONG{static_cast<BYTE>(condition & 7)} << shift;
    }
    return condition_mask;
}

BOOL WINAPI VerifyVersionInfoW(LPOSVERSIONINFOEXW info, DWORD type_mask, DWORDLONG condition_mask) {
    if (!info || type_mask == 0 || condition_mask == 0) return w32::fail(ERROR_BAD_ARGUMENTS);
    for (DWORD bit = 1; bit <= VER_PRODUCT_TYPE; bit <<= 1)
        if ((type_mask & bit) && condition_of(condition_mask, bit) == 0)
            return w32::fail(ERROR_BAD_ARGUMENTS);
    Version v = configured();

    // Major, minor and the service pack numbers form one version: under one
    // ordering condition they compare as a whole, most significant first.
    struct Part {
        DWORD bit, ours, theirs;
    };
    const Part parts[] = {
        {VER_MAJORVERSION, v.major, info->dwMajorVersion},
        {VER_MINORVERSION, v.minor, info->dwMinorVersion},
        {VER_SERVICEPACKMAJOR, v.sp_major, info->wServicePackMajor},
        {VER_SERVICEPACKMINOR, v.sp_minor, info->wServicePackMinor},
    };
    std::vector<Part> asked;
    for (auto& p : parts)
        if (type_mask & p.bit) asked.push_back(p);
    bool ok = true;
    if (!asked.empty()) {
        BYTE first = condition_of(condition_mask, asked[0].bit);
        bool uniform = first != VER_EQUAL;
        for (auto& p : asked) uniform = uniform && condition_of(condition_mask, p.bit) == first;
        if (uniform) {
            size_t i = 0;
            while (i + 1 < asked.size() && asked[i].ours == asked[i].theirs) ++i;
            ok = holds(first, asked[i].ours, asked[i].theirs);
        } else {
            for (auto& p : asked)
                ok = ok && holds(condition_of(condition_mask, p.bit), p.ours, p.theirs);
        }
    }
    if (type_mask & VER_BUILDNUMBER)
        ok = ok &&
             holds(condition_of(condition_mask, VER_BUILDNUMBER), v.build, info->dwBuildNumber);
    if (type_mask & VER_PLATFORMID)
        ok = ok && holds(condition_of(condition_mask, VER_PLATFORMID), VER_PLATFORM_WIN32_NT,
                         info->dwPlatformId);
    if (type_mask & VER_PRODUCT_TYPE)
        ok = ok && holds(condition_of(condition_mask, VER_PRODUCT_TYPE), kProductType,
                         info->wProductType);
    if (type_mask & VER_SUITENAME) {
        BYTE c = condition_of(condition_mask, VER_SUITENAME);
        if (c == VER_AND)
            ok = ok && (kSuiteMask & info->wSuiteMask) == info->wSuiteMask;
        else if (c == VER_OR)
            ok = ok && (kSuiteMask & info->wSuiteMask) != 0;
        else
            return w32::fail(ERROR_BAD_ARGUMENTS);
    }
    return ok ? TRUE : w32::fail(ERROR_OLD_WIN_VERSION);
}

// Undocumented and exported by ntdll only: the build number carries 0xF in its
// top four bits (a free build), which callers mask off.
extern "C" void WINAPI RtlGetNtVersionNumbers(LPDWORD major, LPDWORD minor, LPDWORD build) {
    Version v = configured();
    if (major) *major = v.major;
    if (minor) *minor = v.minor;
    if (build) *build = v.build | 0xF0000000u;
}
W32_BUILTIN_EXPORT("ntdll.dll", RtlGetNtVersionNumbers);
