#include "base/windows_version.h"

#include "support/base_test.h"

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
        ScopedEnv env("WIN32_WINDOWS_VERSION", c.version);
        EXPECT_TRUE(base::IsWindowsVersion(c.major, c.minor)) << c.version;
        EXPECT_FALSE(base::IsWindowsVersion(c.major, c.minor + 1) ||
                     base::IsWindowsVersion(c.major, c.minor - 1))
            << c.version;
        EXPECT_EQ(base::IsVistaOrLater(), c.vista) << c.version;
        EXPECT_TRUE(base::Is64BitWindows());
        uint32_t v[3] = {};
        EXPECT_TRUE(base::GetNtVersionNumbers(&v[0], &v[1], &v[2]));
        EXPECT_EQ(std::vector<uint32_t>(v, v + 3),
                  (std::vector<uint32_t>{c.major, c.minor, c.build}));
    }
}

}  // namespace
