#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "file_test_folder.h"

namespace {

class Find : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        dir_.make_dir("t/list/Sub");
        for (const char* name : {"a.txt", "B.TXT", "c.log", "noext", "ab.txt"})
            std::ofstream(dir_.path() + "/t/list/" + name) << "12345";
        dir_.set_drives("T=%/t");
    }

    std::vector<std::wstring> names(const wchar_t* pattern) {
        std::vector<std::wstring> out;
        WIN32_FIND_DATAW data;
        HANDLE h = FindFirstFileW(pattern, &data);
        if (h == INVALID_HANDLE_VALUE) return out;
        do {
            out.push_back(data.cFileName);
        } while (FindNextFileW(h, &data));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
        EXPECT_TRUE(FindClose(h));
        return out;
    }

    FileTestFolder dir_;
};

using Names = std::vector<std::wstring>;

TEST_F(Find, StarDotStarListsEverythingWithDotEntriesFirst) {
    EXPECT_EQ(names(L"T:\\list\\*.*"),
              (Names{L".", L"..", L"a.txt", L"ab.txt", L"B.TXT", L"c.log", L"noext", L"Sub"}));
    EXPECT_EQ(names(L"T:/list/*"), names(L"T:\\list\\*.*"));
}

TEST_F(Find, WildcardsIgnoreCase) {
    EXPECT_EQ(names(L"T:\\list\\*.TXT"), (Names{L"a.txt", L"ab.txt", L"B.TXT"}));
    EXPECT_EQ(names(L"T:\\list\\?.txt"), (Names{L"a.txt", L"B.TXT"}));
    EXPECT_EQ(names(L"T:\\list\\sub*"), (Names{L"Sub"}));
    EXPECT_EQ(names(L"T:\\list\\noext.*"), (Names{L"noext"}));
}

TEST_F(Find, EntriesCarryAttributesSizesAndTimes) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(L"T:\\list\\c.log", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, L"c.log");
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
    EXPECT_FALSE(FindNextFileW(h, &data));
    FindClose(h);

    h = FindFirstFileW(L"T:\\list\\S*", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    FindClose(h);
}

TEST_F(Find, NoMatchAndMissingFolderFailDifferently) {
    WIN32_FIND_DATAW data;
    EXPECT_EQ(FindFirstFileW(L"T:\\list\\*.exe", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(FindFirstFileW(L"T:\\nowhere\\*.*", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(Find, DriveRootHasNoDotEntries) {
    Names root = names(L"T:\\*.*");
    EXPECT_EQ(root, (Names{L"list"}));
}

TEST_F(Find, FindCloseRefusesOtherHandles) {
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
