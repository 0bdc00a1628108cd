// 7za.exe started as the client starts it, through CreateProcessW with the exact
// line "<7za>" x "<archive>" -o"<folder>" -aoa, on archives the tests make.
#include <gtest/gtest.h>
#include <win32_unixpath.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <filesystem>

#include "extractor.h"
#include "support/archive_writer.h"
#include "testing/random_bytes.h"
#include "testing/win32_run.h"

namespace sevenza_test {
namespace {

namespace fs = std::filesystem;
using testing_support::RandomBytes;
using testing_support::ReadAll;
using testing_support::TempDir;
using testing_support::WriteAll;
using Names = std::vector<std::string>;

Names listing(const std::string& folder) {
    Names names;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        names.push_back(fs::relative(e.path(), folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

testing_support::Win32Run tool(const std::wstring& arguments, const std::wstring& folder = L"") {
    return testing_support::RunWin32(L"\"" + UnixPathToWin32(SEVENZA_PATH) + L"\" " + arguments,
                                     folder);
}

// The run ended with `code` (-1: any failure) and printed `text`.
::testing::AssertionResult Ended(const testing_support::Win32Run& r, int code,
                                 const std::string& text = "") {
    if (r.started && (code < 0 ? r.exit_code != 0 : r.exit_code == DWORD(code)) &&
        r.output.find(text) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "exit " << r.exit_code << ": " << r.output;
}

class Extract : public ::testing::Test {
protected:
    void make(const std::vector<ArchiveEntry>& entries, const std::string& format = "7zip") {
        ASSERT_TRUE(write_archive(archive_, format, entries));
    }
    // The client's exact line: "<7za>" x "<archive>" -o"<folder>\" -aoa, or other switches.
    testing_support::Win32Run extract(const std::string& folder = "out",
                                      const std::wstring& switches = L" -aoa") {
        return tool(L"x \"" + dir_.winfile("a.7z") + L"\" -o\"" + dir_.winfile(folder) + L"\\\"" +
                    switches);
    }

    TempDir dir_;
    std::string archive_ = dir_.file("a.7z");
    std::string out_ = dir_.file("out");
};

// Every entry with its folders, modes, times and names outside ASCII; zip archives too.
TEST_F(Extract, UnpacksEveryEntryWithItsFoldersIntoTheQuotedFolder) {
    std::string big = RandomBytes(3 << 20, 1);
    make({file("Dravon.dll", "library bytes"), folder("data"), folder("data/empty"),
          file("data/sub/deep.bin", big), file("zero.txt", ""), file("setup.exe", "run me", 0755),
          file("游戏/说明 文档.txt", "说明"), file("readme", "r", 0600)});
    EXPECT_TRUE(Ended(extract(), 0));
    EXPECT_EQ(ReadAll(out_ + "/Dravon.dll") + ReadAll(out_ + "/游戏/说明 文档.txt"),
              "library bytes说明");
    EXPECT_EQ(ReadAll(out_ + "/data/sub/deep.bin"), big);
    EXPECT_EQ(fs::file_size(out_ + "/zero.txt"), 0u);
    EXPECT_EQ(listing(out_),
              (Names{"Dravon.dll", "data", "data/empty", "data/sub", "data/sub/deep.bin", "readme",
                     "setup.exe", "zero.txt", "游戏", "游戏/说明 文档.txt"}));
    struct stat st;
    ASSERT_EQ(stat((out_ + "/setup.exe").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0100, 0100u);
    EXPECT_EQ(st.st_mtime, 1700000000);
    ASSERT_EQ(stat((out_ + "/readme").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0077, 0u);

    make({file("a/b.txt", "zip entry")}, "zip");
    EXPECT_TRUE(Ended(extract(), 0));
    EXPECT_EQ(ReadAll(out_ + "/a/b.txt"), "zip entry");
}

// The client copies the tool out of a zip (no execute bit) into a temporary folder
// whose name may hold blanks and any script, then builds the line from that
// folder with its trailing backslash: "<temp>\\7za.exe" x "<temp>\\a.7z" -o"<temp>\" -aoa.
TEST_F(Extract, TakesFoldersAsTheClientWritesThem) {
    const std::string temp = dir_.file("用户 临时 folder");
    fs::create_directories(temp);
    WriteAll(temp + "/7za.exe", ReadAll(SEVENZA_PATH));
    fs::create_directories(temp + "/旧 版本");
    WriteAll(temp + "/Dravon.dll", "old library");
    ASSERT_TRUE(write_archive(temp + "/下载 器.7z", "7zip",
                              {file("Dravon.dll", "new library"), file("Dravon.ini", "[demo]\n"),
                               file("旧 版本/说明 文档.txt", "说明")}));

    const std::wstring folder = dir_.winfile("用户 临时 folder") + L"\\";
    EXPECT_TRUE(Ended(testing_support::RunWin32(L"\"" + folder + L"\\7za.exe\" x \"" + folder +
                                                L"\\下载 器.7z\" -o\"" + folder + L"\" -aoa"),
                      0));
    EXPECT_EQ(ReadAll(temp + "/Dravon.dll"), "new library");
    EXPECT_EQ(ReadAll(temp + "/Dravon.ini"), "[demo]\n");
    EXPECT_EQ(ReadAll(temp + "/旧 版本/说明 文档.txt"), "说明");

    // The folders with a doubled backslash, and relative ones into a missing folder.
    make({file("x.txt", "relative")});
    EXPECT_TRUE(Ended(
        tool(L"x \"" + dir_.win() + L"\\\\a.7z\" -o\"" + dir_.winfile("out") + L"\\\\\" -aoa"), 0));
    EXPECT_EQ(ReadAll(out_ + "/x.txt"), "relative");
    EXPECT_TRUE(Ended(tool(L"x a.7z -o\"new\\deeper\" -aoa", dir_.win()), 0));
    EXPECT_EQ(ReadAll(dir_.file("new/deeper/x.txt")), "relative");
}

// Existing files are replaced by new ones under their names: a read-only file, a link
// (not what it points to), and a loaded library whose mapped bytes stay as they were.
TEST_F(Extract, ReplacesExistingFilesByTheirNamesWithoutTouchingTheBytesAMappedCopySees) {
    fs::create_directories(out_);
    WriteAll(out_ + "/ro.txt", "old");
    chmod((out_ + "/ro.txt").c_str(), 0444);
    WriteAll(dir_.file("elsewhere.txt"), "must stay");
    fs::create_symlink(dir_.file("elsewhere.txt"), out_ + "/link.txt");
    const std::string old_bytes = RandomBytes(1 << 16, 2), new_bytes = RandomBytes(3 << 16, 3);
    WriteAll(out_ + "/Dravon.dll", old_bytes);
    const int fd = open((out_ + "/Dravon.dll").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    void* map = mmap(nullptr, old_bytes.size(), PROT_READ, MAP_SHARED, fd, 0);
    ASSERT_NE(map, MAP_FAILED);
    make({file("ro.txt", "new"), file("link.txt", "replaced the link"),
          file("Dravon.dll", new_bytes)});
    EXPECT_TRUE(Ended(extract(), 0));
    EXPECT_EQ(std::string(static_cast<const char*>(map), old_bytes.size()), old_bytes);
    munmap(map, old_bytes.size());
    close(fd);
    EXPECT_EQ(ReadAll(out_ + "/Dravon.dll"), new_bytes);
    EXPECT_EQ(ReadAll(out_ + "/ro.txt") + ReadAll(out_ + "/link.txt"), "newreplaced the link");
    EXPECT_FALSE(fs::is_symlink(out_ + "/link.txt"));
    EXPECT_EQ(ReadAll(dir_.file("elsewhere.txt")), "must stay");
    EXPECT_EQ(listing(out_), (Names{"Dravon.dll", "link.txt", "ro.txt"}))
        << "a temporary file was left";
}

TEST_F(Extract, RefusesNamesThatWouldLeaveTheFolderAndSaysSo) {
    fs::create_directories(out_ + "/inner");
    make({file("../evil1.txt", "x"), file("..\\evil2.txt", "x"), file("inner/../../evil3.txt", "x"),
          file(dir_.file("evil4.txt"), "x"), file("C:\\evil5.txt", "x"), file("good.txt", "kept")});
    const auto run = extract("out/inner");
    EXPECT_TRUE(Ended(run, -1, "evil1.txt") && Ended(run, -1, "refused"));
    EXPECT_EQ(ReadAll(out_ + "/inner/good.txt"), "kept");
    EXPECT_EQ(listing(dir_.path()), (Names{"a.7z", "out", "out/inner", "out/inner/good.txt"}));
}

TEST_F(Extract, RefusesLinkEntriesAndNeverWritesThroughALinkInTheFolder) {
    TempDir outside;
    fs::create_directories(out_);
    fs::create_directory_symlink(outside.path(), out_ + "/planted");
    make({symlink("escape", outside.path()), file("escape/through-entry.txt", "x"),
          file("planted/through-existing.txt", "x"), file("fine.txt", "y")});
    const auto run = extract();
    EXPECT_TRUE(Ended(run, -1, "links are not extracted") && Ended(run, -1, "is in the way"));
    EXPECT_TRUE(fs::is_empty(outside.path()));
    EXPECT_EQ(ReadAll(out_ + "/fine.txt"), "y");
}

TEST_F(Extract, WithoutAnOverwriteSwitchKeepsExistingFilesAndFailsAsAFolderInTheWayDoes) {
    fs::create_directories(out_);
    WriteAll(out_ + "/a.txt", "mine");
    make({file("a.txt", "theirs"), file("b.txt", "new")});
    EXPECT_TRUE(Ended(extract("out", L""), -1, "a.txt"));
    EXPECT_EQ(ReadAll(out_ + "/a.txt") + ReadAll(out_ + "/b.txt"), "minenew");

    EXPECT_TRUE(Ended(extract("out", L" -aos"), 0));
    EXPECT_EQ(ReadAll(out_ + "/a.txt"), "mine");

    fs::create_directories(out_ + "/Dravon.dll");
    make({file("Dravon.dll", "x")});
    EXPECT_TRUE(Ended(extract(), -1, "Dravon.dll"));
    EXPECT_TRUE(fs::is_directory(out_ + "/Dravon.dll"));
}

// A missing, foreign or cut archive fails with a message; stored data with a byte
// flipped, or with the declared size made huge in every header, fails too. No file is
// left under a damaged entry's name.
TEST_F(Extract, MissingOrDamagedArchivesAndDataFailAndLeaveNoFile) {
    EXPECT_TRUE(Ended(extract(), -1, "cannot open"));
    for (std::string text : {std::string(), std::string("hello world\n"), std::string(4096, 'z')}) {
        WriteAll(archive_, text);
        EXPECT_TRUE(Ended(extract(), 2, "cannot open")) << text;
    }
    make({file("big.bin", RandomBytes(1 << 20, 4))});
    const std::string cut = ReadAll(archive_);
    WriteAll(archive_, cut.substr(0, cut.size() / 2));
    EXPECT_TRUE(Ended(extract(), -1));
    EXPECT_FALSE(fs::exists(out_ + "/big.bin"));
    const std::string data = RandomBytes(10000, 7), size("\x10\x27\0\0", 4);
    for (std::string format : {"zip", "7zip", "zip-size"}) {
        const bool flip = format != "zip-size";
        if (!flip) format = "zip";
        ASSERT_TRUE(write_archive(archive_, format, {file("ok.txt", "ok"), file("d.bin", data)},
                                  format + ":compression=store"));
        std::string bytes = ReadAll(archive_);
        if (flip) bytes[bytes.find(data.substr(0, 16)) + 5000] ^= 0x20;
        for (size_t at = 0; !flip && (at = bytes.find(size, at)) != std::string::npos;)
            bytes.replace(at, 4, std::string("\0\0\0\x7f", 4));
        WriteAll(archive_, bytes);
        EXPECT_TRUE(Ended(extract(), 2)) << format << flip;
        EXPECT_FALSE(fs::exists(out_ + "/d.bin")) << format << flip;
        EXPECT_EQ(ReadAll(out_ + "/ok.txt"), "ok");
    }
}

TEST_F(Extract, ARunWritesNoMoreThanItsBoundAndNothingForABadCommandLine) {
    make({file("a.bin", std::string(600, 'a')), file("b.bin", std::string(600, 'b'))});
    Names errors;
    fs::create_directories(out_);
    sevenza::Extractor extractor(
        out_, sevenza::Overwrite::kAll,
        [&](const std::string& e, const std::string&) { errors.push_back(e); }, 1000);
    EXPECT_EQ(extractor.Extract(archive_).files, 1);
    EXPECT_EQ(errors, Names{"b.bin"});
    EXPECT_EQ(listing(out_), Names{"a.bin"});

    make({file("a.txt", "x")});
    EXPECT_TRUE(Ended(tool(L"a \"" + dir_.winfile("a.7z") + L"\""), 7, "unsupported command"));
    EXPECT_TRUE(Ended(tool(L"x \"" + dir_.winfile("a.7z") + L"\" -pw"), 7));
    EXPECT_FALSE(fs::exists(dir_.file("a.txt")));
}

}  // namespace
}  // namespace sevenza_test
