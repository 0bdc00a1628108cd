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

TEST(PathTextTest, RootIsTheTextThroughTheFirstBackslash) {
    EXPECT_EQ(GetRootPath(L"C:\\a\\b.txt"), L"C:\\");
    EXPECT_EQ(GetRootPath(L"\\\\server\\share"), L"\\");
    EXPECT_EQ(GetRootPath(L"C:/a/b"), L"");
    EXPECT_EQ(GetRootPath(L""), L"");
}

TEST(PathTextTest, ParentDirIgnoresOneTrailingSeparatorAndKeepsRoots) {
    EXPECT_EQ(GetParentDir(L"C:\\a\\b\\"), L"C:\\a");
    EXPECT_EQ(GetParentDir(L"C:\\a\\b"), L"C:\\a");
    EXPECT_EQ(GetParentDir(L"C:\\a\\b/"), L"C:\\");  // only backslashes separate
    EXPECT_EQ(GetParentDir(L"C:\\a"), L"C:\\");
    EXPECT_EQ(GetParentDir(L"C:\\"), L"C:\\");
    EXPECT_EQ(GetParentDir(L""), L"");
    const std::wstring deep = L"C:\\" + std::wstring(1500, L'x') + L"\\leaf";
    EXPECT_EQ(GetParentDir(deep), deep.substr(0, deep.size() - 5));
}

TEST(PathTextTest, FolderOfAFileIsNormalisedAndAnExistingFolderIsKept) {
    TempDir dir;
    const std::wstring existing = dir.win() + L"\\";
    EXPECT_EQ(GetFolderOfPath(existing), existing);
    EXPECT_EQ(GetFolderOfPath(L"C:\\x\\\\y/z\\f.txt"), L"C:\\x\\y\\z");
    EXPECT_EQ(GetFolderOfPath(L"C:/x/f.txt"), L"C:\\x\\f.txt");
    EXPECT_EQ(GetFolderOfPath(L"plain.txt"), L"plain.txt");
}

TEST(PathTextTest, NormalizeSlashesReplacesInOnePassEach) {
    EXPECT_EQ(NormalizeSlashes(L"C:\\\\\\a//b"), L"C:\\\\a\\\\b");
    EXPECT_EQ(NormalizeSlashes(L"C:/a/b"), L"C:\\a\\b");
}

TEST(PathTextTest, LastFolderNameNeedsATrailingSeparator) {
    EXPECT_EQ(GetLastFolderName(L"C:\\games\\kelto\\"), L"kelto");
    EXPECT_EQ(GetLastFolderName(L"C:/games/kelto/"), L"kelto");
    EXPECT_EQ(GetLastFolderName(L"C:\\games\\kelto"), L"");
    EXPECT_EQ(GetLastFolderName(L"ab\\"), L"");
    EXPECT_EQ(GetLastFolderName(L"\\b\\"), L"b");
    EXPECT_EQ(GetLastFolderName(L"\\\\"), L"");
}

TEST(PathTextTest, AddBackslashAppendsOnceAndNeverCuts) {
    std::wstring path = L"C:\\a";
    EXPECT_TRUE(AddBackslash(path));
    EXPECT_EQ(path, L"C:\\a\\");
    EXPECT_TRUE(AddBackslash(path));
    EXPECT_EQ(path, L"C:\\a\\");
    std::wstring empty;
    EXPECT_TRUE(AddBackslash(empty));
    EXPECT_EQ(empty, L"");
    std::wstring longer = L"C:\\" + std::wstring(300, L'y');
    AddBackslash(longer);
    EXPECT_EQ(longer, L"C:\\" + std::wstring(300, L'y') + L"\\");
}

TEST(PathTextTest, SamePathIgnoresAsciiCaseOnly) {
    EXPECT_TRUE(IsSamePath(L"C:\\Games\\Kelto\\setup.EXE", L"c:\\games\\KELTO\\Setup.exe"));
    EXPECT_TRUE(IsSamePath(L"C:\\Games/Kelto\\setup.exe", L"C:\\Games\\Kelto\\setup.exe"));
    EXPECT_FALSE(IsSamePath(L"C:\\Games\\Kelto\\setup.exe", L"D:\\Games\\Kelto\\setup.exe"));
    EXPECT_FALSE(IsSamePath(L"C:\\Games\\Kelto\\setup.exe", L"C:\\Games\\Other\\setup.exe"));
    EXPECT_FALSE(IsSamePath(L"C:\\x\\Games\\setup.exe", L"C:\\Games\\setup.exe"));
    EXPECT_FALSE(IsSamePath(L"C:\\Games\\setup.exe", L"C:\\Games\\setup.ex"));
    EXPECT_FALSE(IsSamePath(L"C:\\Spiele\\Ä.exe", L"C:\\Spiele\\ä.exe"));
    EXPECT_TRUE(IsSamePath(L"C:f.exe", L"c:F.EXE"));
}

}  // namespace
