#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace {

TEST(PathCombine, JoinsResolvesDotsAndLetsAFullFileWin) {
    const std::wstring too_long(300, L'x');
    const struct {
        const wchar_t *dir, *file, *expected;
    } cases[] = {
        {L"C:\\a", L"b.txt", L"C:\\a\\b.txt"},
        {L"C:\\a\\", L"b.txt", L"C:\\a\\b.txt"},
        {L"C:", L"b", L"C:\\b"},
        {L"C:\\a", nullptr, L"C:\\a"},
        {nullptr, L"C:\\x", L"C:\\x"},
        {L"C:\\a\\b", L".\\c\\..\\d", L"C:\\a\\b\\d"},
        {L"C:\\a", L"..\\..\\..\\b", L"C:\\b"},  // never above the root
        {L"C:\\a", L"..", L"C:\\"},
        {L"C:\\a\\b\\", L"", L"C:\\a\\b\\"},
        {L"C:\\a", L"D:\\x", L"D:\\x"},
        {L"C:\\a\\b", L"\\x", L"C:\\x"},
        {L"C:\\a", L"\\\\srv\\share\\f", L"\\\\srv\\share\\f"},
        {L"C:\\", too_long.c_str(), L""},  // too long: null and empty
        {nullptr, nullptr, L""},
    };
    for (const auto& c : cases) {
        wchar_t buf[MAX_PATH] = L"junk";
        const wchar_t* r = PathCombineW(buf, c.dir, c.file);
        EXPECT_EQ(r ? std::wstring(r) : L"", c.expected) << (c.dir ? c.dir : L"-");
        EXPECT_EQ(std::wstring(buf), c.expected);
    }
}

TEST(PathRemoveFileSpec, KeepsRoots) {
    const struct {
        const wchar_t *path, *expected;
        BOOL changed;
    } cases[] = {
        {L"C:\\", L"C:\\", FALSE},     {L"C:\\a", L"C:\\", TRUE},
        {L"C:\\a\\b", L"C:\\a", TRUE}, {L"C:\\a\\b\\", L"C:\\a\\b", TRUE},
        {L"\\a", L"\\", TRUE},         {L"\\\\srv\\share", L"\\\\srv", TRUE},
        {L"name.txt", L"", TRUE},      {L"C:/a/b", L"C:", TRUE},  // only '\' separates
    };
    for (const auto& c : cases) {
        wchar_t buf[MAX_PATH];
        wcscpy(buf, c.path);
        EXPECT_EQ(PathRemoveFileSpecW(buf), c.changed) << c.path;
        EXPECT_STREQ(buf, c.expected);
    }
    wchar_t buf[MAX_PATH] = L"C:\\a";
    EXPECT_EQ(PathAddBackslashW(buf), buf + 5);
    EXPECT_EQ(PathAddBackslashW(buf), buf + 5);
    EXPECT_STREQ(buf, L"C:\\a\\");
    std::wstring full(MAX_PATH - 1, L'x');  // no room for one more
    EXPECT_EQ(PathAddBackslashW(full.data()), nullptr);
}

TEST(PathPredicates, RootsSharesNetworkDrivesAndWhatIsThereGoThroughTheDriveTable) {
    const struct {
        const wchar_t* path;
        bool root, unc, network;
    } cases[] = {
        {L"C:\\", true, false, false},
        {L"\\", true, false, false},
        {L"\\\\srv\\share", true, true, true},
        {L"C:\\a", false, false, false},
        {L"C:", false, false, false},
        {L"\\\\srv\\share\\dir", false, true, true},
        {L"..\\a", false, false, false},
        {L"\\\\?\\C:\\a", false, false, false},
        {L"\\\\?\\UNC\\srv\\share", false, true, true},
        {L"N:\\games", false, false, true},
    };
    testing_support::TempDir dir;
    std::filesystem::create_directories(dir.file("sub"));
    std::ofstream(dir.file("f.txt")) << "x";
    testing_support::ScopedEnv drives("WIN32_DRIVES", "C=/tmp;N=/tmp:remote;T=" + dir.path());
    for (const auto& c : cases) {
        EXPECT_EQ(PathIsRootW(c.path) != FALSE, c.root) << c.path;
        EXPECT_EQ(PathIsUNCW(c.path) != FALSE, c.unc) << c.path;
        EXPECT_EQ(PathIsNetworkPathW(c.path) != FALSE, c.network) << c.path;
    }
    EXPECT_TRUE(PathFileExistsW(L"T:\\f.txt"));
    EXPECT_TRUE(PathFileExistsW(L"T:/sub/"));
    EXPECT_FALSE(PathFileExistsW(L"T:\\none"));
    EXPECT_EQ(PathIsDirectoryW(L"T:\\sub"), static_cast<BOOL>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(PathIsDirectoryW(L"T:\\f.txt"));
    EXPECT_FALSE(PathIsDirectoryW(L"T:\\none"));
}

TEST(PathMatchSpec, WildcardsIgnoreCaseAndSpecsSplitOnSemicolons) {
    const struct {
        const wchar_t *path, *spec;
        bool match;
    } cases[] = {
        {L"C:\\Games\\Run.EXE", L"*.exe", true},
        {L"C:\\games\\run.exe", L"C:\\GAMES\\*", true},
        {L"C:\\other\\run.exe", L"C:\\games\\*", false},
        {L"a1.txt", L"a?.txt", true},
        {L"a12.txt", L"a?.txt", false},
        {L"readme", L"*.*", true},
        {L"x.log", L"*.txt; *.log", true},
        {L"x.bin", L"*.txt;*.log", false},
        {L"\u00C4RGER.TXT", L"\u00E4rger.txt", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PathMatchSpecW(c.path, c.spec) != FALSE, c.match) << c.path << " " << c.spec;
}

}  // namespace
