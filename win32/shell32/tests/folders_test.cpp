#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

using testing_support::ScopedEnv;

namespace {

class ShellFolders : public ::testing::Test {
protected:
    bool IsDir(const std::string& name) { return std::filesystem::is_directory(home_ + name); }
    testing_support::TempDir dir_;
    const std::string home_ = dir_.file("home");
    ScopedEnv home_env_{"HOME", home_},
        drives_{"WIN32_DRIVES", "C=" + home_ + ";R=" + dir_.path() + ":ro"};
};

TEST_F(ShellFolders, CreateDirectoryMakesEveryMissingParentOrTellsWhyNot) {
    std::filesystem::create_directories(home_);
    std::ofstream(home_ + "/file") << "x";
    const struct {
        const wchar_t* path;
        int result;
    } cases[] = {
        {L"C:\\a\\b\\c", ERROR_SUCCESS},          {L"C:/a/b/d/", ERROR_SUCCESS},
        {L"C:\\", ERROR_ALREADY_EXISTS},          {L"C:\\file", ERROR_FILE_EXISTS},
        {L"C:\\file\\sub", ERROR_PATH_NOT_FOUND}, {L"relative\\dir", ERROR_BAD_PATHNAME},
        {L"R:\\new", ERROR_ACCESS_DENIED},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SHCreateDirectoryExW(nullptr, c.path, nullptr), c.result) << c.path;
        if (c.result) EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.result)) << c.path;
    }
    EXPECT_TRUE(IsDir("/a/b/c") && IsDir("/a/b/d"));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("new")));
}

TEST_F(ShellFolders, SpecialFoldersFollowTheHomeAndTheXdgVariables) {
    wchar_t path[MAX_PATH];
    {
        ScopedEnv data("XDG_DATA_HOME", ""), state("XDG_STATE_HOME", "");
        ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, FALSE));
        EXPECT_STREQ(path, L"C:\\.local\\share");
        EXPECT_FALSE(IsDir("/.local/share"));
        ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, TRUE));
        EXPECT_TRUE(IsDir("/.local/share"));
    }
    ScopedEnv data("XDG_DATA_HOME", home_ + "/data"), state("XDG_STATE_HOME", home_ + "/state");
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA | CSIDL_FLAG_CREATE, FALSE));
    EXPECT_STREQ(path, L"C:\\data");
    EXPECT_TRUE(IsDir("/data"));
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_LOCAL_APPDATA, FALSE));
    EXPECT_STREQ(path, L"C:\\state");
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_PROFILE, FALSE));
    EXPECT_STREQ(path, L"C:\\");
    EXPECT_FALSE(SHGetSpecialFolderPathW(nullptr, path, 0x7f, FALSE));
}

}  // namespace
