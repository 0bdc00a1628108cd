#include "base/ini_util.h"

#include "support/base_test.h"

namespace {

using base::GetIniString;

// Names ignore case; a value is cut to the buffer; a failed write is logged.
TEST(IniUtilTest, ReadsWhatIsThereCutToTheBufferAndWritesTextAndNumbers) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("c.ini"), "[log]\r\nlevel=3\r\nretain_days=\r\nname=abcdef\r\n"));
    const std::wstring path = dir.winfile("c.ini");
    const struct {
        const wchar_t *app, *key;
        DWORD size;
        std::wstring value;
    } cases[] = {{L"log", L"level", 260, L"3"},      {L"LOG", L"LEVEL", 260, L"3"},
                 {L"log", L"retain_days", 260, L""}, {L"log", L"missing", 260, L""},
                 {L"other", L"level", 260, L""},     {L"log", L"name", 4, L"abc"},
                 {L"log", L"name", 1, L""},          {L"log", L"name", 0, L""}};
    for (auto& c : cases) EXPECT_EQ(GetIniString(c.app, c.key, path, c.size), c.value) << c.key;
    EXPECT_EQ(GetIniString(L"log", L"level", dir.winfile("none.ini"), 260), L"");

    EXPECT_TRUE(base::SetConfigFileInt(L"channel", L"UserChannel", L"渠道7", path) &&
                base::SetConfigFileInt(L"channel", L"UserFrom", -12, path));
    EXPECT_EQ(GetIniString(L"channel", L"UserChannel", path, 260) + L"|" +
                  GetIniString(L"channel", L"UserFrom", path, 260),
              L"渠道7|-12");
    EXPECT_NE(ReadAll(dir.file("c.ini")).find("UserFrom=-12"), std::string::npos);
    base_test::LogCapture log;
    const std::wstring bad = dir.winfile("missing/folder/c.ini");
    EXPECT_FALSE(base::SetConfigFileInt(L"game", L"name", 5, bad));
    EXPECT_TRUE(
        log.Has("ERROR: SetConfigFileInt failed errorcode:3 app:game key:name value:5 path:" +
                base::WideToUtf8(bad) + "\r\n"))
        << log.Text();
}

}  // namespace
