// The build's archives: readable back, stored when asked, the same bytes each build.
#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

#include <clocale>
#include <map>

#include "archive_builder.h"
#include "testing/temp_dir.h"

namespace mkarchive {
namespace {

using testing_support::Exists;
using testing_support::ReadAll;
using testing_support::WriteAll;
using Entries = std::map<std::string, std::string>;  // name: "<octal mode> <data>"

Entries ReadArchive(const std::string& path) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    Entries entries;
    archive* a = archive_read_new();
    archive_read_support_format_all(a);
    archive_entry* e;
    char buf[4096];
    if (archive_read_open_filename(a, path.c_str(), 1 << 16) == ARCHIVE_OK)
        while (archive_read_next_header(a, &e) == ARCHIVE_OK) {
            snprintf(buf, sizeof buf, "%o ", archive_entry_perm(e));
            std::string& r = entries[archive_entry_pathname_utf8(e)] = buf;
            for (la_ssize_t n; (n = archive_read_data(a, buf, sizeof buf)) > 0;) r.append(buf, n);
        }
    archive_read_free(a);
    return entries;
}

class ArchiveBuilder : public ::testing::Test {
protected:
    void SetUp() override {
        WriteAll(dir_.file("Dravon.dll"), std::string(100000, 'd'));
        WriteAll(dir_.file("tool.exe"), "#!/bin/sh\n");
        chmod(dir_.file("tool.exe").c_str(), 0755);
        WriteAll(dir_.file("skin.info"), "normal_ft \"12\"\n");
    }
    // Members as the command line names them: "name=file" or a file of the folder.
    bool Build(const std::string& out, const std::vector<std::string>& specs, Options o = {}) {
        std::vector<Member> members;
        for (const std::string& s : specs)
            members.push_back(parse_member(s.find('=') == s.npos ? dir_.file(s) : s));
        return build_archive(dir_.file(out), members, o, &error_);
    }

    testing_support::TempDir dir_;
    std::string error_;
};

TEST_F(ArchiveBuilder, SevenZipHoldsTheFilesUnderTheirNamesWithTheExecuteBit) {
    ASSERT_TRUE(Build("downloader.7z", {"Dravon.dll", "bin/t.exe=" + dir_.file("tool.exe")}))
        << error_;
    EXPECT_EQ(ReadAll(dir_.file("downloader.7z")).substr(0, 2), "7z");
    EXPECT_EQ(ReadArchive(dir_.file("downloader.7z")),
              (Entries{{"Dravon.dll", "644 " + std::string(100000, 'd')},
                       {"bin/t.exe", "755 #!/bin/sh\n"}}));
    EXPECT_LT(ReadAll(dir_.file("downloader.7z")).size(), 10000u) << "compressed";
}

TEST_F(ArchiveBuilder, StoredZipKeepsBytesInPlaceWithSizesInTheLocalHeader) {
    ASSERT_TRUE(Build("skin.zip", {"skin.info"}, Options{"zip", true})) << error_;
    const std::string bytes = ReadAll(dir_.file("skin.zip"));
    ASSERT_GE(bytes.size(), 30u);
    const auto u16 = [&](size_t at) { return uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8; };
    EXPECT_EQ(bytes.substr(0, 4), std::string("PK\3\4"));
    EXPECT_EQ(u16(6) & 0x08, 0) << "no data descriptor: a reader finds the size up front";
    EXPECT_EQ(u16(8), 0) << "method 0: stored";
    EXPECT_EQ(u16(18), 15) << "compressed size in the local header";
    EXPECT_EQ(ReadArchive(dir_.file("skin.zip")),
              (Entries{{"skin.info", "644 normal_ft \"12\"\n"}}));
}

TEST_F(ArchiveBuilder, SameInputsMakeTheSameBytesAndAMissingInputNoArchive) {
    ASSERT_TRUE(Build("a.7z", {"Dravon.dll"}) && Build("b.7z", {"Dravon.dll"}));
    EXPECT_EQ(ReadAll(dir_.file("a.7z")), ReadAll(dir_.file("b.7z")));
    EXPECT_FALSE(Build("c.7z", {"missing.dll"}));
    EXPECT_NE(error_.find("missing.dll"), std::string::npos);
    EXPECT_FALSE(Exists(dir_.file("c.7z")) || Exists(dir_.file("c.7z.part")));
}

}  // namespace
}  // namespace mkarchive
