#include "base/windows_version.h"

#include <gtest/gtest.h>

#include "testing/scoped_env.h"

namespace {

TEST(WindowsVersionTest, EveryAnswerFollowsTheConfiguredVersion) {
    const struct {
        const char* version;
        uint32_t major, minor, build;
        bool vista;
    } cases[] = {{"6.1.7601", 6, 1, 7601, true},
                 {"6.2.9200", 6, 2, 9200, true},  // the build without the flag bits
                 {"5.1.2600", 5, 1, 2600, false}};
    for (auto& c : cases) {
        testing_support::ScopedEnv env("WIN32_WINDOWS_VERSION", c.version);
        EXPECT_TRUE(base::IsWindowsVersion(c.major, c.minor)) << c.version;
        EXPECT_FALSE(base::IsWindowsVersion(c.major, c.minor + 1)) << c.version;
        EXPECT_FALSE(base::IsWindowsVersion(c.major, c.minor - 1)) << c.version;
        EXPECT_EQ(base::IsVistaOrLater(), c.vista) << c.version;
        EXPECT_TRUE(base::Is64BitWindows());
        uint32_t major = 0, minor = 0, build = 0;
        EXPECT_TRUE(base::GetNtVersionNumbers(&major, &minor, &build));
        EXPECT_EQ(major * 100000 + minor * 10000 + build,
                  c.major * 100000 + c.minor * 10000 + c.build);
    }
}

}  // namespace
