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

std::string ErrorOf(const std::string& text) {
    Manifest m;
    std::string error;
    EXPECT_FALSE(ParseManifest(text, "/base", &m, &error)) << text;
    return error;
}

TEST(Manifest, ReadsCustomResourcesWithStringAndIntegerIds) {
    Manifest m = Parse(
        "# comment\n"
        "\"ZIP\" \"SKIN.ZIP\" skin.zip\n"
        "  INI IDR_INI_CONFIG /abs/config.ini\n"
        "RCDATA 0x65 \"with space.bin\"\n");
    ASSERT_EQ(m.files.size(), 3u);
    EXPECT_TRUE(m.files[0].type.is_string);
    EXPECT_EQ(m.files[0].type.name, "ZIP");
    EXPECT_EQ(m.files[0].name.name, "SKIN.ZIP");
    EXPECT_EQ(m.files[0].path, "/base/skin.zip");
    EXPECT_EQ(m.files[1].name.name, "IDR_INI_CONFIG");
    EXPECT_EQ(m.files[1].path, "/abs/config.ini");
    EXPECT_FALSE(m.files[2].type.is_string);
    EXPECT_EQ(m.files[2].type.id, 10u);
    EXPECT_EQ(m.files[2].name.id, 101u);
    EXPECT_EQ(m.files[2].path, "/base/with space.bin");
    EXPECT_EQ(m.files[2].line, 4);
}

// Strings take escapes and UTF-8; a language applies to the entries after it.
TEST(Manifest, StringsAndLanguages) {
    Manifest m = Parse("STRING 202 \"a\\\"b\\\\c\\n\\t游\"\n");
    ASSERT_EQ(m.strings.size(), 1u);
    EXPECT_EQ(m.strings[0].id, 202u);
    EXPECT_EQ(m.strings[0].text, U"a\"b\\c\n\t游");
    m = Parse("STRING 1 \"x\"\nLANGUAGE 4 2\nSTRING 1 \"y\"\nTEXT A a.txt\n");
    EXPECT_EQ(m.strings[0].lang, 0);
    EXPECT_EQ(m.strings[1].lang, 0x0804);
    EXPECT_EQ(m.files[0].lang, 0x0804);
}

TEST(Manifest, VersionNumbersAndValues) {
    Manifest m = Parse(
        "VERSION FILEVERSION 1.2.3.4\n"
        "VERSION TRANSLATION 0x0804 1200\n"
        "VERSION \"ProductName\" \"演示\"\n");
    ASSERT_TRUE(m.version.present);
    EXPECT_EQ(m.version.file[0], 1);
    EXPECT_EQ(m.version.file[3], 4);
    EXPECT_EQ(m.version.product[1], 2);  // the file version when none is given
    EXPECT_EQ(m.version.translation_lang, 0x0804);
    ASSERT_EQ(m.version.strings.size(), 1u);
    EXPECT_EQ(m.version.strings[0].second, U"演示");

    Manifest short_form = Parse("VERSION PRODUCTVERSION 3,1\n");
    EXPECT_EQ(short_form.version.product[0], 3);
    EXPECT_EQ(short_form.version.product[1], 1);
    EXPECT_EQ(short_form.version.product[2], 0);
}

TEST(Manifest, ErrorsNameTheLine) {
    EXPECT_EQ(ErrorOf("STRING 1 \"ok\"\nSTRING x \"bad\"\n"), "line 2: bad string id x");
    EXPECT_EQ(ErrorOf("STRING 1 \"open\n"), "line 1: unterminated quoted text");
    EXPECT_EQ(ErrorOf("STRING 1 unquoted\n"), "line 1: string text must be quoted");
    EXPECT_EQ(ErrorOf("ZIP NAME\n"), "line 1: expected <type> <name> <file>");
    EXPECT_EQ(ErrorOf("VERSION FILEVERSION 1.2.3.4.5\n"), "line 1: bad version number 1.2.3.4.5");
    EXPECT_EQ(ErrorOf("VERSION FILEVERSION 70000\n"), "line 1: bad version number 70000");
    EXPECT_EQ(ErrorOf("STRING 1 \"a\"\nSTRING 1 \"b\"\n"), "line 2: string 1 twice");
    EXPECT_EQ(ErrorOf("6 1 strings.bin\n"), "line 1: use ICON, STRING or VERSION for type 6");
    EXPECT_EQ(ErrorOf("ZIP 0 a.zip\n"), "line 1: resource id 0");
    EXPECT_EQ(ErrorOf("STRING 1 \"\\q\"\n"), "line 1: unknown escape \\q");
    EXPECT_EQ(ErrorOf("STRING 1 \"\xff\"\n"), "line 1: string text is not UTF-8");
}

}  // namespace
}  // namespace rcpack
