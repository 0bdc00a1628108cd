#include "base/file_version.h"

#include <win32_unixpath.h>

#include <gtest/gtest.h>

#include "testing/temp_dir.h"

namespace {

using namespace base;
using testing_support::TempDir;
using testing_support::WriteAll;

const std::wstring kVersioned = UnixPathToWin32(BASE_TEST_CHILD);

TEST(FileVersionTest, ReadsTheFixedFileVersionOfAFile) {
    EXPECT_EQ(GetFileVersionString(kVersioned), L"2.10.300.4");
    uint32_t parts[4] = {7, 7, 7, 7};
    GetFileVersionParts(kVersioned, parts);
    EXPECT_EQ(parts[0], 2u);
    EXPECT_EQ(parts[1], 10u);
    EXPECT_EQ(parts[2], 300u);
    EXPECT_EQ(parts[3], 4u);
}

TEST(FileVersionTest, AFileWithoutAVersionIsZeroAndLeavesPartsAlone) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("plain.exe"), "not a program"));
    EXPECT_EQ(GetFileVersionString(dir.winfile("plain.exe")), L"0.0.0.0");
    EXPECT_EQ(GetFileVersionString(dir.winfile("missing.exe")), L"0.0.0.0");
    uint32_t parts[4] = {7, 7, 7, 7};
    GetFileVersionParts(dir.winfile("plain.exe"), parts);
    EXPECT_EQ(parts[0], 7u);
    EXPECT_EQ(parts[3], 7u);

    EXPECT_EQ(CompareFileVersions(kVersioned, dir.winfile("plain.exe")), 1);
    EXPECT_EQ(CompareFileVersions(dir.winfile("missing.exe"), kVersioned), -1);
    EXPECT_EQ(CompareFileVersions(kVersioned, kVersioned), 0);
    EXPECT_EQ(CompareFileVersions(dir.winfile("plain.exe"), dir.winfile("missing.exe")), 0);
}

TEST(VersionTextTest, ParsesUpToFourPartsAndRefusesFive) {
    int32_t parts[4] = {9, 9, 9, 9};
    ParseVersionString(L"1.2", parts);
    EXPECT_EQ(parts[0], 1);
    EXPECT_EQ(parts[1], 2);
    EXPECT_EQ(parts[2], 0);
    EXPECT_EQ(parts[3], 0);
    ParseVersionString(L"3.x.5beta.-1", parts);
    EXPECT_EQ(parts[0], 3);
    EXPECT_EQ(parts[1], 0);
    EXPECT_EQ(parts[2], 5);
    EXPECT_EQ(parts[3], -1);
    ParseVersionString(L"1.2.3.4.5", parts);
    EXPECT_EQ(parts[0], 3);
    EXPECT_EQ(parts[3], -1);
}

TEST(VersionTextTest, ComparesPartByPartAsNumbers) {
    EXPECT_EQ(CompareVersionStrings(L"1.2", L"1.2.0.0"), 0);
    EXPECT_EQ(CompareVersionStrings(L"1.10", L"1.9"), 1);
    EXPECT_EQ(CompareVersionStrings(L"1.9", L"1.10"), -1);
    EXPECT_EQ(CompareVersionStrings(L"2.0.0.1", L"2.0.0.0"), 1);
    EXPECT_EQ(CompareVersionStrings(L"1.2.3.4.5", L"0.0.0.0"), 0);
    EXPECT_EQ(CompareVersionStrings(L"1.2.3.4.5", L"0.0.0.1"), -1);
    EXPECT_EQ(CompareVersionStrings(L"", L"0"), 0);
}

}  // namespace
