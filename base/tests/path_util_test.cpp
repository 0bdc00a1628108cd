#include "base/path_util.h"

#include <win32_unixpath.h>

#include <filesystem>

#include "support/base_test.h"
#include "testing/child_process.h"

namespace {

using namespace base;

// The own path is a drive path and its folder has no trailing backslash, from a folder
// longer than 256 characters too.
TEST(ExePathTest, OwnPathAndFolderFromAnyFolder) {
    EXPECT_EQ(GetExePath(), GetExeDir() + L"\\base_tests");
    EXPECT_TRUE(GetExePath().substr(1, 2) == L":\\" && GetExeDir().back() != L'\\');
    TempDir dir;
    std::string folder = dir.path();
    while (folder.size() < 400)
        ASSERT_EQ(mkdir((folder += "/" + std::string(90, 'd')).c_str(), 0700), 0);
    std::filesystem::copy_file(BASE_TEST_CHILD, folder + "/child");
    testing_support::ChildProcess child;
    ASSERT_TRUE(child.Start(folder + "/child", {"exe"}));
    EXPECT_EQ(Utf8ToWide(child.Expect("").c_str()), UnixPathToWin32(folder + "/child"));
    EXPECT_EQ(Utf8ToWide(child.Expect("").c_str()), UnixPathToWin32(folder));
    EXPECT_EQ(child.Wait(), 0);
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
    // The same path ignores only ASCII case and slashes.
    for (auto [a, b] : {std::pair{L"C:\\Games\\Kelto\\setup.EXE", L"c:\\games\\KELTO\\Setup.exe"},
                        {L"C:\\Games/Kelto\\setup.exe", L"C:\\Games\\Kelto\\setup.exe"},
                        {L"C:f.exe", L"c:F.EXE"}})
        EXPECT_TRUE(IsSamePath(a, b)) << a;
    for (const wchar_t* other : {L"D:\\Games\\Kelto\\setup.exe", L"C:\\Games\\Other\\setup.exe",
                                 L"C:\\x\\Games\\Kelto\\setup.exe", L"C:\\Games\\Kelto\\setup.ex"})
        EXPECT_FALSE(IsSamePath(L"C:\\Games\\Kelto\\setup.exe", other)) << other;
    EXPECT_FALSE(IsSamePath(L"C:\\Spiele\\Ä.exe", L"C:\\Spiele\\ä.exe"));
}

}  // namespace
