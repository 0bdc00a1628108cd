// How the tool reads its command line: quotes toggle and vanish, a backslash is
// a plain character, and only the extraction the client asks for is accepted.
#include <gtest/gtest.h>

#include "command_line.h"

namespace sevenza {
namespace {

using Words = std::vector<std::wstring>;

TEST(SplitWords, QuotedFolderEndingInABackslashKeepsTheBackslash) {
    EXPECT_EQ(split_words(L"\"C:\\t\\7za.exe\" x \"C:\\t\\a.7z\" -o\"Z:\\tmp\\\" -aoa"),
              (Words{L"C:\\t\\7za.exe", L"x", L"C:\\t\\a.7z", L"-oZ:\\tmp\\", L"-aoa"}));
}

TEST(SplitWords, QuotesToggleAnywhereInAWord) {
    EXPECT_EQ(split_words(L"a\"b c\"d \"e\"\"f\" g"), (Words{L"ab cd", L"ef", L"g"}));
}

TEST(SplitWords, BackslashesBeforeQuotesAreNotEscapes) {
    EXPECT_EQ(split_words(L"\"a\\\\\" \"b\\\"c d"), (Words{L"a\\\\", L"b\\c", L"d"}));
}

TEST(SplitWords, BlanksAndTabsSeparateOutsideQuotesOnly) {
    EXPECT_EQ(split_words(L"  x\t\"a\tb  c\"   -y  "), (Words{L"x", L"a\tb  c", L"-y"}));
}

TEST(SplitWords, EmptyQuotesMakeAnEmptyWordAndAnOpenQuoteRunsToTheEnd) {
    EXPECT_EQ(split_words(L"x \"\" \"open quote"), (Words{L"x", L"", L"open quote"}));
}

TEST(ParseRequest, ReadsTheClientsExtraction) {
    Request r;
    std::string error;
    ASSERT_TRUE(parse_request(Words{L"x", L"C:\\t\\d.7z", L"-oC:\\t\\", L"-aoa"}, &r, &error))
        << error;
    EXPECT_EQ(r.command, Request::Command::kExtract);
    EXPECT_EQ(r.archive, L"C:\\t\\d.7z");
    EXPECT_EQ(r.output_folder, L"C:\\t\\");
    EXPECT_EQ(r.overwrite, Overwrite::kAll);
}

TEST(ParseRequest, SwitchesMayComeFirstAndInAnyCase) {
    Request r;
    std::string error;
    ASSERT_TRUE(parse_request(Words{L"-AOS", L"-y", L"X", L"a.7z", L"-OUT"}, &r, &error)) << error;
    EXPECT_EQ(r.overwrite, Overwrite::kSkip);
    EXPECT_EQ(r.output_folder, L"UT");
    EXPECT_EQ(r.archive, L"a.7z");
}

TEST(ParseRequest, WithoutAnOverwriteSwitchExistingFilesAreNotReplaced) {
    Request r;
    std::string error;
    ASSERT_TRUE(parse_request(Words{L"x", L"a.7z"}, &r, &error));
    EXPECT_EQ(r.overwrite, Overwrite::kAsk);
    EXPECT_TRUE(r.output_folder.empty());
}

TEST(ParseRequest, ADoubleDashEndsTheSwitches) {
    Request r;
    std::string error;
    ASSERT_TRUE(parse_request(Words{L"x", L"--", L"-odd name.7z"}, &r, &error)) << error;
    EXPECT_EQ(r.archive, L"-odd name.7z");
    EXPECT_TRUE(r.output_folder.empty());
}

TEST(ParseRequest, RefusesWhatItCannotDo) {
    Request r;
    std::string error;
    EXPECT_FALSE(parse_request(Words{L"a", L"new.7z", L"file"}, &r, &error));
    EXPECT_NE(error.find("command"), std::string::npos);
    EXPECT_FALSE(parse_request(Words{L"x", L"a.7z", L"-psecret"}, &r, &error));
    EXPECT_NE(error.find("-psecret"), std::string::npos);
    EXPECT_FALSE(parse_request(Words{L"x"}, &r, &error));
    EXPECT_FALSE(parse_request(Words{L"-aoa"}, &r, &error));
    EXPECT_FALSE(parse_request(Words{L"x", L"a.7z", L"-o"}, &r, &error));
    EXPECT_FALSE(parse_request(Words{L"x", L"a.7z", L"only-this.txt"}, &r, &error));
}

}  // namespace
}  // namespace sevenza
