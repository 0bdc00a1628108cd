// Reading resource manifests.
#include "manifest.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace rcpack
