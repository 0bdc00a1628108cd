#include "base/zlib_inflate.h"

#include <zlib.h>

#include "support/base_test.h"
#include "testing/zip_writer.h"

using namespace base;

namespace {

const auto* Bytes(const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); }

std::string Sample() {
    std::string out;
    for (int i = 0; i < 50000; ++i) out += static_cast<char>('a' + i * 31 % 26);
    return out;
}

// Gzip streams only when detection is asked for; a cut stream is a data error.
TEST(ZlibInflate, InflatesZlibAndWithDetectionGzipStreams) {
    const std::string text = Sample(), zlib = testzip::Deflate(text, 15),
                      gzip = testzip::Deflate(text, 31);
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
        unsigned char* out = nullptr;
        unsigned long length = 12345;
        EXPECT_EQ(InflateBuffer(Bytes(c.packed), c.packed.size(), &out, &length, c.gzip), c.result)
            << c.packed.size() << " " << c.gzip;
        if (c.result == Z_OK) EXPECT_EQ(out ? std::string((char*)out, length) : "", text);
        free(out);
    }
}

// To a file with or without a terminator; a gunzip replaces its target and refuses damage.
TEST(ZlibInflate, InflateToFileAndGunzipFileWriteTheDataOrNothing) {
    TempDir tmp;
    const std::string text = Sample(), gz = testzip::Deflate(text, 31);
    for (bool terminator : {false, true}) {
        HANDLE f = CreateFileW(tmp.winfile(terminator ? "t.bin" : "p.bin").c_str(), GENERIC_WRITE,
                               0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        EXPECT_EQ(terminator ? InflateToFileWithTerminator(Bytes(gz), gz.size(), f)
                             : InflateToFile(Bytes(gz), gz.size(), f),
                  Z_OK);
        CloseHandle(f);
    }
    EXPECT_EQ(ReadAll(tmp.file("p.bin")), text);
    EXPECT_EQ(ReadAll(tmp.file("t.bin")), text + std::string(4, '\0'));

    std::string bad_check = gz;
    bad_check[bad_check.size() - 8] ^= 0x55;  // the trailer's CRC-32
    ASSERT_TRUE(WriteAll(tmp.file("a.gz"), gz) && WriteAll(tmp.file("bad.gz"), bad_check));
    ASSERT_TRUE(WriteAll(tmp.file("out.txt"), std::string(200000, 'o')));
    EXPECT_TRUE(GunzipFile(tmp.winfile("a.gz").c_str(), tmp.winfile("out.txt").c_str()));
    EXPECT_EQ(ReadAll(tmp.file("out.txt")), text);
    EXPECT_FALSE(GunzipFile(tmp.winfile("bad.gz").c_str(), tmp.winfile("bad.txt").c_str()));
    EXPECT_FALSE(GunzipFile(tmp.winfile("missing.gz").c_str(), tmp.winfile("m.txt").c_str()));
    EXPECT_FALSE(Exists(tmp.file("m.txt")));
}

}  // namespace
