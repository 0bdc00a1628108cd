// Which entry names may be written below the output folder.
#include <gtest/gtest.h>

#include "entry_path.h"

namespace sevenza {
namespace {

using Parts = std::vector<std::string>;

// Both slashes separate; dot and empty components drop; names with dots stay.
TEST(EntryPath, NamesSplitIntoTheirFoldersAndNothingLeavesTheOutputFolder) {
    const struct {
        const char* name;
        Parts parts;
    } kept[] = {{"a/b\\c.txt", {"a", "b", "c.txt"}},
                {"./a//b/./c/", {"a", "b", "c"}},
                {"..a/b../...", {"..a", "b..", "..."}},
                {"Dravon.dll", {"Dravon.dll"}}};
    for (const auto& c : kept) {
        Parts parts;
        std::string reason;
        EXPECT_TRUE(split_entry_path(c.name, &parts, &reason)) << c.name << ": " << reason;
        EXPECT_EQ(parts, c.parts) << c.name;
    }
    for (const char* name :
         {"../evil", "..\\evil", "a/../../evil", "a/..", "/etc/passwd", "\\Windows\\evil",
          "C:\\evil", "C:evil", "file.txt:stream", "", ".", "./"}) {
        Parts parts;
        std::string reason;
        EXPECT_FALSE(split_entry_path(name, &parts, &reason)) << name;
        EXPECT_FALSE(reason.empty()) << name;
        EXPECT_TRUE(parts.empty()) << name;
    }
}

}  // namespace
}  // namespace sevenza
