// 7za.exe started as the client starts it, through CreateProcessW with the exact
// line "<7za>" x "<archive>" -o"<folder>" -aoa, on archives the tests make.
#include <gtest/gtest.h>
#include <windows.h>

#include <sys/mman.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "extractor.h"
#include "support/archive_writer.h"
#include "support/run_tool.h"
#include "testing/temp_dir.h"

namespace sevenza_test {

using testing_support::ReadAll;
using testing_support::TempDir;
using testing_support::WriteAll;

namespace {

namespace fs = std::filesystem;

std::string random_bytes(size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string data(size, '\0');
    for (auto& c : data) c = static_cast<char>(gen());
    return data;
}

// Every name below a folder, relative, sorted.
std::vector<std::string> listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        names.push_back(fs::relative(e.path(), folder).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class Extract : public ::testing::Test {
protected:
    void make(const std::vector<ArchiveEntry>& entries, const std::string& format = "7zip") {
        ASSERT_TRUE(write_archive(archive_, format, entries));
    }
    ToolRun extract_as_client() {
        return run_tool(client_line(dir_.winfile("a.7z"), dir_.winfile("out") + L"\\"));
    }

    TempDir dir_;
    std::string archive_ = dir_.file("a.7z");
    std::string out_ = dir_.file("out");
};

TEST_F(Extract, UnpacksEveryEntryWithItsFoldersIntoTheQuotedFolder) {
    std::string big = random_bytes(3 << 20, 1);
    make({file("Dravon.dll", "library bytes"), file("Dravon.ini", "[demo]\nurl=x\n"),
          folder("data"), folder("data/empty"), file("data/sub/deep.bin", big),
          file("zero.txt", "")});
    ToolRun run = extract_as_client();
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exit_code, 0u) << run.output;
    EXPECT_EQ(ReadAll(out_ + "/Dravon.dll"), "library bytes");
    EXPECT_EQ(ReadAll(out_ + "/Dravon.ini"), "[demo]\nurl=x\n");
    EXPECT_EQ(ReadAll(out_ + "/data/sub/deep.bin"), big);
    EXPECT_TRUE(fs::is_directory(out_ + "/data/empty"));
    EXPECT_TRUE(fs::is_regular_file(out_ + "/zero.txt"));
    EXPECT_EQ(fs::file_size(out_ + "/zero.txt"), 0u);
    EXPECT_EQ(listing(out_),
              (std::vector<std::string>{"Dravon.dll", "Dravon.ini", "data", "data/empty",
                                        "data/sub", "data/sub/deep.bin", "zero.txt"}));
}

TEST_F(Extract, TakesTheTemporaryFolderWithADoubledBackslashAsTheClientBuildsIt) {
    make({file("Dravon.dll", "x")});
    std::wstring line = L"\"" + tool_path() + L"\" x \"" + dir_.win() + L"\\\\a.7z\" -o\"" +
                        dir_.winfile("out") + L"\\\\\" -aoa";
    ToolRun run = run_tool(line);
    EXPECT_EQ(run.exit_code, 0u) << run.output;
    EXPECT_EQ(ReadAll(out_ + "/Dravon.dll"), "x");
}

// The client copies the tool out of a zip (no execute bit) into a temporary folder
// whose name may hold blanks and any script, then builds the line from that
// folder with its trailing backslash: "<temp>\\7za.exe" x "<temp>\\a.7z" -o"<temp>\" -aoa.
TEST_F(Extract, RunsFromAndIntoAFolderWithBlanksAndChineseAsTheClientStartsIt) {
    const std::string temp = dir_.file("用户 临时 folder");
    fs::create_directories(temp);
    WriteAll(temp + "/7za.exe", ReadAll(SEVENZA_PATH));
    chmod((temp + "/7za.exe").c_str(), 0644);
    fs::create_directories(temp + "/旧 版本");
    WriteAll(temp + "/Dravon.dll", "old library");
    ASSERT_TRUE(write_archive(temp + "/下载 器.7z", "7zip",
                              {file("Dravon.dll", "new library"), file("Dravon.ini", "[demo]\n"),
                               file("旧 版本/说明 文档.txt", "说明")}));

    const std::wstring folder = dir_.winfile("用户 临时 folder") + L"\\";
    const std::wstring line = L"\"" + folder + L"\\7za.exe\" x \"" + folder +
                              L"\\下载 器.7z\" -o\"" + folder + L"\" -aoa";
    ToolRun run = run_tool(line);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exit_code, 0u) << run.output;
    EXPECT_EQ(ReadAll(temp + "/Dravon.dll"), "new library");
    EXPECT_EQ(ReadAll(temp + "/Dravon.ini"), "[demo]\n");
    EXPECT_EQ(ReadAll(temp + "/旧 版本/说明 文档.txt"), "说明");
    EXPECT_FALSE(fs::exists(dir_.file("Dravon.dll"))) << "extracted beside the folder, not into it";
}

TEST_F(Extract, KeepsModesTimesAndNamesOutsideAscii) {
    make({file("setup.exe", "run me", 0755), file("游戏/说明 文档.txt", "说明"),
          file("readme", "r", 0600)});
    ToolRun run = extract_as_client();
    ASSERT_EQ(run.exit_code, 0u) << run.output;
    EXPECT_EQ(ReadAll(out_ + "/游戏/说明 文档.txt"), "说明");
    struct stat st;
    ASSERT_EQ(stat((out_ + "/setup.exe").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0100, 0100u);
    EXPECT_EQ(st.st_mtime, 1700000000);
    ASSERT_EQ(stat((out_ + "/readme").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0077, 0u);
}

TEST_F(Extract, ReadsZipArchivesToo) {
    make({file("a/b.txt", "zip entry")}, "zip");
    ToolRun run = extract_as_client();
    EXPECT_EQ(run.exit_code, 0u) << run.output;
    EXPECT_EQ(ReadAll(out_ + "/a/b.txt"), "zip entry");
}

TEST_F(Extract, CreatesAMissingOutputFolderAndTakesRelativePaths) {
    make({file("x.txt", "relative")});
    std::wstring line = L"\"" + tool_path() + L"\" x a.7z -o\"new\\deeper\" -aoa";
    ToolRun run = run_tool(line, dir_.win());
    EXPECT_EQ(run.exit_code, 0u) << run.output;
    EXPECT_EQ(ReadAll(dir_.file("new/deeper/x.txt")), "relative");
}

TEST_F(Extract, ReplacesAnExistingFileWithoutTouchingTheBytesAMappedCopySees) {
    fs::create_directories(out_);
    const std::string old_bytes = random_bytes(1 << 16, 2);
    WriteAll(out_ + "/Dravon.dll", old_bytes);
    // What a process that loaded the library sees: a shared mapping of the file.
    int fd = open((out_ + "/Dravon.dll").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    struct stat before;
    fstat(fd, &before);
    void* map = mmap(nullptr, old_bytes.size(), PROT_READ, MAP_SHARED, fd, 0);
    ASSERT_NE(map, MAP_FAILED);

    const std::string new_bytes = random_bytes(3 << 16, 3);
    make({file("Dravon.dll", new_bytes)});
    ToolRun run = extract_as_client();
    EXPECT_EQ(run.exit_code, 0u) << run.output;

    EXPECT_EQ(std::string(static_cast<const char*>(map), old_bytes.size()), old_bytes);
    struct stat after;
    fstat(fd, &after);
    EXPECT_EQ(after.st_size, before.st_size) << "the loaded file was truncated or rewritten";
    EXPECT_EQ(ReadAll(out_ + "/Dravon.dll"), new_bytes);
    EXPECT_EQ(listing(out_), (std::vector<std::string>{"Dravon.dll"}))
        << "a temporary file was left";
    munmap(map, old_bytes.size());
    close(fd);
}

TEST_F(Extract, ReplacesAReadOnlyFileAndALinkByTheirNames) {
    fs::create_directories(out_);
    WriteAll(out_ + "/ro.txt", "old");
    chmod((out_ + "/ro.txt").c_str(), 0444);
    WriteAll(dir_.file("elsewhere.txt"), "must stay");
    fs::create_symlink(dir_.file("elsewhere.txt"), out_ + "/link.txt");
    make({file("ro.txt", "new"), file("link.txt", "replaced the link")});
    ToolRun run = extract_as_client();
    EXPECT_EQ(run.exit_code, 0u) << run.output;
    EXPECT_EQ(ReadAll(out_ + "/ro.txt"), "new");
    EXPECT_FALSE(fs::is_symlink(out_ + "/link.txt"));
    EXPECT_EQ(ReadAll(out_ + "/link.txt"), "replaced the link");
    EXPECT_EQ(ReadAll(dir_.file("elsewhere.txt")), "must stay");
}

TEST_F(Extract, RefusesNamesThatWouldLeaveTheFolderAndSaysSo) {
    fs::create_directories(out_ + "/inner");
    make({file("../evil1.txt", "x"), file("..\\evil2.txt", "x"), file("inner/../../evil3.txt", "x"),
          file(dir_.file("evil4.txt"), "x"), file("C:\\evil5.txt", "x"), file("good.txt", "kept")});
    ToolRun run = run_tool(client_line(dir_.winfile("a.7z"), dir_.winfile("out/inner") + L"\\"));
    EXPECT_NE(run.exit_code, 0u);
    EXPECT_NE(run.output.find("evil1.txt"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("refused"), std::string::npos) << run.output;
    EXPECT_EQ(ReadAll(out_ + "/inner/good.txt"), "kept");
    EXPECT_EQ(listing(dir_.path()),
              (std::vector<std::string>{"a.7z", "out", "out/inner", "out/inner/good.txt"}));
}

TEST_F(Extract, RefusesLinkEntriesAndNeverWritesThroughALinkInTheFolder) {
    TempDir outside;
    fs::create_directories(out_);
    fs::create_directory_symlink(outside.path(), out_ + "/planted");
    make({symlink("escape", outside.path()), file("escape/through-entry.txt", "x"),
          file("planted/through-existing.txt", "x"), file("fine.txt", "y")});
    ToolRun run = extract_as_client();
    EXPECT_NE(run.exit_code, 0u);
    EXPECT_NE(run.output.find("links are not extracted"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("is in the way"), std::string::npos) << run.output;
    EXPECT_TRUE(fs::is_empty(outside.path()));
    EXPECT_EQ(ReadAll(out_ + "/fine.txt"), "y");
}

TEST_F(Extract, WithoutAnOverwriteSwitchKeepsExistingFilesAndFails) {
    fs::create_directories(out_);
    WriteAll(out_ + "/a.txt", "mine");
    make({file("a.txt", "theirs"), file("b.txt", "new")});
    ToolRun ask = run_tool(L"\"" + tool_path() + L"\" x \"" + dir_.winfile("a.7z") + L"\" -o\"" +
                           dir_.winfile("out") + L"\"");
    EXPECT_NE(ask.exit_code, 0u);
    EXPECT_NE(ask.output.find("a.txt"), std::string::npos) << ask.output;
    EXPECT_EQ(ReadAll(out_ + "/a.txt"), "mine");
    EXPECT_EQ(ReadAll(out_ + "/b.txt"), "new");

    ToolRun skip = run_tool(L"\"" + tool_path() + L"\" x \"" + dir_.winfile("a.7z") + L"\" -o\"" +
                            dir_.winfile("out") + L"\" -aos");
    EXPECT_EQ(skip.exit_code, 0u) << skip.output;
    EXPECT_EQ(ReadAll(out_ + "/a.txt"), "mine");
}

TEST_F(Extract, AFolderInTheWayOfAFileIsAnError) {
    fs::create_directories(out_ + "/Dravon.dll");
    make({file("Dravon.dll", "x")});
    ToolRun run = extract_as_client();
    EXPECT_NE(run.exit_code, 0u);
    EXPECT_NE(run.output.find("Dravon.dll"), std::string::npos) << run.output;
    EXPECT_TRUE(fs::is_directory(out_ + "/Dravon.dll"));
}

TEST_F(Extract, FailsWithAMessageOnAMissingOrDamagedArchive) {
    ToolRun missing = extract_as_client();
    EXPECT_NE(missing.exit_code, 0u);
    EXPECT_NE(missing.output.find("cannot open"), std::string::npos) << missing.output;

    for (std::string text : {std::string(), std::string("hello world\n"), std::string(4096, 'z')}) {
        WriteAll(archive_, text);
        ToolRun garbage = extract_as_client();
        EXPECT_EQ(garbage.exit_code, 2u) << text;
        EXPECT_NE(garbage.output.find("cannot open"), std::string::npos) << garbage.output;
    }

    make({file("big.bin", random_bytes(1 << 20, 4))});
    std::string bytes = ReadAll(archive_);
    WriteAll(archive_, bytes.substr(0, bytes.size() / 2));
    ToolRun cut = extract_as_client();
    EXPECT_NE(cut.exit_code, 0u);
    EXPECT_FALSE(fs::exists(out_ + "/big.bin"))
        << "a half-written file was left under the entry's name";
}

// Stored data with a byte flipped, or with the declared size made huge in every header.
TEST_F(Extract, DamagedDataFailsAndLeavesNoFile) {
    const std::string data = random_bytes(10000, 7), size("\x10\x27\0\0", 4);
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
        EXPECT_EQ(extract_as_client().exit_code, 2u) << format << flip;
        EXPECT_FALSE(fs::exists(out_ + "/d.bin")) << format << flip;
        EXPECT_EQ(ReadAll(out_ + "/ok.txt"), "ok");
    }
}

TEST_F(Extract, ARunWritesNoMoreThanItsBound) {
    make({file("a.bin", std::string(600, 'a')), file("b.bin", std::string(600, 'b'))});
    std::vector<std::string> errors;
    fs::create_directories(out_);
    sevenza::Extractor extractor(
        out_, sevenza::Overwrite::kAll,
        [&](const std::string& e, const std::string&) { errors.push_back(e); }, 1000);
    sevenza::ExtractResult result = extractor.Extract(archive_);
    EXPECT_EQ(result.files, 1);
    EXPECT_EQ(errors, std::vector<std::string>{"b.bin"});
    EXPECT_EQ(listing(out_), std::vector<std::string>{"a.bin"});
}

TEST_F(Extract, ABadCommandLineEndsWithSevenAndAMessage) {
    make({file("a.txt", "x")});
    ToolRun unknown = run_tool(L"\"" + tool_path() + L"\" a \"" + dir_.winfile("a.7z") + L"\"");
    EXPECT_EQ(unknown.exit_code, 7u);
    EXPECT_NE(unknown.output.find("unsupported command"), std::string::npos) << unknown.output;
    ToolRun bad_switch =
        run_tool(L"\"" + tool_path() + L"\" x \"" + dir_.winfile("a.7z") + L"\" -pw");
    EXPECT_EQ(bad_switch.exit_code, 7u);
    EXPECT_FALSE(fs::exists(dir_.file("a.txt")));
}

}  // namespace
}  // namespace sevenza_test
