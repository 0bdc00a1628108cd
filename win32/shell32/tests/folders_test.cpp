#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "../../kernel32/tests/file_test_folder.h"

namespace {

class ShellFolders : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        dir_.make_dir("home");
        dir_.set_drives("C=%/home;Z=/");
        home_ = dir_.path() + "/home";
        setenv("HOME", home_.c_str(), 1);
        unsetenv("XDG_DATA_HOME");
        unsetenv("XDG_STATE_HOME");
    }
    bool is_dir(const std::string& p) {
        struct stat st;
        return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    FileTestFolder dir_;
    std::string home_;
};

TEST_F(ShellFolders, CreateDirectoryMakesEveryMissingParent) {
    EXPECT_EQ(SHCreateDirectory(nullptr, L"C:\\a\\b\\c"), ERROR_SUCCESS);
    EXPECT_TRUE(is_dir(home_ + "/a/b/c"));
    EXPECT_EQ(SHCreateDirectoryExW(nullptr, L"C:/a/b/d/", nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(is_dir(home_ + "/a/b/d"));
}

TEST_F(ShellFolders, CreateDirectoryTellsWhatIsAlreadyThere) {
    EXPECT_EQ(SHCreateDirectory(nullptr, L"C:\\"), ERROR_ALREADY_EXISTS);
    std::ofstream(home_ + "/file") << "x";
    EXPECT_EQ(SHCreateDirectory(nullptr, L"C:\\file"), ERROR_FILE_EXISTS);
    EXPECT_EQ(SHCreateDirectory(nullptr, L"C:\\file\\sub"), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(SHCreateDirectory(nullptr, L"relative\\dir"), ERROR_BAD_PATHNAME);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_PATHNAME));
}

TEST_F(ShellFolders, CreateDirectoryOnAWriteProtectedDriveIsDenied) {
    dir_.set_drives("C=%/home:ro");
    EXPECT_EQ(SHCreateDirectory(nullptr, L"C:\\new"), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(is_dir(home_ + "/new"));
}

TEST_F(ShellFolders, AppDataDefaultsUnderTheHomeAndIsCreatedOnRequest) {
    wchar_t path[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, FALSE));
    EXPECT_STREQ(path, L"C:\\.local\\share");
    EXPECT_FALSE(is_dir(home_ + "/.local/share"));
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, TRUE));
    EXPECT_TRUE(is_dir(home_ + "/.local/share"));
}

TEST_F(ShellFolders, XdgVariablesMoveTheFolders) {
    std::string data = home_ + "/data";
    std::string state = home_ + "/state";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    wchar_t path[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA | CSIDL_FLAG_CREATE, FALSE));
    EXPECT_STREQ(path, L"C:\\data");
    EXPECT_TRUE(is_dir(data));
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_LOCAL_APPDATA, TRUE));
    EXPECT_STREQ(path, L"C:\\state");
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_PROFILE, FALSE));
    EXPECT_STREQ(path, L"C:\\");
    EXPECT_FALSE(SHGetSpecialFolderPathW(nullptr, path, 0x7f, FALSE));
}

}  // namespace
