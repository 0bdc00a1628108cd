#include <windows.h>

#include <gtest/gtest.h>

#include <errno.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace {

class WideFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_.file("sub"));
        std::ofstream(dir_.file("data.bin")) << "12345678";
    }
    testing_support::TempDir dir_;
    testing_support::ScopedEnv drives_{"WIN32_DRIVES", "T=" + dir_.path()};
};

TEST_F(WideFiles, OpenWriteAppendAccessAndStatThroughADrivePath) {
    auto put = [](FILE* f, const char* text) { return f && fputs(text, f) >= 0 && !fclose(f); };
    ASSERT_TRUE(put(_wfopen(L"T:\\sub\\log.txt", L"wb"), "line"));
    ASSERT_TRUE(put(_wfsopen(L"T:/sub/log.txt", L"a+b", _SH_DENYNO), "+more"));
    EXPECT_EQ(testing_support::ReadAll(dir_.file("sub/log.txt")), "line+more");
    EXPECT_EQ(_wfopen(L"T:\\missing\\x.txt", L"w"), nullptr);
    EXPECT_EQ(_wfopen(L"T:\\none.txt", L"rt"), nullptr);
    ASSERT_TRUE(SetFileAttributesW(L"T:\\data.bin", FILE_ATTRIBUTE_READONLY));
    errno = 0;
    EXPECT_EQ(_wfopen(L"T:\\data.bin", L"ab"), nullptr);
    EXPECT_EQ(errno, EACCES);
    const struct {
        const wchar_t* path;
        int mode, answer, error;
    } cases[] = {{L"T:\\data.bin", 4, 0, 0},
                 {L"T:\\data.bin", 6, -1, EACCES},
                 {L"T:\\sub", 6, 0, 0},
                 {L"T:\\nothing", 0, -1, ENOENT},
                 {L"T:\\sub", 1, -1, EINVAL}};
    for (const auto& c : cases) {
        errno = 0;
        EXPECT_EQ(_waccess(c.path, c.mode), c.answer) << c.path << " " << c.mode;
        EXPECT_EQ(errno, c.error) << c.path << " " << c.mode;
    }
    struct _stat st;
    ASSERT_EQ(_wstat(L"T:\\data.bin", &st), 0);
    EXPECT_EQ(std::make_tuple(st.st_size, st.st_mode & (_S_IFMT | _S_IWRITE), st.st_dev),
              std::make_tuple(8LL, _S_IFREG, static_cast<_dev_t>(L'T' - L'A')));
    EXPECT_GT(st.st_mtime, 0);
    ASSERT_EQ(_wstat(L"T:\\sub", &st), 0);
    EXPECT_EQ(st.st_mode & _S_IFMT, _S_IFDIR);
    EXPECT_EQ(_wstat(L"T:\\absent", &st), -1);
    EXPECT_EQ(errno, ENOENT);
}

}  // namespace
