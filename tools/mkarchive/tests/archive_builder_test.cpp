// The build's archives: readable back, stored when asked, the same bytes each build.
#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "archive_builder.h"

namespace mkarchive {
namespace {

namespace fs = std::filesystem;

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Read {
    std::string data;
    int mode = 0;
};

std::map<std::string, Read> read_archive(const std::string& path) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    std::map<std::string, Read> entries;
    archive* a = archive_read_new();
    archive_read_support_format_all(a);
    if (archive_read_open_filename(a, path.c_str(), 1 << 16) == ARCHIVE_OK) {
        archive_entry* e;
        while (archive_read_next_header(a, &e) == ARCHIVE_OK) {
            Read r;
            r.mode = archive_entry_perm(e);
            char buf[4096];
            la_ssize_t n;
            while ((n = archive_read_data(a, buf, sizeof buf)) > 0)
                r.data.append(buf, static_cast<size_t>(n));
            entries[archive_entry_pathname_utf8(e)] = r;
        }
    }
    archive_read_free(a);
    return entries;
}

class ArchiveBuilder : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/mkarchive-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        std::ofstream(dir_ + "/Dravon.dll", std::ios::binary) << std::string(100000, 'd');
        std::ofstream(dir_ + "/tool.exe", std::ios::binary) << "#!/bin/sh\n";
        chmod((dir_ + "/tool.exe").c_str(), 0755);
        std::ofstream(dir_ + "/skin.info") << "normal_ft \"12\"\n";
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string dir_;
};

TEST_F(ArchiveBuilder, SevenZipHoldsTheFilesUnderTheirNamesWithTheExecuteBit) {
    std::string out = dir_ + "/downloader.7z";
    std::string error;
    ASSERT_TRUE(build_archive(
        out, {parse_member(dir_ + "/Dravon.dll"), parse_member("bin/t.exe=" + dir_ + "/tool.exe")},
        Options{}, &error))
        << error;
    EXPECT_EQ(read_file(out).substr(0, 2), "7z");
    auto entries = read_archive(out);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries["Dravon.dll"].data, std::string(100000, 'd'));
    EXPECT_EQ(entries["Dravon.dll"].mode, 0644);
    EXPECT_EQ(entries["bin/t.exe"].data, "#!/bin/sh\n");
    EXPECT_EQ(entries["bin/t.exe"].mode, 0755);
    EXPECT_LT(fs::file_size(out), 10000u) << "the 7z archive is compressed";
}

TEST_F(ArchiveBuilder, StoredZipKeepsBytesInPlaceWithSizesInTheLocalHeader) {
    std::string out = dir_ + "/skin.zip";
    Options options;
    options.format = "zip";
    options.store = true;
    std::string error;
    ASSERT_TRUE(build_archive(out, {parse_member(dir_ + "/skin.info")}, options, &error)) << error;
    std::string bytes = read_file(out);
    ASSERT_GE(bytes.size(), 30u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("PK\3\4"));
    const auto u8 = [&](size_t at) { return static_cast<unsigned char>(bytes[at]); };
    EXPECT_EQ(u8(6) & 0x08, 0) << "no data descriptor: a reader finds the size up front";
    EXPECT_EQ(u8(8) | u8(9) << 8, 0) << "method 0: stored";
    EXPECT_EQ(u8(18) | u8(19) << 8, 15) << "compressed size in the local header";
    EXPECT_NE(bytes.find("normal_ft \"12\"\n"), std::string::npos);
    EXPECT_EQ(read_archive(out)["skin.info"].data, "normal_ft \"12\"\n");
}

TEST_F(ArchiveBuilder, SameInputsMakeTheSameBytes) {
    std::string error;
    ASSERT_TRUE(
        build_archive(dir_ + "/a.7z", {parse_member(dir_ + "/Dravon.dll")}, Options{}, &error));
    ASSERT_TRUE(
        build_archive(dir_ + "/b.7z", {parse_member(dir_ + "/Dravon.dll")}, Options{}, &error));
    EXPECT_EQ(read_file(dir_ + "/a.7z"), read_file(dir_ + "/b.7z"));
}

TEST_F(ArchiveBuilder, AMissingInputFailsAndLeavesNoArchive) {
    std::string error;
    EXPECT_FALSE(
        build_archive(dir_ + "/c.7z", {parse_member(dir_ + "/missing.dll")}, Options{}, &error));
    EXPECT_NE(error.find("missing.dll"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ + "/c.7z"));
    EXPECT_FALSE(fs::exists(dir_ + "/c.7z.part"));
}

TEST(ParseMember, NamesAFileAfterItselfUnlessGivenAName) {
    EXPECT_EQ(parse_member("/a/b/Selvik.dll").name, "Selvik.dll");
    EXPECT_EQ(parse_member("/a/b/Selvik.dll").path, "/a/b/Selvik.dll");
    EXPECT_EQ(parse_member("7za.exe=/x/sevenza").name, "7za.exe");
    EXPECT_EQ(parse_member("7za.exe=/x/sevenza").path, "/x/sevenza");
}

}  // namespace
}  // namespace mkarchive
