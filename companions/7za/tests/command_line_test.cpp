// How the tool reads its command line (quotes toggle and vanish, a backslash is a plain
// character, only the extraction the client asks for is accepted) and which entry names
// may be written below the output folder.
#include <gtest/gtest.h>

#include "command_line.h"
#include "entry_path.h"

namespace sevenza {
namespace {

using Words = std::vector<std::wstring>;

TEST(SplitWords, QuotesToggleAnywhereAndBackslashesArePlainCharacters) {
    const std::pair<const wchar_t*, Words> cases[] = {
        {L"\"C:\\t\\7za.exe\" x \"C:\\t\\a.7z\" -o\"Z:\\tmp\\\" -aoa",
         {L"C:\\t\\7za.exe", L"x", L"C:\\t\\a.7z", L"-oZ:\\tmp\\", L"-aoa"}},
        {L"a\"b c\"d \"e\"\"f\" g", {L"ab cd", L"ef", L"g"}},
        {L"\"a\\\\\" \"b\\\"c d", {L"a\\\\", L"b\\c", L"d"}},
        {L"  x\t\"a\tb  c\"   -y  ", {L"x", L"a\tb  c", L"-y"}},  // outside quotes only
        {L"x \"\" \"open quote", {L"x", L"", L"open quote"}}};
    for (const auto& [line, words] : cases) EXPECT_EQ(split_words(line), words) << line;
}

// Switches may come first and in any case; "--" ends them; without an overwrite switch
// existing files are not replaced.
TEST(ParseRequest, ReadsTheClientsExtractionAndRefusesWhatItCannotDo) {
    // clang-format off
    const std::tuple<Words, std::wstring, std::wstring, Overwrite> good[] = {
        {{L"x", L"C:\\t\\d.7z", L"-oC:\\t\\", L"-aoa"}, L"C:\\t\\d.7z", L"C:\\t\\", Overwrite::kAll},
        {{L"-AOS", L"-y", L"X", L"a.7z", L"-OUT"}, L"a.7z", L"UT", Overwrite::kSkip},
        {{L"x", L"a.7z"}, L"a.7z", L"", Overwrite::kAsk},
        {{L"x", L"--", L"-odd name.7z"}, L"-odd name.7z", L"", Overwrite::kAsk}};
    // clang-format on
    for (const auto& [words, archive, folder, overwrite] : good) {
        Request r;
        std::string error;
        ASSERT_TRUE(parse_request(words, &r, &error)) << error;
        EXPECT_EQ(std::make_tuple(r.command, r.archive, r.output_folder, r.overwrite),
                  std::make_tuple(Request::Command::kExtract, archive, folder, overwrite));
    }
    const std::pair<Words, const char*> bad[] = {{{L"a", L"new.7z", L"file"}, "command"},
                                                 {{L"x", L"a.7z", L"-psecret"}, "-psecret"},
                                                 {{L"x"}, ""},
                                                 {{L"-aoa"}, ""},
                                                 {{L"x", L"a.7z", L"-o"}, ""},
                                                 {{L"x", L"a.7z", L"only-this.txt"}, ""}};
    for (const auto& [words, message] : bad) {
        Request r;
        std::string error;
        EXPECT_FALSE(parse_request(words, &r, &error)) << words.back();
        EXPECT_NE(error.find(message), std::string::npos) << error;
    }
}

// Both slashes separate; dot and empty components drop; names with dots stay.
TEST(EntryPath, NamesSplitIntoTheirFoldersAndNothingLeavesTheOutputFolder) {
    using Parts = std::vector<std::string>;
    const std::pair<const char*, Parts> kept[] = {{"a/b\\c.txt", {"a", "b", "c.txt"}},
                                                  {"./a//b/./c/", {"a", "b", "c"}},
                                                  {"..a/b../...", {"..a", "b..", "..."}},
                                                  {"Dravon.dll", {"Dravon.dll"}}};
    for (const auto& [name, want] : kept) {
        Parts parts;
        std::string reason;
        EXPECT_TRUE(split_entry_path(name, &parts, &reason)) << name << ": " << reason;
        EXPECT_EQ(parts, want) << name;
    }
    for (const char* name :
         {"../evil", "..\\evil", "a/../../evil", "a/..", "/etc/passwd", "\\Windows\\evil",
          "C:\\evil", "C:evil", "file.txt:stream", "", ".", "./"}) {
        Parts parts;
        std::string reason;
        EXPECT_FALSE(split_entry_path(name, &parts, &reason) || reason.empty() || !parts.empty())
            << name;
    }
}

}  // namespace
}  // namespace sevenza
