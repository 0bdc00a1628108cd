#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

class FolderPicker : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/w32folderXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        log_ = dir_ + "/dialogs.log";
        unsetenv("WIN32_FOLDER_ANSWER");
        unsetenv("WIN32_DIALOG_LOG");
        bi_.lpszTitle = L"选择下载目录";
        bi_.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
        bi_.pszDisplayName = name_;
    }
    void TearDown() override {
        unlink(log_.c_str());
        rmdir(dir_.c_str());
    }
    std::string read_log() {
        std::ifstream in(log_);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::string dir_, log_;
    BROWSEINFOW bi_{};
    WCHAR name_[MAX_PATH] = L"untouched";
};

TEST_F(FolderPicker, CancelsWithoutAnAnswer) {
    EXPECT_EQ(SHBrowseForFolderW(&bi_), nullptr);
    setenv("WIN32_FOLDER_ANSWER", "", 1);
    EXPECT_EQ(SHBrowseForFolderW(&bi_), nullptr);
    EXPECT_STREQ(name_, L"untouched");
}

TEST_F(FolderPicker, AnsweredPathComesBackThroughTheIdList) {
    setenv("WIN32_FOLDER_ANSWER", "D:\\游戏\\下载", 1);
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&bi_);
    ASSERT_NE(list, nullptr);
    WCHAR path[MAX_PATH] = L"";
    EXPECT_TRUE(SHGetPathFromIDListW(list, path));
    EXPECT_STREQ(path, L"D:\\游戏\\下载");
    EXPECT_STREQ(name_, L"下载");
    CoTaskMemFree(list);
}

TEST_F(FolderPicker, DriveRootShowsItsDriveAsName) {
    setenv("WIN32_FOLDER_ANSWER", "C:\\", 1);
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&bi_);
    ASSERT_NE(list, nullptr);
    WCHAR path[MAX_PATH] = L"";
    EXPECT_TRUE(SHGetPathFromIDListW(list, path));
    EXPECT_STREQ(path, L"C:\\");
    EXPECT_STREQ(name_, L"C:\\");
    CoTaskMemFree(list);
}

TEST_F(FolderPicker, EachPickAppendsARecordLine) {
    setenv("WIN32_DIALOG_LOG", log_.c_str(), 1);
    setenv("WIN32_FOLDER_ANSWER", "E:\\games", 1);
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&bi_);
    ASSERT_NE(list, nullptr);
    CoTaskMemFree(list);
    unsetenv("WIN32_FOLDER_ANSWER");
    EXPECT_EQ(SHBrowseForFolderW(&bi_), nullptr);
    EXPECT_EQ(read_log(),
              "folder\t\t选择下载目录\t0x00000041\tE:\\\\games\n"
              "folder\t\t选择下载目录\t0x00000041\t\n");
}

TEST_F(FolderPicker, PathFromNoListOrAForeignListFails) {
    WCHAR path[MAX_PATH] = L"x";
    EXPECT_FALSE(SHGetPathFromIDListW(nullptr, path));
    const BYTE empty[2] = {0, 0};
    EXPECT_FALSE(SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(empty), path));
    EXPECT_STREQ(path, L"");
}

TEST_F(FolderPicker, NoBrowseInfoAnswersNothing) {
    setenv("WIN32_FOLDER_ANSWER", "C:\\a", 1);
    EXPECT_EQ(SHBrowseForFolderW(nullptr), nullptr);
}

}  // namespace
