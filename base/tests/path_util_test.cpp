#include "base/path_util.h"

#include <win32_unixpath.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "base/string_util.h"
#include "support/child.h"
#include "testing/temp_dir.h"

namespace {

using namespace base;
using testing_support::TempDir;

TEST(ExePathTest, OwnPathIsADrivePathAndItsFolderHasNoTrailingBackslash) {
    const std::wstring path = GetExePath();
    const std::wstring dir = GetExeDir();
    ASSERT_GE(path.size(), 3u);
    EXPECT_EQ(path.substr(1, 2), L":\\");
    EXPECT_EQ(path, dir + L"\\base_tests");
    EXPECT_NE(dir.back(), L'\\');
}

TEST(ExePathTest, WorksFromAFolderLongerThan256Characters) {
    TempDir dir;
    std::string folder = dir.path();
    while (folder.size() < 400) {
        folder += "/" + std::string(90, 'd');
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    }
    const std::string program = folder + "/child";
    std::filesystem::copy_file(BASE_TEST_CHILD, program);
    const std::string out = testing_support::RunAndRead(program, {"exe"});
    const size_t newline = out.find('\n');
    ASSERT_NE(newline, std::string::npos) << out;
    const std::wstring exe_path = Utf8ToWide(out.substr(0, newline).c_str());
    const std::wstring exe_dir = Utf8ToWide(out.substr(newline + 1).c_str());
    EXPECT_EQ(exe_dir, UnixPathToWin32(folder) + L"\n");
    EXPECT_EQ(exe_path, UnixPathToWin32(program));
}

// Only backslashes separate, except where a function turns slashes into them first.
TEST(PathTextTest, PartsOfPathTexts) {
    const std::wstring deep = L"C:\\" + std::wstring(1500, L'x') + L"\\leaf";
    const struct {
        std::wstring (*f)(const std::wstring&);
        std::wstring in, out;
    } cases[] = {{GetRootPath, L"C:\\a\\b.txt", L"C:\\"},
                 {GetRootPath, L"\\\\server\\share", L"\\"},
                 {GetRootPath, L"C:/a/b", L""},
                 {GetRootPath, L"", L""},
                 // One trailing separator is ignored; a root stays.
                 {GetParentDir, L"C:\\a\\b\\", L"C:\\a"},
                 {GetParentDir, L"C:\\a\\b", L"C:\\a"},
                 {GetParentDir, L"C:\\a\\b/", L"C:\\"},
                 {GetParentDir, L"C:\\a", L"C:\\"},
                 {GetParentDir, L"C:\\", L"C:\\"},
                 {GetParentDir, L"", L""},
                 {GetParentDir, deep, deep.substr(0, deep.size() - 5)},
                 {GetFolderOfPath, L"C:\\x\\\\y/z\\f.txt", L"C:\\x\\y\\z"},
                 {GetFolderOfPath, L"C:/x/f.txt", L"C:\\x\\f.txt"},
                 {GetFolderOfPath, L"plain.txt", L"plain.txt"},
                 {NormalizeSlashes, L"C:\\\\\\a//b", L"C:\\\\a\\\\b"},  // one pass each
                 {NormalizeSlashes, L"C:/a/b", L"C:\\a\\b"},
                 // The last folder needs a trailing separator.
                 {GetLastFolderName, L"C:\\games\\kelto\\", L"kelto"},
                 {GetLastFolderName, L"C:/games/kelto/", L"kelto"},
                 {GetLastFolderName, L"C:\\games\\kelto", L""},
                 {GetLastFolderName, L"ab\\", L""},
                 {GetLastFolderName, L"\\b\\", L"b"},
                 {GetLastFolderName, L"\\\\", L""}};
    for (const auto& c : cases) EXPECT_EQ(c.f(c.in), c.out) << c.in;
    TempDir dir;  // an existing folder is kept as it is
    EXPECT_EQ(GetFolderOfPath(dir.win() + L"\\"), dir.win() + L"\\");
    for (std::wstring path : {std::wstring(L"C:\\a"), std::wstring(L"C:\\a\\"), std::wstring(),
                              L"C:\\" + std::wstring(300, L'y')}) {
        const std::wstring expected = path.empty() || path.back() == L'\\' ? path : path + L'\\';
        EXPECT_TRUE(AddBackslash(path));  // appended once, never cut
        EXPECT_EQ(path, expected);
    }
}

TEST(PathTextTest, SamePathIgnoresAsciiCaseAndSlashesOnly) {
    EXPECT_TRUE(IsSamePath(L"C:\\Games\\Kelto\\setup.EXE", L"c:\\games\\KELTO\\Setup.exe"));
    EXPECT_TRUE(IsSamePath(L"C:\\Games/Kelto\\setup.exe", L"C:\\Games\\Kelto\\setup.exe"));
    EXPECT_TRUE(IsSamePath(L"C:f.exe", L"c:F.EXE"));
    for (const wchar_t* other : {L"D:\\Games\\Kelto\\setup.exe", L"C:\\Games\\Other\\setup.exe",
                                 L"C:\\x\\Games\\Kelto\\setup.exe", L"C:\\Games\\Kelto\\setup.ex"})
        EXPECT_FALSE(IsSamePath(L"C:\\Games\\Kelto\\setup.exe", other)) << other;
    EXPECT_FALSE(IsSamePath(L"C:\\Spiele\\Ä.exe", L"C:\\Spiele\\ä.exe"));
}

}  // namespace
