// The Windows version and system information the layer answers, and global
// memory blocks.
#include <windows.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "kernel_test.h"
#include "testing/scoped_env.h"

namespace {

// The check a program makes with VerifyVersionInfoW: exactly major.minor, or at
// least major.minor with the service pack.
bool IsVersion(DWORD major, DWORD minor, int at_least_sp = -1) {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    info.wServicePackMajor = WORD(std::max(at_least_sp, 0));
    const BYTE how = at_least_sp < 0 ? VER_EQUAL : VER_GREATER_EQUAL;
    ULONGLONG mask = VerSetConditionMask(0, VER_MAJORVERSION, how);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, how);
    mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, how);
    DWORD fields =
        VER_MAJORVERSION | VER_MINORVERSION | (at_least_sp < 0 ? 0 : VER_SERVICEPACKMAJOR);
    return VerifyVersionInfoW(&info, fields, mask) != FALSE;
}

TEST(SystemInfo, TheVersionIsWindows7ServicePack1UnlessTheKnobSaysOtherwise) {
    EXPECT_EQ(GetVersion(), 0x1DB10106u);  // the NT family: the top bit clear
    OSVERSIONINFOEXW ex{};
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&ex)));
    EXPECT_EQ(ex.dwMajorVersion * 10 + ex.dwMinorVersion, 61u);
    EXPECT_EQ(ex.dwBuildNumber, 7601u);
    EXPECT_EQ(ex.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_STREQ(ex.szCSDVersion, L"Service Pack 1");
    EXPECT_EQ(ex.wServicePackMajor, 1);
    EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);
    OSVERSIONINFOW plain{};
    plain.dwOSVersionInfoSize = sizeof plain;
    EXPECT_TRUE(GetVersionExW(&plain));
    plain.dwOSVersionInfoSize = 12;
    EXPECT_EQ(Failed(!GetVersionExW(&plain)), ERROR_INSUFFICIENT_BUFFER);

    EXPECT_TRUE(IsVersion(6, 1));
    EXPECT_EQ(Failed(!IsVersion(6, 2)), ERROR_OLD_WIN_VERSION);
    EXPECT_FALSE(IsVersion(5, 1));
    EXPECT_TRUE(IsVersion(5, 1, 3));  // XP SP3 or later: a higher major wins over the rest
    EXPECT_TRUE(IsVersion(6, 1, 1));
    EXPECT_FALSE(IsVersion(6, 1, 2));
    EXPECT_FALSE(IsVersion(6, 2, 0));
    EXPECT_EQ(Failed(!VerifyVersionInfoW(&ex, VER_MAJORVERSION, 0)), ERROR_BAD_ARGUMENTS);

    testing_support::ScopedEnv knob("WIN32_WINDOWS_VERSION", "6.2.9200");
    EXPECT_FALSE(IsVersion(6, 1));
    EXPECT_TRUE(IsVersion(6, 2));
    EXPECT_EQ(GetVersion(), (9200u << 16) | 0x0206u);
    setenv("WIN32_WINDOWS_VERSION", "5.1.2600", 1);
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&ex)));
    EXPECT_EQ(ex.dwMajorVersion, 5u);
}

TEST(SystemInfo, TheSystemIsX64WithThisMachinesProcessors) {
    SYSTEM_INFO native{}, plain{};
    GetNativeSystemInfo(&native);
    GetSystemInfo(&plain);
    EXPECT_EQ(native.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    EXPECT_EQ(plain.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    EXPECT_EQ(native.dwNumberOfProcessors, DWORD(std::min(64L, sysconf(_SC_NPROCESSORS_ONLN))));
    EXPECT_EQ(native.dwPageSize, DWORD(sysconf(_SC_PAGESIZE)));
    EXPECT_EQ(native.dwAllocationGranularity, 0x10000u);
    EXPECT_NE(native.dwActiveProcessorMask, 0u);
}

TEST(GlobalMemory, MovableBlocksKeepTheirHandleContentAndLockCount) {
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1000);
    EXPECT_EQ(GlobalSize(mem), 1000u);
    auto* p = static_cast<char*>(GlobalLock(mem));
    ASSERT_NE(p, nullptr);
    EXPECT_NE(static_cast<void*>(p), mem);
    EXPECT_EQ(std::count(p, p + 1000, 0), 1000);
    std::memcpy(p, "hello", 6);
    EXPECT_EQ(GlobalLock(mem), p);
    EXPECT_EQ(GlobalHandle(p), mem);
    EXPECT_TRUE(GlobalUnlock(mem));
    SetLastError(12345);
    EXPECT_FALSE(GlobalUnlock(mem));  // the last one
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(Failed(!GlobalUnlock(mem)), ERROR_NOT_LOCKED);
    // Growing keeps the handle and the content and zeroes the rest.
    EXPECT_EQ(GlobalReAlloc(mem, 100000, GMEM_MOVEABLE | GMEM_ZEROINIT), mem);
    EXPECT_EQ(GlobalSize(mem), 100000u);
    p = static_cast<char*>(GlobalLock(mem));
    EXPECT_STREQ(p, "hello");
    EXPECT_EQ(p[99999], 0);
    GlobalUnlock(mem);
    EXPECT_EQ(GlobalFree(mem), nullptr);
    EXPECT_EQ(GlobalFree(mem), mem);  // freed: an invalid handle
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GlobalLock(mem), nullptr);
    EXPECT_EQ(GlobalSize(mem), 0u);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
    HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);  // discarded: nothing to lock
    EXPECT_EQ(GlobalLock(empty), nullptr);
    EXPECT_TRUE(GlobalFlags(empty) & GMEM_DISCARDED);
    EXPECT_EQ(GlobalFree(empty), nullptr);
    HGLOBAL fixed = GlobalAlloc(GPTR, 32);  // its handle is its address
    EXPECT_EQ(GlobalLock(fixed), fixed);
    EXPECT_EQ(static_cast<char*>(fixed)[31], 0);
    EXPECT_EQ(GlobalSize(fixed), 32u);
    EXPECT_TRUE(GlobalUnlock(fixed));
    EXPECT_EQ(GlobalFree(fixed), nullptr);
}

}  // namespace
