// How the tool reads its command line: quotes toggle and vanish, a backslash is
// a plain character, and only the extraction the client asks for is accepted.
#include <gtest/gtest.h>

#include "command_line.h"

namespace sevenza {
namespace {

using Words = std::vector<std::wstring>;

TEST(SplitWords, QuotesToggleAnywhereAndBackslashesArePlainCharacters) {
    const struct {
        const wchar_t* line;
        Words words;
    } cases[] = {{L"\"C:\\t\\7za.exe\" x \"C:\\t\\a.7z\" -o\"Z:\\tmp\\\" -aoa",
                  {L"C:\\t\\7za.exe", L"x", L"C:\\t\\a.7z", L"-oZ:\\tmp\\", L"-aoa"}},
                 {L"a\"b c\"d \"e\"\"f\" g", {L"ab cd", L"ef", L"g"}},
                 {L"\"a\\\\\" \"b\\\"c d", {L"a\\\\", L"b\\c", L"d"}},
                 {L"  x\t\"a\tb  c\"   -y  ", {L"x", L"a\tb  c", L"-y"}},  // outside quotes only
                 {L"x \"\" \"open quote", {L"x", L"", L"open quote"}}};
    for (const auto& c : cases) EXPECT_EQ(split_words(c.line), c.words) << c.line;
}

// Switches may come first and in any case; "--" ends them; without an overwrite switch
// existing files are not replaced.
TEST(ParseRequest, ReadsTheClientsExtractionAndRefusesWhatItCannotDo) {
    const struct {
        Words words;
        std::wstring archive, folder;
        Overwrite overwrite;
    } good[] = {{{L"x", L"C:\\t\\d.7z", L"-oC:\\t\\", L"-aoa"},
                 L"C:\\t\\d.7z",
                 L"C:\\t\\",
                 Overwrite::kAll},
                {{L"-AOS", L"-y", L"X", L"a.7z", L"-OUT"}, L"a.7z", L"UT", Overwrite::kSkip},
                {{L"x", L"a.7z"}, L"a.7z", L"", Overwrite::kAsk},
                {{L"x", L"--", L"-odd name.7z"}, L"-odd name.7z", L"", Overwrite::kAsk}};
    for (const auto& c : good) {
        Request r;
        std::string error;
        ASSERT_TRUE(parse_request(c.words, &r, &error)) << error;
        EXPECT_EQ(std::make_tuple(r.command, r.archive, r.output_folder, r.overwrite),
                  std::make_tuple(Request::Command::kExtract, c.archive, c.folder, c.overwrite));
    }
    const struct {
        Words words;
        const char* error;
    } bad[] = {{{L"a", L"new.7z", L"file"}, "command"},
               {{L"x", L"a.7z", L"-psecret"}, "-psecret"},
               {{L"x"}, ""},
               {{L"-aoa"}, ""},
               {{L"x", L"a.7z", L"-o"}, ""},
               {{L"x", L"a.7z", L"only-this.txt"}, ""}};
    for (const auto& c : bad) {
        Request r;
        std::string error;
        EXPECT_FALSE(parse_request(c.words, &r, &error)) << c.words.back();
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace sevenza
