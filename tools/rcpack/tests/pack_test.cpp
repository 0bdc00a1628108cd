// Building the resource blob and the resources inside it.
#include "pack.h"

#include <w32/rsrc_format.h>

#include <gtest/gtest.h>

#include <string.h>

namespace rcpack {
namespace {

uint32_t Get32(const Bytes& b, size_t at) {
    uint32_t v;
    memcpy(&v, b.data() + at, 4);
    return v;
}
uint16_t Get16(const Bytes& b, size_t at) {
    uint16_t v;
    memcpy(&v, b.data() + at, 2);
    return v;
}

TEST(Blob, HeaderEntriesPoolAndAlignedData) {
    Resource a;
    a.type = {true, 0, "ZIP"};
    a.name = {true, 0, "SKIN.ZIP"};
    a.data = {1, 2, 3};
    Resource b;
    b.type.id = 10;
    b.name.id = 101;
    b.lang = 0x0804;
    b.data = {9};
    Bytes blob = BuildBlob({a, b});

    w32::rsrc::BlobHeader h;
    memcpy(&h, blob.data(), sizeof h);
    EXPECT_EQ(memcmp(h.magic, w32::rsrc::kMagic, 8), 0);
    EXPECT_EQ(h.total_size, blob.size());
    EXPECT_EQ(h.total_size % 16, 0u);
    ASSERT_EQ(h.entry_count, 2u);

    w32::rsrc::BlobEntry e[2];
    memcpy(e, blob.data() + sizeof h, sizeof e);
    EXPECT_EQ(e[0].flags, w32::rsrc::kTypeIsString | w32::rsrc::kNameIsString);
    EXPECT_STREQ(reinterpret_cast<const char*>(blob.data() + h.pool_offset + e[0].type), "ZIP");
    EXPECT_STREQ(reinterpret_cast<const char*>(blob.data() + h.pool_offset + e[0].name),
                 "SKIN.ZIP");
    EXPECT_EQ(e[0].size, 3u);
    EXPECT_EQ(e[0].data_offset % 16, 0u);
    EXPECT_EQ(blob[e[0].data_offset + 2], 3);
    EXPECT_EQ(e[1].flags, 0);
    EXPECT_EQ(e[1].type, 10u);
    EXPECT_EQ(e[1].name, 101u);
    EXPECT_EQ(e[1].lang, 0x0804);
    EXPECT_EQ(e[1].data_offset % 16, 0u);
    EXPECT_EQ(blob[e[1].data_offset], 9);
}

TEST(Blob, StringBlocksHoldSixteenCountedStrings) {
    StringEntry s1{17, 0, U"ab", 1};
    StringEntry s2{31, 0, U"游", 2};
    Bytes block = BuildStringBlock({&s1, &s2});
    // Entry 1 ("ab") after one empty entry; entries 2..14 empty; entry 15 ("游").
    EXPECT_EQ(block.size(), 4u * (16 + 2 + 1));
    EXPECT_EQ(Get32(block, 0), 0u);
    EXPECT_EQ(Get32(block, 4), 2u);
    EXPECT_EQ(Get32(block, 8), U'a');
    EXPECT_EQ(Get32(block, 12), U'b');
    EXPECT_EQ(Get32(block, block.size() - 8), 1u);
    EXPECT_EQ(Get32(block, block.size() - 4), U'游');
}

TEST(Blob, StringsAreGroupedIntoBlocksByLanguage) {
    Manifest m;
    m.strings = {{202, 0, U"key", 1}, {203, 0, U"x", 2}, {17, 0, U"y", 3}, {202, 0x0409, U"en", 4}};
    std::vector<Resource> res;
    std::string error;
    ASSERT_TRUE(CollectResources(m, false, &res, &error)) << error;
    ASSERT_EQ(res.size(), 3u);  // block 13 neutral, block 2 neutral, block 13 English
    for (auto& r : res) EXPECT_EQ(r.type.id, 6u);
}

TEST(Version, TreeOfFixedPartStringsAndTranslation) {
    VersionInfo v;
    v.present = true;
    uint16_t file[4] = {1, 2, 3, 4};
    memcpy(v.file, file, sizeof file);
    v.strings = {{U"CompanyName", U"Maker"}};
    Bytes b;
    std::string error;
    ASSERT_TRUE(BuildVersionBlock(v, true, &b, &error)) << error;
    EXPECT_EQ(Get16(b, 0), b.size());
    EXPECT_EQ(Get16(b, 2), 52);  // VS_FIXEDFILEINFO
    EXPECT_EQ(Get32(b, 8), U'V');
    size_t fixed = 8 + 4 * 16;  // after "VS_VERSION_INFO" and its terminator
    EXPECT_EQ(Get32(b, fixed), 0xFEEF04BDu);
    EXPECT_EQ(Get32(b, fixed + 8), 0x00010002u);
    EXPECT_EQ(Get32(b, fixed + 12), 0x00030004u);
    EXPECT_EQ(Get32(b, fixed + 36), 2u);  // a DLL
    size_t child = fixed + 52;
    EXPECT_EQ(Get32(b, child + 8), U'S');  // StringFileInfo
}

TEST(Icon, APngBecomesOneImageAndItsGroupAnIcoKeepsItsImages) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0,  0, 0, 13, 'I', 'H', 'D',
                 'R',  0,   0,   1,   0,    0,    0,    0,    48, 8, 6, 0,  0,   0};
    std::vector<Resource> out;
    uint32_t next = 5;
    std::string error;
    ASSERT_TRUE(BuildIcon(png, 128, 0, &next, &out, &error)) << error;
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].type.id, 3u);
    EXPECT_EQ(out[0].name.id, 5u);
    EXPECT_EQ(out[0].data, png);
    EXPECT_EQ(out[1].type.id, 14u);
    EXPECT_EQ(out[1].name.id, 128u);
    const Bytes& dir = out[1].data;
    ASSERT_EQ(dir.size(), 20u);
    EXPECT_EQ(dir[6], 0);  // 256 wide is written as 0
    EXPECT_EQ(dir[7], 48);
    EXPECT_EQ(Get16(dir, 18), 5);
    EXPECT_EQ(next, 6u);

    // The images of an .ico keep their bytes; a cut one or another format is refused.
    Bytes ico = {0, 0,  1,  0, 2, 0, 16, 16, 0, 0, 1, 0, 32, 0,  2, 0, 0, 0,   38,  0,  0,
                 0, 32, 32, 0, 0, 1, 0,  32, 0, 1, 0, 0, 0,  40, 0, 0, 0, 'a', 'b', 'c'};
    out.clear();
    next = 1;
    ASSERT_TRUE(BuildIcon(ico, 1, 0, &next, &out, &error)) << error;
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].data, (Bytes{'a', 'b'}));
    EXPECT_EQ(out[1].data, (Bytes{'c'}));
    EXPECT_EQ(out[2].data[4], 2);  // two images in the group

    Bytes truncated = ico;
    truncated.resize(39);
    EXPECT_FALSE(BuildIcon(truncated, 1, 0, &next, &out, &error));
    EXPECT_FALSE(BuildIcon(Bytes{'G', 'I', 'F'}, 1, 0, &next, &out, &error));
}

// The same type, name and language twice is refused; a missing file is named.
TEST(Collect, DuplicatesAndMissingFilesAreRefused) {
    Manifest m;
    m.files = {{{true, 0, "ZIP"}, {true, 0, "a"}, 0, "/dev/null", 1},
               {{true, 0, "zip"}, {true, 0, "A"}, 0, "/dev/null", 2}};
    std::vector<Resource> res;
    std::string error;
    EXPECT_FALSE(CollectResources(m, false, &res, &error));
    EXPECT_NE(error.find("given twice"), std::string::npos);
    m.files = {{{true, 0, "ZIP"}, {true, 0, "A"}, 0, "/no/such/file.zip", 3}};
    EXPECT_FALSE(CollectResources(m, false, &res, &error));
    EXPECT_EQ(error, "line 3: cannot read /no/such/file.zip");
}

}  // namespace
}  // namespace rcpack
