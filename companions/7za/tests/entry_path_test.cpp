// Which entry names may be written below the output folder.
#include <gtest/gtest.h>

#include "entry_path.h"

namespace sevenza {
namespace {

using Parts = std::vector<std::string>;

Parts split(const std::string& name) {
    Parts parts;
    std::string reason;
    EXPECT_TRUE(split_entry_path(name, &parts, &reason)) << name << ": " << reason;
    return parts;
}

bool refused(const std::string& name) {
    Parts parts;
    std::string reason;
    bool ok = split_entry_path(name, &parts, &reason);
    return !ok && !reason.empty() && parts.empty();
}

TEST(EntryPath, BothSlashesSeparateFolders) {
    EXPECT_EQ(split("a/b\\c.txt"), (Parts{"a", "b", "c.txt"}));
}

TEST(EntryPath, DotAndEmptyComponentsAreDropped) {
    EXPECT_EQ(split("./a//b/./c/"), (Parts{"a", "b", "c"}));
}

TEST(EntryPath, NamesThatMerelyContainDotsAreKept) {
    EXPECT_EQ(split("..a/b../...").size(), 3u);
    EXPECT_EQ(split("Dravon.dll"), (Parts{"Dravon.dll"}));
}

TEST(EntryPath, RefusesEveryWayOutOfTheFolder) {
    EXPECT_TRUE(refused("../evil"));
    EXPECT_TRUE(refused("..\\evil"));
    EXPECT_TRUE(refused("a/../../evil"));
    EXPECT_TRUE(refused("a/.."));
    EXPECT_TRUE(refused("/etc/passwd"));
    EXPECT_TRUE(refused("\\Windows\\evil"));
    EXPECT_TRUE(refused("C:\\evil"));
    EXPECT_TRUE(refused("C:evil"));
    EXPECT_TRUE(refused("file.txt:stream"));
}

TEST(EntryPath, RefusesNamesThatComeToNothing) {
    EXPECT_TRUE(refused(""));
    EXPECT_TRUE(refused("."));
    EXPECT_TRUE(refused("./"));
}

}  // namespace
}  // namespace sevenza
