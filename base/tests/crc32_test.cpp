#include "base/crc32.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <win32_unixpath.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

class TempFolder {
public:
    TempFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/crc-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        path_ = mkdtemp(buf.data());
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::string full = path_ + "/" + name;
        FILE* f = std::fopen(full.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return full;
    }
    std::string path() const { return path_; }

private:
    std::string path_;
};

TEST(Crc32Test, BufferGivesTheStandardCheckValue) {
    EXPECT_EQ(base::Crc32Buffer("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(base::Crc32Buffer("", 0), 0u);
}

TEST(Crc32Test, BytewiseStepsMatchTheBuffer) {
    uint32_t crc = 0xffffffffu;
    for (char c : std::string("123456789")) base::Crc32Byte(static_cast<unsigned char>(c), &crc);
    EXPECT_EQ(~crc, 0xCBF43926u);
}

TEST(Crc32Test, FileCrcCoversTheWholeFileAcrossReadChunks) {
    TempFolder dir;
    std::string data;
    for (int i = 0; i < 10000; ++i) data += static_cast<char>(i * 7 % 256);
    std::wstring path = UnixPathToWin32(dir.Write("data.bin", data));
    uint32_t crc = 0;
    EXPECT_EQ(base::Crc32File(path.c_str(), &crc), 0u);
    EXPECT_EQ(crc, 0xA0B70144u);

    std::wstring empty = UnixPathToWin32(dir.Write("empty.bin", ""));
    crc = 1;
    EXPECT_EQ(base::Crc32File(empty.c_str(), &crc), 0u);
    EXPECT_EQ(crc, 0u);
}

TEST(Crc32Test, AMissingFileAnswersTheOpenError) {
    TempFolder dir;
    std::wstring path = UnixPathToWin32(dir.path() + "/missing.bin");
    uint32_t crc = 1;
    EXPECT_EQ(base::Crc32File(path.c_str(), &crc), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(crc, 0u);  // the untouched start value, inverted
}

}  // namespace
