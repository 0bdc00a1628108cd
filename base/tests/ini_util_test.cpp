#include "base/ini_util.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "base/string_util.h"
#include "support/log_capture.h"
#include "testing/temp_dir.h"

namespace {

using namespace base;
using testing_support::LogCapture;
using testing_support::ReadAll;
using testing_support::TempDir;
using testing_support::WriteAll;

TEST(IniUtilTest, ReadsValuesAndAnswersEmptyForMissingOnes) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("log.ini"), "[log]\r\nlevel=3\r\nretain_days=\r\n"));
    const std::wstring path = dir.winfile("log.ini");
    EXPECT_EQ(GetIniString(L"log", L"level", path, 260), L"3");
    EXPECT_EQ(GetIniString(L"LOG", L"LEVEL", path, 260), L"3");
    EXPECT_EQ(GetIniString(L"log", L"retain_days", path, 260), L"");
    EXPECT_EQ(GetIniString(L"log", L"missing", path, 260), L"");
    EXPECT_EQ(GetIniString(L"other", L"level", path, 260), L"");
    EXPECT_EQ(GetIniString(L"log", L"level", dir.winfile("none.ini"), 260), L"");
}

TEST(IniUtilTest, ValueIsCutToTheBufferAndSizeZeroIsEmpty) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("c.ini"), "[game]\r\nname=abcdef\r\n"));
    const std::wstring path = dir.winfile("c.ini");
    EXPECT_EQ(GetIniString(L"game", L"name", path, 4), L"abc");
    EXPECT_EQ(GetIniString(L"game", L"name", path, 1), L"");
    EXPECT_EQ(GetIniString(L"game", L"name", path, 0), L"");
}

TEST(IniUtilTest, WritesTextAndNumbersThatReadBack) {
    TempDir dir;
    const std::wstring path = dir.winfile("config.ini");
    EXPECT_TRUE(SetConfigFileInt(L"channel", L"UserChannel", L"渠道7", path));
    EXPECT_TRUE(SetConfigFileInt(L"channel", L"UserFrom", -12, path));
    EXPECT_EQ(GetIniString(L"channel", L"UserChannel", path, 260), L"渠道7");
    EXPECT_EQ(GetIniString(L"channel", L"UserFrom", path, 260), L"-12");
    EXPECT_NE(ReadAll(dir.file("config.ini")).find("UserFrom=-12"), std::string::npos);
}

TEST(IniUtilTest, FailedWriteIsLoggedWithItsErrorAndValues) {
    TempDir dir;
    LogCapture log;
    const std::wstring path = dir.winfile("missing\\folder\\config.ini");
    EXPECT_FALSE(SetConfigFileInt(L"game", L"name", 5, path));
    EXPECT_NE(log.Text().find("ERROR: SetConfigFileInt failed errorcode:3 app:game key:name "
                              "value:5 path:" +
                              base::WideToUtf8(path) + "\r\n"),
              std::string::npos)
        << log.Text();
}

}  // namespace
