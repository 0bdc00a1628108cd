#include "base/file_util.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "base/drive_util.h"
#include "base/path_util.h"
#include "support/child.h"
#include "support/handle_probe.h"
#include "support/log_capture.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace {

using namespace base;
using testing_support::Exists;
using testing_support::LogCapture;
using testing_support::ReadAll;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteAll;

void MakeDir(const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0700), 0) << path; }

// A tree: a.txt, sub/b.txt, sub/deeper/c.txt
void MakeTree(const TempDir& dir, const std::string& root) {
    MakeDir(dir.file(root));
    MakeDir(dir.file(root + "/sub"));
    MakeDir(dir.file(root + "/sub/deeper"));
    ASSERT_TRUE(WriteAll(dir.file(root + "/a.txt"), "a"));
    ASSERT_TRUE(WriteAll(dir.file(root + "/sub/b.txt"), "bb"));
    ASSERT_TRUE(WriteAll(dir.file(root + "/sub/deeper/c.txt"), "ccc"));
}

// A drive table with one extra drive R: whose folder is write-protected.
std::string TableWithReadOnlyDrive(const std::string& folder) {
    const char* home = getenv("HOME");
    return std::string("C=") + (home ? home : "/root") + ";R=" + folder + ":fixed:ro;Z=/";
}

TEST(FileTestsTest, ExistenceOfFilesAndPaths) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("f.txt"), "x"));
    EXPECT_TRUE(IsExistingFile(dir.winfile("f.txt")));
    EXPECT_FALSE(IsExistingFile(dir.win()));
    EXPECT_FALSE(IsExistingFile(dir.winfile("missing")));

    EXPECT_TRUE(PathExists(dir.winfile("f.txt").c_str()));
    EXPECT_TRUE(PathExists((dir.win() + L"\\").c_str()));
    EXPECT_TRUE(PathExists(dir.win().c_str()));
    EXPECT_FALSE(PathExists(dir.winfile("missing").c_str()));
    EXPECT_FALSE(PathExists(nullptr));
}

TEST(FileTestsTest, SizeOfLargeSparseFileAndOfMissingOne) {
    TempDir dir;
    const int fd = open(dir.file("big.bin").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 5000000123LL), 0);
    close(fd);
    EXPECT_EQ(GetFileSize64(dir.winfile("big.bin")), 5000000123LL);
    ASSERT_TRUE(WriteAll(dir.file("small.txt"), "hello"));
    EXPECT_EQ(GetFileSize64(dir.winfile("small.txt")), 5);
    EXPECT_EQ(GetFileSize64(dir.winfile("missing")), -1);
}

TEST(FileTestsTest, FileHeadIsAtMost129BytesUpToTheFirstZero) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("long.txt"), std::string(300, 'k')));
    EXPECT_EQ(ReadFileHead(dir.winfile("long.txt")), std::string(129, 'k'));
    ASSERT_TRUE(WriteAll(dir.file("zero.bin"), std::string("MZ\0rest", 7)));
    EXPECT_EQ(ReadFileHead(dir.winfile("zero.bin")), "MZ");
    EXPECT_EQ(ReadFileHead(dir.winfile("missing")), "");
    EXPECT_EQ(ReadFileHead(dir.win()), "");
}

TEST(FolderCheckTest, CreatesMissingFoldersAndLeavesNoTestFile) {
    TempDir dir;
    const std::wstring folder = dir.win() + L"\\new\\nested";
    EXPECT_EQ(CheckFolder(folder.c_str()), 0);
    EXPECT_TRUE(Exists(dir.file("new/nested")));
    EXPECT_FALSE(Exists(dir.file("new/nested/SM_testdir.dat")));
    EXPECT_TRUE(IsUsableFolder(dir.win()));
    EXPECT_TRUE(CanWriteFolder(dir.win().c_str()));
    EXPECT_FALSE(Exists(dir.file("SM_testdir.dat")));
}

TEST(FolderCheckTest, AFileIsNotAFolderAndAWriteProtectedDriveIsNotWritable) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("f.txt"), "x"));
    EXPECT_EQ(CheckFolder(dir.winfile("f.txt").c_str()), 1);
    EXPECT_FALSE(IsUsableFolder(dir.winfile("f.txt")));
    EXPECT_FALSE(CanWriteFolder(dir.winfile("f.txt").c_str()));
    EXPECT_FALSE(CanWriteFolder(nullptr));

    MakeDir(dir.file("ro"));
    ScopedEnv drives("WIN32_DRIVES", TableWithReadOnlyDrive(dir.file("ro")));
    EXPECT_EQ(CheckFolder(L"R:\\"), 2);
    EXPECT_FALSE(IsUsableFolder(L"R:\\"));
    EXPECT_FALSE(Exists(dir.file("ro/SM_testdir.dat")));
}

TEST(EnsureDirectoryTest, CreatesEveryMissingParent) {
    TempDir dir;
    const std::wstring deep = dir.win() + L"\\a\\b\\c";
    EXPECT_TRUE(EnsureDirectory(deep.c_str()));
    EXPECT_TRUE(Exists(dir.file("a/b/c")));
    EXPECT_TRUE(EnsureDirectory(deep.c_str()));
    EXPECT_TRUE(EnsureDirectory((dir.win() + L"\\x\\y\\").c_str()));
    EXPECT_TRUE(Exists(dir.file("x/y")));
}

TEST(EnsureDirectoryTest, FailsOnFilesAndCreatesNothingForABareName) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("f"), "x"));
    EXPECT_FALSE(EnsureDirectory(dir.winfile("f").c_str()));
    EXPECT_FALSE(EnsureDirectory((dir.win() + L"\\f\\sub").c_str()));
    EXPECT_FALSE(EnsureDirectory(nullptr));
    EXPECT_FALSE(EnsureDirectory(L""));

    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    EXPECT_TRUE(EnsureDirectory(L"bare_name"));
    EXPECT_FALSE(Exists(dir.file("bare_name")));
    // The bare parent counts as there, so the child's creation is what fails.
    EXPECT_FALSE(EnsureDirectory(L"rel\\sub"));
    EXPECT_FALSE(Exists(dir.file("rel")));
    ASSERT_EQ(chdir("/"), 0);
}

TEST(DeleteDirectoryTest, DeletesATreeWithOrWithoutTrailingBackslash) {
    TempDir dir;
    MakeTree(dir, "t1");
    MakeTree(dir, "t2");
    EXPECT_TRUE(DeleteDirectory(dir.winfile("t1").c_str()));
    EXPECT_TRUE(DeleteDirectory((dir.winfile("t2") + L"\\").c_str()));
    EXPECT_FALSE(Exists(dir.file("t1")));
    EXPECT_FALSE(Exists(dir.file("t2")));
    EXPECT_FALSE(DeleteDirectory(dir.winfile("t1").c_str()));
    EXPECT_FALSE(DeleteDirectory(nullptr));
}

TEST(DeleteDirectoryTest, RemovesLinksToFoldersWithoutTouchingTheirTargets) {
    TempDir dir;
    MakeTree(dir, "precious");
    MakeTree(dir, "tree");
    ASSERT_EQ(symlink(dir.file("precious").c_str(), dir.file("tree/sub/link").c_str()), 0);
    ASSERT_EQ(symlink(dir.file("precious/a.txt").c_str(), dir.file("tree/filelink").c_str()), 0);
    ASSERT_EQ(symlink(dir.file("gone").c_str(), dir.file("tree/dangling").c_str()), 0);
    ASSERT_EQ(symlink(dir.file("precious").c_str(), dir.file("toplink").c_str()), 0);

    EXPECT_TRUE(DeleteDirectory(dir.winfile("tree").c_str()));
    EXPECT_FALSE(Exists(dir.file("tree")));
    EXPECT_TRUE(DeleteDirectory(dir.winfile("toplink").c_str()));
    EXPECT_FALSE(Exists(dir.file("toplink")));
    ASSERT_EQ(symlink(dir.file("precious").c_str(), dir.file("slashlink").c_str()), 0);
    EXPECT_TRUE(DeleteDirectory((dir.winfile("slashlink") + L"\\").c_str()));
    EXPECT_FALSE(Exists(dir.file("slashlink")));

    EXPECT_EQ(ReadAll(dir.file("precious/a.txt")), "a");
    EXPECT_EQ(ReadAll(dir.file("precious/sub/deeper/c.txt")), "ccc");
}

TEST(DeleteDirectoryTest, AReadOnlyFileStaysAndTheRestGoes) {
    TempDir dir;
    MakeTree(dir, "t");
    ASSERT_TRUE(SetFileAttributesW(dir.winfile("t/sub/b.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(DeleteDirectory(dir.winfile("t").c_str()));
    EXPECT_TRUE(Exists(dir.file("t/sub/b.txt")));
    EXPECT_FALSE(Exists(dir.file("t/a.txt")));
    EXPECT_FALSE(Exists(dir.file("t/sub/deeper")));
}

TEST(ClearFolderTest, KeepsListedFilesIgnoringCaseAndTheFolder) {
    TempDir dir;
    MakeTree(dir, "t");
    ASSERT_TRUE(WriteAll(dir.file("t/Config.INI"), "k"));
    ASSERT_TRUE(WriteAll(dir.file("t/other.log"), "o"));
    ClearFolder(dir.winfile("t"), true, {L"config.ini", L"a.TXT"});
    EXPECT_EQ(ReadAll(dir.file("t/Config.INI")), "k");
    EXPECT_EQ(ReadAll(dir.file("t/a.txt")), "a");
    EXPECT_FALSE(Exists(dir.file("t/other.log")));
    EXPECT_FALSE(Exists(dir.file("t/sub")));

    ClearFolder(dir.winfile("t") + L"\\", false, {L"config.ini"});
    EXPECT_FALSE(Exists(dir.file("t")));
    ClearFolder(dir.winfile("t"), true, {});  // missing: nothing happens
    EXPECT_FALSE(Exists(dir.file("t")));
}

TEST(FileInUseTest, AFreeFileIsNotInUseAndStaysInPlace) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("setup.exe"), "payload"));
    EXPECT_FALSE(IsFileInUse(dir.winfile("setup.exe")));
    EXPECT_EQ(ReadAll(dir.file("setup.exe")), "payload");
    EXPECT_FALSE(Exists(dir.file("setup.exe.tmp")));
    EXPECT_FALSE(IsFileInUse(dir.winfile("missing.exe")));
}

TEST(FileInUseTest, AFileHeldByAnotherProcessIsInUseAndStaysInPlace) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("setup.exe"), "payload"));
    LogCapture log;
    testing_support::HeldChild child(BASE_TEST_CHILD, {"hold", dir.file("setup.exe")});
    ASSERT_EQ(child.ReadLine(), "ready");
    EXPECT_TRUE(IsFileInUse(dir.winfile("setup.exe")));
    EXPECT_EQ(child.Stop(), 0);
    EXPECT_EQ(ReadAll(dir.file("setup.exe")), "payload");
    EXPECT_FALSE(Exists(dir.file("setup.exe.tmp")));
    EXPECT_NE(log.Text().find("MESSAGE: 文件被占用，无法重命名，path:"), std::string::npos);
}

TEST(CopyTest, CopyFolderCopiesNestedFilesButNotDotFoldersOrLinks) {
    TempDir dir;
    MakeTree(dir, "src");
    MakeDir(dir.file("src/.git"));
    ASSERT_TRUE(WriteAll(dir.file("src/.git/HEAD"), "h"));
    ASSERT_EQ(symlink(dir.file("src").c_str(), dir.file("src/sub/loop").c_str()), 0);
    EXPECT_TRUE(CopyFolder(dir.winfile("src"), dir.winfile("dst\\new"), false, false));
    EXPECT_EQ(ReadAll(dir.file("dst/new/a.txt")), "a");
    EXPECT_EQ(ReadAll(dir.file("dst/new/sub/deeper/c.txt")), "ccc");
    EXPECT_FALSE(Exists(dir.file("dst/new/.git")));
    EXPECT_FALSE(Exists(dir.file("dst/new/sub/loop")));
}

TEST(CopyTest, CopyFolderKeepsOrReplacesExistingFiles) {
    TempDir dir;
    MakeTree(dir, "src");
    MakeDir(dir.file("dst"));
    ASSERT_TRUE(WriteAll(dir.file("dst/a.txt"), "old"));
    EXPECT_TRUE(CopyFolder(dir.winfile("src"), dir.winfile("dst"), false, false));
    EXPECT_EQ(ReadAll(dir.file("dst/a.txt")), "old");
    EXPECT_EQ(ReadAll(dir.file("dst/sub/b.txt")), "bb");

    ASSERT_TRUE(SetFileAttributesW(dir.winfile("dst/a.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(CopyFolder(dir.winfile("src"), dir.winfile("dst"), true, false));
    EXPECT_EQ(ReadAll(dir.file("dst/a.txt")), "a");
}

TEST(CopyTest, CopyFolderFromAMissingSourceCreatesTheDestinationOnly) {
    TempDir dir;
    EXPECT_TRUE(CopyFolder(dir.winfile("none"), dir.winfile("dst"), true, true));
    EXPECT_TRUE(Exists(dir.file("dst")));
}

TEST(CopyTest, CopyFolderStopsAtTheFirstFailureWhenAsked) {
    TempDir dir;
    MakeDir(dir.file("src"));
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        ASSERT_TRUE(WriteAll(dir.file(std::string("src/") + name), name));
    }
    // b.txt cannot be read while a handle holds it without read sharing.
    HANDLE held = CreateFileW(dir.winfile("src/b.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    LogCapture log;
    EXPECT_FALSE(CopyFolder(dir.winfile("src"), dir.winfile("dst"), false, true));
    EXPECT_TRUE(Exists(dir.file("dst/a.txt")));
    EXPECT_FALSE(Exists(dir.file("dst/c.txt")));
    const std::string text = log.Text();
    EXPECT_NE(text.find("ERROR: CopyFolder [CopyFile] srcFile:"), std::string::npos) << text;
    EXPECT_NE(text.find("ERROR: CopyFolder bRet FALSE\r\n"), std::string::npos);

    // Without the stop the copy goes on, and the answer is that of the last entry.
    EXPECT_TRUE(CopyFolder(dir.winfile("src"), dir.winfile("dst"), false, false));
    EXPECT_EQ(ReadAll(dir.file("dst/c.txt")), "c.txt");
    EXPECT_FALSE(Exists(dir.file("dst/b.txt")));
    CloseHandle(held);
    EXPECT_TRUE(CopyFolder(dir.winfile("src"), dir.winfile("dst"), false, true));
    EXPECT_EQ(ReadAll(dir.file("dst/b.txt")), "b.txt");
}

TEST(CopyTest, DeepCopyReplacesAReadOnlyDestination) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("new.dll"), "new"));
    ASSERT_TRUE(WriteAll(dir.file("old.dll"), "old"));
    ASSERT_TRUE(SetFileAttributesW(dir.winfile("old.dll").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(DeepCopyFile(dir.winfile("new.dll"), dir.winfile("old.dll")));
    EXPECT_EQ(ReadAll(dir.file("old.dll")), "new");
    EXPECT_TRUE(DeepCopyFile(dir.winfile("new.dll"), dir.winfile("fresh.dll")));
    EXPECT_EQ(ReadAll(dir.file("fresh.dll")), "new");
}

TEST(CopyTest, SideFilesOfALockedDestinationOrAFreeFileAreLeftAlone) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("new.dll"), "new"));
    ASSERT_TRUE(WriteAll(dir.file("old.dll"), "old"));
    ASSERT_TRUE(WriteAll(dir.file("old.dll.tmp"), "unrelated"));
    ASSERT_TRUE(WriteAll(dir.file("setup.exe"), "payload"));
    ASSERT_TRUE(WriteAll(dir.file("setup.exe.tmp"), "unrelated"));
    HANDLE held = CreateFileW(dir.winfile("old.dll").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    LogCapture log;
    std::thread letgo([&] {  // after the first copy attempt has failed
        while (log.Text().find("retry_count:0") == std::string::npos) Sleep(5);
        CloseHandle(held);
    });
    EXPECT_TRUE(DeepCopyFile(dir.winfile("new.dll"), dir.winfile("old.dll")));
    letgo.join();
    EXPECT_EQ(ReadAll(dir.file("old.dll")), "new");
    EXPECT_FALSE(IsFileInUse(dir.winfile("setup.exe")));
    EXPECT_EQ(ReadAll(dir.file("setup.exe")), "payload");
    for (const char* side : {"old.dll.tmp", "setup.exe.tmp"})
        EXPECT_EQ(ReadAll(dir.file(side)), "unrelated") << side;
}

TEST(CopyTest, CopyPathFileRetriesUntilTheDestinationCanBeWritten) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("src.bin"), "data"));
    LogCapture log;
    // The folder appears once the first attempt has failed, well before the second.
    std::thread maker([&dir, &log] {
        while (log.Text().find("retry_count:0") == std::string::npos) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        mkdir(dir.file("later").c_str(), 0700);
    });
    EXPECT_TRUE(CopyPathFile(dir.winfile("src.bin"), dir.winfile("later\\dst.bin")));
    maker.join();
    EXPECT_EQ(ReadAll(dir.file("later/dst.bin")), "data");
    const std::string text = log.Text();
    EXPECT_NE(text.find("retry_count:0 errorcode:3\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("retry_count:1"), std::string::npos);
}

TEST(CopyTest, CopyPathFileGivesUpAfterFourAttemptsAndAboutThreeSeconds) {
    TempDir dir;
    LogCapture log;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(CopyPathFile(dir.winfile("missing.bin"), dir.winfile("dst.bin")));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_GE(elapsed, std::chrono::milliseconds(2900));
    EXPECT_LT(elapsed, std::chrono::milliseconds(4500));
    const std::string text = log.Text();
    for (int i = 0; i < 4; ++i) {
        EXPECT_NE(text.find("retry_count:" + std::to_string(i) + " errorcode:2"),
                  std::string::npos);
    }
    EXPECT_EQ(text.find("retry_count:4"), std::string::npos);
    EXPECT_FALSE(Exists(dir.file("dst.bin")));
}

TEST(FileHandlesTest, SearchFileAndDeviceHandlesAreClosedOnEveryPath) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("f.txt"), "x"));
    auto exercise = [&dir] {
        MakeTree(dir, "t");
        EXPECT_TRUE(CanWriteFolder(dir.win().c_str()));
        EXPECT_EQ(GetFileSize64(dir.winfile("f.txt")), 1);
        EXPECT_EQ(GetFileSize64(dir.winfile("missing")), -1);
        EXPECT_EQ(ReadFileHead(dir.winfile("f.txt")), "x");
        EXPECT_TRUE(CopyFolder(dir.winfile("t"), dir.winfile("copy"), true, true));
        ClearFolder(dir.winfile("copy"), true, {L"a.txt"});
        EXPECT_FALSE(DeleteDirectory(dir.winfile("missing").c_str()));
        EXPECT_TRUE(DeleteDirectory(dir.winfile("copy").c_str()));
        EXPECT_TRUE(DeleteDirectory(dir.winfile("t").c_str()));
        IsExternalBusDrive(dir.win());
        GetLargestFreeFixedDrive();
    };
    exercise();
    const uintptr_t before = testing_support::HighestOfManyHandles();
    for (int i = 0; i < 3; ++i) exercise();
    EXPECT_EQ(testing_support::HighestOfManyHandles(), before);
}

}  // namespace
