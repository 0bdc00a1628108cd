#include "base/zlib_inflate.h"

#include <stdlib.h>
#include <zlib.h>

#include <string>

#include <gtest/gtest.h>

#include "support/folder_view.h"
#include "support/zip_writer.h"
#include "testing/temp_dir.h"

using namespace base;

namespace {

std::string Sample() {
    std::string out;
    for (int i = 0; i < 50000; ++i) out += static_cast<char>('a' + i * 31 % 26);
    return out;
}

using testzip::Deflate;

const unsigned char* Bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

struct Inflated {
    int result;
    std::string data;
};

Inflated Inflate(const std::string& packed, bool gzip) {
    unsigned char* out = nullptr;
    unsigned long length = 12345;
    int result = InflateBuffer(Bytes(packed), packed.size(), &out, &length, gzip);
    Inflated r{result, out ? std::string(reinterpret_cast<char*>(out), length) : std::string()};
    free(out);
    return r;
}

}  // namespace

// Gzip streams only when detection is asked for; a cut stream is a data error.
TEST(ZlibInflate, InflatesZlibAndWithDetectionGzipStreams) {
    const std::string text = Sample(), zlib = Deflate(text, 15), gzip = Deflate(text, 31);
    const struct {
        std::string packed;
        bool gzip;
        int result;
    } cases[] = {{zlib, false, Z_OK},
                 {zlib, true, Z_OK},
                 {gzip, true, Z_OK},
                 {gzip, false, Z_DATA_ERROR},
                 {zlib.substr(0, zlib.size() / 2), false, Z_DATA_ERROR},
                 {"not compressed at all", true, Z_DATA_ERROR}};
    for (const auto& c : cases) {
        auto r = Inflate(c.packed, c.gzip);
        EXPECT_EQ(r.result, c.result) << c.packed.size() << " " << c.gzip;
        if (c.result == Z_OK) EXPECT_EQ(r.data, text);
    }
}

TEST(ZlibInflate, InflateToFileWritesTheDataAndOptionallyATerminator) {
    testing_support::TempDir tmp;
    std::string text = Sample();
    std::string packed = Deflate(text, 31);
    for (bool terminator : {false, true}) {
        std::wstring path = WinPath(tmp, terminator ? "t.bin" : "p.bin");
        HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        int result = terminator ? InflateToFileWithTerminator(Bytes(packed), packed.size(), f)
                                : InflateToFile(Bytes(packed), packed.size(), f);
        CloseHandle(f);
        EXPECT_EQ(result, Z_OK);
    }
    EXPECT_EQ(testing_support::ReadAll(tmp.file("p.bin")), text);
    EXPECT_EQ(testing_support::ReadAll(tmp.file("t.bin")), text + std::string(4, '\0'));
}

TEST(ZlibInflate, GunzipFileReplacesTheTargetAndRefusesDamage) {
    testing_support::TempDir tmp;
    std::string text = Sample();
    std::string gz = Deflate(text, 31);
    ASSERT_TRUE(testing_support::WriteAll(tmp.file("a.gz"), gz));
    ASSERT_TRUE(testing_support::WriteAll(tmp.file("out.txt"), std::string(200000, 'o')));
    EXPECT_TRUE(GunzipFile(WinPath(tmp, "a.gz").c_str(), WinPath(tmp, "out.txt").c_str()));
    EXPECT_EQ(testing_support::ReadAll(tmp.file("out.txt")), text);

    std::string bad_check = gz;
    bad_check[bad_check.size() - 8] ^= 0x55;  // the trailer's CRC-32
    ASSERT_TRUE(testing_support::WriteAll(tmp.file("bad.gz"), bad_check));
    EXPECT_FALSE(GunzipFile(WinPath(tmp, "bad.gz").c_str(), WinPath(tmp, "bad.txt").c_str()));
    EXPECT_FALSE(GunzipFile(WinPath(tmp, "missing.gz").c_str(), WinPath(tmp, "m.txt").c_str()));
    EXPECT_FALSE(testing_support::Exists(tmp.file("m.txt")));
}
