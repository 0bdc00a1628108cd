#include "base/file_version.h"

#include <win32_unixpath.h>

#include "base/windows_version.h"

#include "support/base_test.h"

namespace {

using namespace base;
using Parts = std::vector<int64_t>;

TEST(FileVersionTest, TheFixedFileVersionOrZeroAndVersionTextsComparedAsNumbers) {
    const std::wstring versioned = UnixPathToWin32(BASE_TEST_CHILD);
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("plain.exe"), "not a program"));
    const std::wstring plain = dir.winfile("plain.exe"), missing = dir.winfile("missing.exe");
    EXPECT_EQ(GetFileVersionString(versioned), L"2.10.300.4");
    EXPECT_EQ(GetFileVersionString(plain) + GetFileVersionString(missing), L"0.0.0.00.0.0.0");
    uint32_t parts[8] = {7, 7, 7, 7, 7, 7, 7, 7};
    GetFileVersionParts(versioned, parts);
    GetFileVersionParts(plain, parts + 4);
    EXPECT_EQ(Parts(parts, parts + 8), (Parts{2, 10, 300, 4, 7, 7, 7, 7}));
    EXPECT_EQ(CompareFileVersions(versioned, plain), 1);
    EXPECT_EQ(CompareFileVersions(missing, versioned), -1);
    EXPECT_EQ(CompareFileVersions(versioned, versioned) + CompareFileVersions(plain, missing), 0);

    // Texts have up to four parts, each read as a number; five parts are refused.
    int32_t text[4] = {9, 9, 9, 9};
    ParseVersionString(L"1.2", text);
    EXPECT_EQ(Parts(text, text + 4), (Parts{1, 2, 0, 0}));
    ParseVersionString(L"3.x.5beta.-1", text);
    ParseVersionString(L"1.2.3.4.5", text);
    EXPECT_EQ(Parts(text, text + 4), (Parts{3, 0, 5, -1}));
    const struct {
        const wchar_t *a, *b;
        int order;
    } cases[] = {{L"1.2", L"1.2.0.0", 0},
                 {L"1.10", L"1.9", 1},
                 {L"1.9", L"1.10", -1},
                 {L"2.0.0.1", L"2.0.0.0", 1},
                 {L"1.2.3.4.5", L"0.0.0.0", 0},
                 {L"1.2.3.4.5", L"0.0.0.1", -1},
                 {L"", L"0", 0}};
    for (auto& c : cases) EXPECT_EQ(CompareVersionStrings(c.a, c.b), c.order) << c.a << " " << c.b;
}

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
        EXPECT_TRUE(base::IsVistaOrLater() == c.vista && base::Is64BitWindows()) << c.version;
        uint32_t v[3] = {};
        EXPECT_TRUE(base::GetNtVersionNumbers(&v[0], &v[1], &v[2]));
        EXPECT_EQ(std::vector<uint32_t>(v, v + 3),
                  (std::vector<uint32_t>{c.major, c.minor, c.build}));
    }
}

}  // namespace
