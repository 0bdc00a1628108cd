// The Windows version and system information the layer answers.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

namespace {

class SysInfoTest : public ::testing::Test {
protected:
    void TearDown() override { unsetenv("WIN32_WINDOWS_VERSION"); }

    // The exact major.minor check a program makes with VerifyVersionInfoW.
    static bool IsWindowsVersion(DWORD major, DWORD minor) {
        OSVERSIONINFOEXW info{};
        info.dwOSVersionInfoSize = sizeof info;
        info.dwMajorVersion = major;
        info.dwMinorVersion = minor;
        ULONGLONG mask = 0;
        mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_EQUAL);
        mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_EQUAL);
        return VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION, mask) != FALSE;
    }

    static bool AtLeast(DWORD major, DWORD minor, WORD sp) {
        OSVERSIONINFOEXW info{};
        info.dwOSVersionInfoSize = sizeof info;
        info.dwMajorVersion = major;
        info.dwMinorVersion = minor;
        info.wServicePackMajor = sp;
        ULONGLONG mask = 0;
        VER_SET_CONDITION(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
        VER_SET_CONDITION(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
        VER_SET_CONDITION(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
        return VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                                  mask) != FALSE;
    }
};

TEST_F(SysInfoTest, GetVersionPacksWindows7ServicePack1) {
    EXPECT_EQ(GetVersion(), 0x1DB10106u);
    EXPECT_LT(GetVersion(), 0x80000000u);  // the NT family
}

TEST_F(SysInfoTest, GetVersionExFillsBothRecordSizes) {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_EQ(info.dwMajorVersion, 6u);
    EXPECT_EQ(info.dwMinorVersion, 1u);
    EXPECT_EQ(info.dwBuildNumber, 7601u);
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_STREQ(info.szCSDVersion, L"Service Pack 1");

    OSVERSIONINFOEXW ex{};
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&ex)));
    EXPECT_EQ(ex.dwMajorVersion, 6u);
    EXPECT_EQ(ex.wServicePackMajor, 1);
    EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);

    OSVERSIONINFOW bad{};
    bad.dwOSVersionInfoSize = 12;
    EXPECT_FALSE(GetVersionExW(&bad));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(SysInfoTest, VerifiesExactAndMinimumVersions) {
    EXPECT_TRUE(IsWindowsVersion(6, 1));
    EXPECT_FALSE(IsWindowsVersion(6, 2));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OLD_WIN_VERSION));
    EXPECT_FALSE(IsWindowsVersion(5, 1));
    EXPECT_TRUE(AtLeast(5, 1, 3));  // XP SP3 or later: a higher major wins over the rest
    EXPECT_TRUE(AtLeast(6, 1, 1));
    EXPECT_FALSE(AtLeast(6, 1, 2));
    EXPECT_FALSE(AtLeast(6, 2, 0));

    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    EXPECT_FALSE(VerifyVersionInfoW(&info, VER_MAJORVERSION, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_ARGUMENTS));
}

TEST_F(SysInfoTest, KnobChangesTheAnsweredVersion) {
    setenv("WIN32_WINDOWS_VERSION", "6.2.9200", 1);
    EXPECT_FALSE(IsWindowsVersion(6, 1));
    EXPECT_TRUE(IsWindowsVersion(6, 2));
    EXPECT_EQ(GetVersion(), (9200u << 16) | 0x0206u);
    setenv("WIN32_WINDOWS_VERSION", "5.1.2600", 1);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_EQ(info.dwMajorVersion, 5u);
}

TEST_F(SysInfoTest, NativeSystemIsX64WithThisMachinesProcessors) {
    SYSTEM_INFO native{}, plain{};
    GetNativeSystemInfo(&native);
    GetSystemInfo(&plain);
    EXPECT_EQ(native.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    EXPECT_EQ(plain.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    EXPECT_EQ(native.dwNumberOfProcessors,
              static_cast<DWORD>(std::min(64L, sysconf(_SC_NPROCESSORS_ONLN))));
    EXPECT_EQ(native.dwPageSize, static_cast<DWORD>(sysconf(_SC_PAGESIZE)));
    EXPECT_EQ(native.dwAllocationGranularity, 0x10000u);
    EXPECT_NE(native.dwActiveProcessorMask, 0u);
}

TEST_F(SysInfoTest, NtVersionNumbersCarryTheBuildFlag) {
    using Fn = void(WINAPI*)(LPDWORD, LPDWORD, LPDWORD);
    HMODULE ntdll = LoadLibraryW(L"ntdll.dll");
    ASSERT_NE(ntdll, nullptr);
    auto fn = reinterpret_cast<Fn>(GetProcAddress(ntdll, "RtlGetNtVersionNumbers"));
    ASSERT_NE(fn, nullptr);
    DWORD major = 0, minor = 0, build = 0;
    fn(&major, &minor, &build);
    EXPECT_EQ(major, 6u);
    EXPECT_EQ(minor, 1u);
    EXPECT_EQ(build, 0xF0000000u | 7601u);
    EXPECT_EQ(build & 0xFFFF, 7601u);
    fn(nullptr, nullptr, nullptr);  // outputs are optional
    EXPECT_TRUE(FreeLibrary(ntdll));
}

}  // namespace
