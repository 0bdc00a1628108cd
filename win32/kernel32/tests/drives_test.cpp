#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "file_test_folder.h"
#include "testing/scoped_env.h"

namespace {

class Drives : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        dir_.make_dir("c");
        dir_.make_dir("d");
        dir_.set_drives("C=%/c;D=%/d:remote;Z=/");
    }
    FileTestFolder dir_;
};

TEST_F(Drives, LogicalDrivesFollowTheTable) {
    EXPECT_EQ(GetLogicalDrives(), (1u << 2) | (1u << 3) | (1u << 25));
    wchar_t buf[64];
    DWORD n = GetLogicalDriveStringsW(64, buf);
    ASSERT_EQ(n, 12u);
    EXPECT_EQ(std::wstring(buf, n + 1), std::wstring(L"C:\\\0D:\\\0Z:\\\0\0", 13));
    EXPECT_EQ(GetLogicalDriveStringsW(5, buf), 13u);  // too small: the size needed
}

TEST_F(Drives, TableIsReadAgainWhenTheVariableChanges) {
    dir_.set_drives("E=%/c");
    EXPECT_EQ(GetLogicalDrives(), 1u << 4);
    EXPECT_EQ(GetDriveTypeW(L"C:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

TEST_F(Drives, DriveTypesComeFromTheTable) {
    EXPECT_EQ(GetDriveTypeW(L"C:\\"), static_cast<UINT>(DRIVE_FIXED));
    EXPECT_EQ(GetDriveTypeW(L"d:/"), static_cast<UINT>(DRIVE_REMOTE));
    EXPECT_EQ(GetDriveTypeW(L"Z:"), static_cast<UINT>(DRIVE_FIXED));
    EXPECT_EQ(GetDriveTypeW(L"Q:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
    EXPECT_EQ(GetDriveTypeW(L"C:\\sub"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

TEST_F(Drives, DrivePathsMapWithEitherSeparator) {
    std::ofstream(dir_.path() + "/d/x.txt") << "x";
    EXPECT_NE(GetFileAttributesW(L"D:\\x.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW(L"D:/x.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW(L"d:\\..\\x.txt"),
              INVALID_FILE_ATTRIBUTES);  // never above the root
    std::wstring via_z = L"Z:" + std::wstring(dir_.path().begin(), dir_.path().end()) + L"/d/x.txt";
    EXPECT_NE(GetFileAttributesW(via_z.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(L"C:\\x.txt"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Drives, FreeSpaceIsReportedForFoldersOnADrive) {
    ULARGE_INTEGER free_bytes, total, total_free;
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &free_bytes, &total, &total_free));
    EXPECT_GT(total.QuadPart, 0u);
    EXPECT_LE(free_bytes.QuadPart, total_free.QuadPart);
    EXPECT_LE(total_free.QuadPart, total.QuadPart);
    EXPECT_TRUE(GetDiskFreeSpaceExW(L"D:\\", &free_bytes, nullptr, nullptr));
    EXPECT_FALSE(GetDiskFreeSpaceExW(L"C:\\missing\\", &free_bytes, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(Drives, WriteProtectedDriveHasNothingFreeForTheCaller) {
    dir_.set_drives("C=%/c:ro");
    ULARGE_INTEGER free_bytes, total;
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &free_bytes, &total, nullptr));
    EXPECT_EQ(free_bytes.QuadPart, 0u);
    EXPECT_GT(total.QuadPart, 0u);
}

TEST_F(Drives, FixedFreeSpaceFromTheTableIsReportedForEveryFolderOfTheDrive) {
    dir_.set_drives("C=%/c:free=123456789;D=%/d:remote:free=42");
    CreateDirectoryW(L"C:\\sub", nullptr);
    ULARGE_INTEGER free_bytes, total, total_free;
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\sub", &free_bytes, &total, &total_free));
    EXPECT_EQ(free_bytes.QuadPart, 123456789u);
    EXPECT_EQ(total_free.QuadPart, 123456789u);
    EXPECT_GE(total.QuadPart, total_free.QuadPart);
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"D:\\", &free_bytes, nullptr, nullptr));
    EXPECT_EQ(free_bytes.QuadPart, 42u);
    EXPECT_EQ(GetDriveTypeW(L"D:\\"), static_cast<UINT>(DRIVE_REMOTE));
}

TEST_F(Drives, TempPathIsTmpdirWithATrailingBackslash) {
    std::string tmp = dir_.path() + "/c/tmp";
    mkdir(tmp.c_str(), 0700);
    testing_support::ScopedEnv tmpdir("TMPDIR", tmp);  // the folder goes with the test
    wchar_t buf[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, buf);
    EXPECT_STREQ(buf, L"C:\\tmp\\");
    EXPECT_EQ(n, 7u);
    EXPECT_EQ(GetTempPathW(4, buf), 8u);
}

TEST_F(Drives, TempPathWithoutTmpdirIsAPrivateFolderUnderTheCache) {
    std::string cache = dir_.path() + "/c/cache";
    testing_support::ScopedEnv no_tmpdir("TMPDIR", ""), cache_home("XDG_CACHE_HOME", cache);
    wchar_t buf[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, buf), 0u);
    std::wstring path = buf;
    EXPECT_EQ(path.substr(0, 9), L"C:\\cache\\");
    EXPECT_EQ(path.back(), L'\\');
    struct stat st;
    ASSERT_EQ(stat((cache + "/win32/temp").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(GetFileAttributesW(buf), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

}  // namespace
