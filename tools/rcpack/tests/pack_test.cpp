// Reading resource manifests, and building the resource blob and the resources inside it.
#include "manifest.h"
#include "pack.h"

#include <w32/rsrc_format.h>

#include <gtest/gtest.h>

#include <string.h>

namespace rcpack {
namespace {

Manifest Parse(const std::string& text) {
    Manifest m;
    std::string error;
    EXPECT_TRUE(ParseManifest(text, "/base", &m, &error)) << error;
    return m;
}

std::string Id(const ResId& r) { return r.is_string ? r.name : "#" + std::to_string(r.id); }

TEST(Manifest, ReadsCustomResourcesWithStringAndIntegerIds) {
    std::string files;
    for (const FileResource& f : Parse("# comment\n"
                                       "\"ZIP\" \"SKIN.ZIP\" skin.zip\n"
                                       "  INI IDR_INI_CONFIG /abs/config.ini\n"
                                       "RCDATA 0x65 \"with space.bin\"\n")
                                     .files)
        files += Id(f.type) + " " + Id(f.name) + " " + f.path + " " + std::to_string(f.line) + "\n";
    EXPECT_EQ(files,
              "ZIP SKIN.ZIP /base/skin.zip 2\nINI IDR_INI_CONFIG /abs/config.ini 3\n"
              "#10 #101 /base/with space.bin 4\n");
}

// Strings take escapes and UTF-8; a language applies to the entries after it.
TEST(Manifest, StringsAndLanguages) {
    Manifest m = Parse("STRING 202 \"a\\\"b\\\\c\\n\\t游\"\n");
    ASSERT_EQ(m.strings.size(), 1u);
    EXPECT_EQ(m.strings[0].id, 202u);
    EXPECT_EQ(m.strings[0].text, U"a\"b\\c\n\t游");
    m = Parse("STRING 1 \"x\"\nLANGUAGE 4 2\nSTRING 1 \"y\"\nTEXT A a.txt\n");
    EXPECT_EQ(std::make_tuple(m.strings[0].lang, m.strings[1].lang, m.files[0].lang),
              std::make_tuple(0, 0x0804, 0x0804));
}

TEST(Manifest, VersionNumbersAndValues) {
    Manifest m = Parse(
        "VERSION FILEVERSION 1.2.3.4\n"
        "VERSION TRANSLATION 0x0804 1200\n"
        "VERSION \"ProductName\" \"演示\"\n");
    ASSERT_TRUE(m.version.present);
    const auto& v = m.version;
    // The product version is the file version when none is given.
    EXPECT_EQ(std::vector<int>({v.file[0], v.file[3], v.product[1], v.translation_lang}),
              std::vector<int>({1, 4, 2, 0x0804}));
    ASSERT_EQ(v.strings.size(), 1u);
    EXPECT_EQ(v.strings[0].second, U"演示");
    m = Parse("VERSION PRODUCTVERSION 3,1\n");
    const uint16_t* p = m.version.product;
    EXPECT_EQ(std::vector<int>(p, p + 3), std::vector<int>({3, 1, 0}));
}

TEST(Manifest, ErrorsNameTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"STRING 1 \"ok\"\nSTRING x \"bad\"\n", "line 2: bad string id x"},
        {"STRING 1 \"open\n", "line 1: unterminated quoted text"},
        {"STRING 1 unquoted\n", "line 1: string text must be quoted"},
        {"ZIP NAME\n", "line 1: expected <type> <name> <file>"},
        {"VERSION FILEVERSION 1.2.3.4.5\n", "line 1: bad version number 1.2.3.4.5"},
        {"VERSION FILEVERSION 70000\n", "line 1: bad version number 70000"},
        {"STRING 1 \"a\"\nSTRING 1 \"b\"\n", "line 2: string 1 twice"},
        {"6 1 strings.bin\n", "line 1: use ICON, STRING or VERSION for type 6"},
        {"ZIP 0 a.zip\n", "line 1: resource id 0"},
        {"STRING 1 \"\\q\"\n", "line 1: unknown escape \\q"},
        {"STRING 1 \"\xff\"\n", "line 1: string text is not UTF-8"}};
    for (const auto& [text, expected] : cases) {
        Manifest m;
        std::string error;
        EXPECT_FALSE(ParseManifest(text, "/base", &m, &error)) << text;
        EXPECT_EQ(error, expected);
    }
}

template <class T = uint32_t>
T Word(const Bytes& b, size_t at) {
    T v;
    memcpy(&v, b.data() + at, sizeof v);
    return v;
}

TEST(Blob, HeaderEntriesPoolAndAlignedData) {
    const Bytes blob = BuildBlob({{{true, 0, "ZIP"}, {true, 0, "SKIN.ZIP"}, 0, {1, 2, 3}},
                                  {{false, 10, ""}, {false, 101, ""}, 0x0804, {9}}});

    w32::rsrc::BlobHeader h;
    memcpy(&h, blob.data(), sizeof h);
    EXPECT_EQ(memcmp(h.magic, w32::rsrc::kMagic, 8), 0);
    EXPECT_EQ(h.total_size, blob.size());
    EXPECT_EQ(h.total_size % 16, 0u);
    ASSERT_EQ(h.entry_count, 2u);

    w32::rsrc::BlobEntry e[2];
    memcpy(e, blob.data() + sizeof h, sizeof e);
    const auto pooled = [&](uint32_t at) {
        return std::string(reinterpret_cast<const char*>(blob.data() + h.pool_offset + at));
    };
    EXPECT_EQ(e[0].flags, w32::rsrc::kTypeIsString | w32::rsrc::kNameIsString);
    EXPECT_EQ(pooled(e[0].type) + " " + pooled(e[0].name), "ZIP SKIN.ZIP");
    EXPECT_EQ(std::make_tuple(e[0].size, e[0].data_offset % 16, blob[e[0].data_offset + 2]),
              std::make_tuple(3u, 0u, 3));
    EXPECT_EQ(std::make_tuple(e[1].flags, e[1].type, e[1].name, e[1].lang, e[1].data_offset % 16,
                              blob[e[1].data_offset]),
              std::make_tuple(0, 10u, 101u, 0x0804, 0u, 9));
}

TEST(Blob, StringBlocksHoldSixteenCountedStrings) {
    StringEntry s1{17, 0, U"ab", 1}, s2{31, 0, U"游", 2};
    Bytes block = BuildStringBlock({&s1, &s2});
    // Entry 1 ("ab") after one empty entry; entries 2..14 empty; entry 15 ("游").
    EXPECT_EQ(block.size(), 4u * (16 + 2 + 1));
    EXPECT_EQ((std::vector<uint32_t>{Word(block, 0), Word(block, 4), Word(block, 8),
                                     Word(block, 12), Word(block, 68), Word(block, 72)}),
              (std::vector<uint32_t>{0, 2, U'a', U'b', 1, U'游'}));
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
    for (uint16_t i = 0; i < 4; ++i) v.file[i] = i + 1;
    v.strings = {{U"CompanyName", U"Maker"}};
    Bytes b;
    std::string error;
    ASSERT_TRUE(BuildVersionBlock(v, true, &b, &error)) << error;
    EXPECT_EQ(Word<uint16_t>(b, 0), b.size());
    EXPECT_EQ(Word<uint16_t>(b, 2), 52);  // VS_FIXEDFILEINFO
    const size_t fixed = 8 + 4 * 16;      // after "VS_VERSION_INFO" and its terminator
    // The fixed part's signature, versions and file type (a DLL), then StringFileInfo.
    EXPECT_EQ(
        (std::vector<uint32_t>{Word(b, 8), Word(b, fixed), Word(b, fixed + 8), Word(b, fixed + 12),
                               Word(b, fixed + 36), Word(b, fixed + 52 + 8)}),
        (std::vector<uint32_t>{U'V', 0xFEEF04BDu, 0x00010002u, 0x00030004u, 2u, U'S'}));
}

TEST(Icon, APngBecomesOneImageAndItsGroupAnIcoKeepsItsImages) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0,  0, 0, 13, 'I', 'H', 'D',
                 'R',  0,   0,   1,   0,    0,    0,    0,    48, 8, 6, 0,  0,   0};
    std::vector<Resource> out;
    uint32_t next = 5;
    std::string error;
    ASSERT_TRUE(BuildIcon(png, 128, 0, &next, &out, &error)) << error;
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(std::make_tuple(out[0].type.id, out[0].name.id, out[1].type.id, out[1].name.id),
              std::make_tuple(3u, 5u, 14u, 128u));
    EXPECT_EQ(out[0].data, png);
    const Bytes& dir = out[1].data;
    ASSERT_EQ(dir.size(), 20u);
    // 256 wide is written as 0.
    EXPECT_EQ(std::make_tuple(dir[6], dir[7], Word<uint16_t>(dir, 18), next),
              std::make_tuple(0, 48, 5, 6u));

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

    EXPECT_FALSE(BuildIcon(Bytes(ico.begin(), ico.begin() + 39), 1, 0, &next, &out, &error));
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
