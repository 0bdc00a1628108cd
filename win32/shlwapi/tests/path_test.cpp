#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "../../kernel32/tests/file_test_folder.h"

namespace {

std::wstring combine(const wchar_t* dir, const wchar_t* file) {
    wchar_t buf[MAX_PATH];
    if (!PathCombineW(buf, dir, file)) return L"<null>";
    return buf;
}

std::wstring remove_spec(const wchar_t* path, BOOL* changed = nullptr) {
    wchar_t buf[MAX_PATH];
    wcscpy(buf, path);
    BOOL c = PathRemoveFileSpecW(buf);
    if (changed) *changed = c;
    return buf;
}

TEST(PathCombine, JoinsWithOneBackslash) {
    EXPECT_EQ(combine(L"C:\\a", L"b.txt"), L"C:\\a\\b.txt");
    EXPECT_EQ(combine(L"C:\\a\\", L"b.txt"), L"C:\\a\\b.txt");
    EXPECT_EQ(combine(L"C:\\", L"b"), L"C:\\b");
    EXPECT_EQ(combine(L"C:", L"b"), L"C:\\b");
    EXPECT_EQ(combine(L"C:\\a", nullptr), L"C:\\a");
    EXPECT_EQ(combine(nullptr, L"C:\\x"), L"C:\\x");
}

TEST(PathCombine, ResolvesDotsWithoutClimbingAboveTheRoot) {
    EXPECT_EQ(combine(L"C:\\a", L"..\\b"), L"C:\\b");
    EXPECT_EQ(combine(L"C:\\a\\b", L".\\c\\..\\d"), L"C:\\a\\b\\d");
    EXPECT_EQ(combine(L"C:\\a", L"..\\..\\..\\b"), L"C:\\b");
    EXPECT_EQ(combine(L"C:\\a", L".."), L"C:\\");
    EXPECT_EQ(combine(L"C:\\a\\b\\", L""), L"C:\\a\\b\\");
}

TEST(PathCombine, AFullOrRootedFileWins) {
    EXPECT_EQ(combine(L"C:\\a", L"D:\\x"), L"D:\\x");
    EXPECT_EQ(combine(L"C:\\a\\b", L"\\x"), L"C:\\x");
    EXPECT_EQ(combine(L"C:\\a", L"\\\\srv\\share\\f"), L"\\\\srv\\share\\f");
}

TEST(PathCombine, TooLongGivesNullAndAnEmptyBuffer) {
    wchar_t buf[MAX_PATH] = L"junk";
    std::wstring long_name(300, L'x');
    EXPECT_EQ(PathCombineW(buf, L"C:\\", long_name.c_str()), nullptr);
    EXPECT_STREQ(buf, L"");
    EXPECT_EQ(PathCombineW(buf, nullptr, nullptr), nullptr);
}

TEST(PathAddBackslash, AddsOnlyWhenMissing) {
    wchar_t buf[MAX_PATH] = L"C:\\a";
    LPWSTR end = PathAddBackslashW(buf);
    EXPECT_STREQ(buf, L"C:\\a\\");
    EXPECT_EQ(end, buf + 5);
    end = PathAddBackslashW(buf);
    EXPECT_STREQ(buf, L"C:\\a\\");
    EXPECT_EQ(end, buf + 5);
    wchar_t empty[4] = L"";
    EXPECT_EQ(PathAddBackslashW(empty), empty);
    EXPECT_STREQ(empty, L"");
    std::wstring full(MAX_PATH - 1, L'x');
    wchar_t big[MAX_PATH];
    wcscpy(big, full.c_str());
    EXPECT_EQ(PathAddBackslashW(big), nullptr);
}

TEST(PathRemoveFileSpec, KeepsRoots) {
    BOOL changed = TRUE;
    EXPECT_EQ(remove_spec(L"C:\\", &changed), L"C:\\");
    EXPECT_FALSE(changed);
    EXPECT_EQ(remove_spec(L"C:\\a", &changed), L"C:\\");
    EXPECT_TRUE(changed);
    EXPECT_EQ(remove_spec(L"C:\\a\\b"), L"C:\\a");
    EXPECT_EQ(remove_spec(L"C:\\a\\b\\"), L"C:\\a\\b");
    EXPECT_EQ(remove_spec(L"\\a"), L"\\");
    EXPECT_EQ(remove_spec(L"\\\\srv\\share"), L"\\\\srv");
    EXPECT_EQ(remove_spec(L"name.txt", &changed), L"");
    EXPECT_TRUE(changed);
    EXPECT_EQ(remove_spec(L"C:/a/b"), L"C:");  // only '\' separates here
}

TEST(PathPredicates, RootsAndShares) {
    EXPECT_TRUE(PathIsRootW(L"C:\\"));
    EXPECT_TRUE(PathIsRootW(L"\\"));
    EXPECT_TRUE(PathIsRootW(L"\\\\srv\\share"));
    EXPECT_FALSE(PathIsRootW(L"C:\\a"));
    EXPECT_FALSE(PathIsRootW(L"C:"));
    EXPECT_FALSE(PathIsRootW(L"\\\\srv\\share\\dir"));
    EXPECT_FALSE(PathIsRootW(L"..\\a"));

    EXPECT_TRUE(PathIsUNCW(L"\\\\srv\\share\\f"));
    EXPECT_FALSE(PathIsUNCW(L"C:\\a"));
    EXPECT_FALSE(PathIsUNCW(L"\\\\?\\C:\\a"));
    EXPECT_TRUE(PathIsUNCW(L"\\\\?\\UNC\\srv\\share"));
}

TEST(PathPredicates, RemoteDrivesAreNetworkPaths) {
    FileTestFolder dir;
    dir.make_dir("local");
    dir.make_dir("net");
    dir.set_drives("C=%/local;N=%/net:remote");
    EXPECT_TRUE(PathIsNetworkPathW(L"N:\\games"));
    EXPECT_TRUE(PathIsNetworkPathW(L"\\\\srv\\share"));
    EXPECT_FALSE(PathIsNetworkPathW(L"C:\\games"));
    EXPECT_FALSE(PathIsNetworkPathW(L"games"));
}

TEST(PathPredicates, ExistenceAndFoldersGoThroughTheDriveTable) {
    FileTestFolder dir;
    dir.make_dir("t/sub");
    std::ofstream(dir.path() + "/t/f.txt") << "x";
    dir.set_drives("T=%/t");
    EXPECT_TRUE(PathFileExistsW(L"T:\\f.txt"));
    EXPECT_TRUE(PathFileExistsW(L"T:/sub/"));
    EXPECT_FALSE(PathFileExistsW(L"T:\\none"));
    EXPECT_EQ(PathIsDirectoryW(L"T:\\sub"), static_cast<BOOL>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(PathIsDirectoryW(L"T:\\f.txt"));
    EXPECT_FALSE(PathIsDirectoryW(L"T:\\none"));
}

TEST(PathMatchSpec, WildcardsIgnoreCaseAndSpecsSplitOnSemicolons) {
    EXPECT_TRUE(PathMatchSpecW(L"C:\\Games\\Run.EXE", L"*.exe"));
    EXPECT_TRUE(PathMatchSpecW(L"C:\\games\\run.exe", L"C:\\GAMES\\*"));
    EXPECT_FALSE(PathMatchSpecW(L"C:\\other\\run.exe", L"C:\\games\\*"));
    EXPECT_TRUE(PathMatchSpecW(L"a1.txt", L"a?.txt"));
    EXPECT_FALSE(PathMatchSpecW(L"a12.txt", L"a?.txt"));
    EXPECT_TRUE(PathMatchSpecW(L"readme", L"*.*"));
    EXPECT_TRUE(PathMatchSpecW(L"x.log", L"*.txt; *.log"));
    EXPECT_FALSE(PathMatchSpecW(L"x.bin", L"*.txt;*.log"));
    EXPECT_TRUE(PathMatchSpecW(L"\u00C4RGER.TXT", L"\u00E4rger.txt"));
}

}  // namespace
