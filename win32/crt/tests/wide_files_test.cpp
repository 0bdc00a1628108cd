#include <windows.h>

#include <gtest/gtest.h>

#include <errno.h>

#include <fstream>
#include <iterator>
#include <string>

#include "../../kernel32/tests/file_test_folder.h"

namespace {

class WideFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        dir_.make_dir("t/sub");
        dir_.set_drives("T=%/t");
    }
    std::string read(const std::string& rel) {
        std::ifstream in(dir_.path() + "/t/" + rel, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    FileTestFolder dir_;
};

TEST_F(WideFiles, WfopenWritesThroughADrivePath) {
    FILE* f = _wfopen(L"T:\\sub\\log.txt", L"wb");
    ASSERT_NE(f, nullptr);
    fputs("line", f);
    fclose(f);
    f = _wfsopen(L"T:/sub/log.txt", L"a+b", _SH_DENYNO);
    ASSERT_NE(f, nullptr);
    fputs("+more", f);
    fclose(f);
    EXPECT_EQ(read("sub/log.txt"), "line+more");
    EXPECT_EQ(_wfopen(L"T:\\missing\\x.txt", L"r"), nullptr);
    EXPECT_EQ(_wfopen(L"T:\\none.txt", L"rt"), nullptr);
}

TEST_F(WideFiles, ReadOnlyFilesRefuseWritingOpens) {
    std::ofstream(dir_.path() + "/t/ro.txt") << "x";
    ASSERT_TRUE(SetFileAttributesW(L"T:\\ro.txt", FILE_ATTRIBUTE_READONLY));
    errno = 0;
    EXPECT_EQ(_wfopen(L"T:\\ro.txt", L"ab"), nullptr);
    EXPECT_EQ(errno, EACCES);
    FILE* f = _wfopen(L"T:\\ro.txt", L"rb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    EXPECT_EQ(_waccess(L"T:\\ro.txt", 0), 0);
    EXPECT_EQ(_waccess(L"T:\\ro.txt", 4), 0);
    EXPECT_EQ(_waccess(L"T:\\ro.txt", 6), -1);
    EXPECT_EQ(errno, EACCES);
}

TEST_F(WideFiles, WaccessTellsExistingFromMissing) {
    EXPECT_EQ(_waccess(L"T:\\sub", 6), 0);
    EXPECT_EQ(_waccess(L"T:\\nothing", 0), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(_waccess(L"T:\\sub", 1), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST_F(WideFiles, WstatFillsTheWindowsRecord) {
    std::ofstream(dir_.path() + "/t/data.bin") << "12345678";
    struct _stat st;
    ASSERT_EQ(_wstat(L"T:\\data.bin", &st), 0);
    EXPECT_EQ(st.st_size, 8);
    EXPECT_EQ(st.st_mode & _S_IFMT, _S_IFREG);
    EXPECT_TRUE(st.st_mode & _S_IWRITE);
    EXPECT_EQ(st.st_dev, static_cast<_dev_t>(L'T' - L'A'));
    EXPECT_GT(st.st_mtime, 0);
    ASSERT_EQ(_wstat(L"T:\\sub", &st), 0);
    EXPECT_EQ(st.st_mode & _S_IFMT, _S_IFDIR);
    EXPECT_EQ(_wstat(L"T:\\absent", &st), -1);
    EXPECT_EQ(errno, ENOENT);
}

}  // namespace
