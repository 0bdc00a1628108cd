#include "base/windows_version.h"

#include <gtest/gtest.h>

#include "testing/scoped_env.h"

namespace {

using namespace base;
using testing_support::ScopedEnv;

TEST(WindowsVersionTest, TheConfiguredWindowsIsSevenOn64Bits) {
    ScopedEnv version("WIN32_WINDOWS_VERSION", "6.1.7601");
    EXPECT_TRUE(IsWindowsVersion(6, 1));
    EXPECT_FALSE(IsWindowsVersion(6, 2));
    EXPECT_FALSE(IsWindowsVersion(5, 1));
    EXPECT_TRUE(IsVistaOrLater());
    EXPECT_TRUE(Is64BitWindows());
    uint32_t major = 0, minor = 0, build = 0;
    EXPECT_TRUE(GetNtVersionNumbers(&major, &minor, &build));
    EXPECT_EQ(major, 6u);
    EXPECT_EQ(minor, 1u);
    EXPECT_EQ(build, 7601u);
}

TEST(WindowsVersionTest, AnotherVersionChangesEveryAnswer) {
    {
        ScopedEnv version("WIN32_WINDOWS_VERSION", "6.2.9200");
        EXPECT_FALSE(IsWindowsVersion(6, 1));
        EXPECT_TRUE(IsWindowsVersion(6, 2));
        uint32_t major = 0, minor = 0, build = 0;
        EXPECT_TRUE(GetNtVersionNumbers(&major, &minor, &build));
        EXPECT_EQ(minor, 2u);
        EXPECT_EQ(build, 9200u);  // without the flag bits in the high word
    }
    ScopedEnv version("WIN32_WINDOWS_VERSION", "5.1.2600");
    EXPECT_FALSE(IsVistaOrLater());
    EXPECT_TRUE(IsWindowsVersion(5, 1));
}

}  // namespace
