#include "base/file_util.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <thread>

#include "base/drive_util.h"
#include "support/child.h"
#include "support/folder_view.h"
#include "support/handle_probe.h"
#include "support/log_capture.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace {

using namespace base;
using testing_support::Exists;
using testing_support::LogCapture;
using testing_support::ReadAll;
using testing_support::TempDir;
using testing_support::WriteAll;

void MakeDir(const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0700), 0) << path; }

// A tree: a.txt, sub/b.txt, sub/deeper/c.txt
void MakeTree(const TempDir& dir, const std::string& root) {
    for (const char* folder : {"", "/sub", "/sub/deeper"}) MakeDir(dir.file(root + folder));
    ASSERT_TRUE(WriteAll(dir.file(root + "/a.txt"), "a"));
    ASSERT_TRUE(WriteAll(dir.file(root + "/sub/b.txt"), "bb"));
    ASSERT_TRUE(WriteAll(dir.file(root + "/sub/deeper/c.txt"), "ccc"));
}

bool MakeReadOnly(const std::wstring& path) {
    return SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
}

// The log gets this line: the test's other thread may act now.
void After(const LogCapture& log, const char* text, const std::function<void()>& act) {
    while (log.Text().find(text) == std::string::npos) Sleep(5);
    act();
}

TEST(FileTestsTest, ExistenceSizeAndHeadOfFiles) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("f.txt"), "hello"));
    ASSERT_TRUE(WriteAll(dir.file("long.txt"), std::string(300, 'k')));
    ASSERT_TRUE(WriteAll(dir.file("zero.bin"), std::string("MZ\0rest", 7)));
    const int fd = open(dir.file("big.bin").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_EQ(ftruncate(fd, 5000000123LL), 0);
    close(fd);
    EXPECT_TRUE(IsExistingFile(dir.winfile("f.txt")));
    EXPECT_FALSE(IsExistingFile(dir.win()));
    EXPECT_FALSE(IsExistingFile(dir.winfile("missing")));
    for (const std::wstring& path : {dir.winfile("f.txt"), dir.win() + L"\\", dir.win()})
        EXPECT_TRUE(PathExists(path.c_str()));
    EXPECT_FALSE(PathExists(dir.winfile("missing").c_str()));
    EXPECT_FALSE(PathExists(nullptr));
    EXPECT_EQ(GetFileSize64(dir.winfile("big.bin")), 5000000123LL);
    EXPECT_EQ(GetFileSize64(dir.winfile("f.txt")), 5);
    EXPECT_EQ(GetFileSize64(dir.winfile("missing")), -1);
    EXPECT_EQ(ReadFileHead(dir.winfile("long.txt")), std::string(129, 'k'));
    EXPECT_EQ(ReadFileHead(dir.winfile("zero.bin")), "MZ");
    EXPECT_EQ(ReadFileHead(dir.winfile("missing")), "");
    EXPECT_EQ(ReadFileHead(dir.win()), "");
}

TEST(FolderCheckTest, CreatesMissingFoldersAndTellsFilesAndWriteProtectedDrivesApart) {
    TempDir dir;
    EXPECT_EQ(CheckFolder((dir.win() + L"\\new\\nested").c_str()), 0);
    EXPECT_TRUE(Exists(dir.file("new/nested")));
    EXPECT_TRUE(IsUsableFolder(dir.win()));
    EXPECT_TRUE(CanWriteFolder(dir.win().c_str()));
    EXPECT_FALSE(Exists(dir.file("new/nested/SM_testdir.dat")));
    EXPECT_FALSE(Exists(dir.file("SM_testdir.dat")));

    ASSERT_TRUE(WriteAll(dir.file("f.txt"), "x"));
    EXPECT_EQ(CheckFolder(dir.winfile("f.txt").c_str()), 1);
    EXPECT_FALSE(IsUsableFolder(dir.winfile("f.txt")));
    EXPECT_FALSE(CanWriteFolder(dir.winfile("f.txt").c_str()));
    EXPECT_FALSE(CanWriteFolder(nullptr));

    MakeDir(dir.file("ro"));
    const char* home = getenv("HOME");
    testing_support::ScopedEnv drives("WIN32_DRIVES", std::string("C=") + (home ? home : "/root") +
                                                          ";R=" + dir.file("ro") + ":fixed:ro;Z=/");
    EXPECT_EQ(CheckFolder(L"R:\\"), 2);
    EXPECT_FALSE(IsUsableFolder(L"R:\\"));
    EXPECT_FALSE(Exists(dir.file("ro/SM_testdir.dat")));
}

TEST(EnsureDirectoryTest, CreatesEveryMissingParentButNothingForABareName) {
    TempDir dir;
    const std::wstring deep = dir.win() + L"\\a\\b\\c";
    EXPECT_TRUE(EnsureDirectory(deep.c_str()));
    EXPECT_TRUE(Exists(dir.file("a/b/c")));
    EXPECT_TRUE(EnsureDirectory(deep.c_str()));
    EXPECT_TRUE(EnsureDirectory((dir.win() + L"\\x\\y\\").c_str()));
    EXPECT_TRUE(Exists(dir.file("x/y")));

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

// Links to folders, inside the tree or the tree itself (with or without a trailing
// backslash), are removed as links.
TEST(DeleteDirectoryTest, DeletesATreeAndLinksButNotTheirTargetsNorReadOnlyFiles) {
    TempDir dir;
    MakeTree(dir, "precious");
    MakeTree(dir, "tree");
    MakeTree(dir, "t2");
    ASSERT_EQ(symlink(dir.file("precious").c_str(), dir.file("tree/sub/link").c_str()), 0);
    ASSERT_EQ(symlink(dir.file("precious/a.txt").c_str(), dir.file("tree/filelink").c_str()), 0);
    ASSERT_EQ(symlink(dir.file("gone").c_str(), dir.file("tree/dangling").c_str()), 0);
    ASSERT_EQ(symlink(dir.file("precious").c_str(), dir.file("toplink").c_str()), 0);
    ASSERT_EQ(symlink(dir.file("precious").c_str(), dir.file("slashlink").c_str()), 0);
    for (const std::wstring& path : {dir.winfile("tree"), dir.winfile("t2") + L"\\",
                                     dir.winfile("toplink"), dir.winfile("slashlink") + L"\\"})
        EXPECT_TRUE(DeleteDirectory(path.c_str()));
    for (const char* gone : {"tree", "t2", "toplink", "slashlink"})
        EXPECT_FALSE(Exists(dir.file(gone)));
    EXPECT_EQ(ReadAll(dir.file("precious/a.txt")), "a");
    EXPECT_EQ(ReadAll(dir.file("precious/sub/deeper/c.txt")), "ccc");
    EXPECT_FALSE(DeleteDirectory(dir.winfile("tree").c_str()));
    EXPECT_FALSE(DeleteDirectory(nullptr));

    ASSERT_TRUE(MakeReadOnly(dir.winfile("precious/sub/b.txt")));
    EXPECT_FALSE(DeleteDirectory(dir.winfile("precious").c_str()));
    EXPECT_TRUE(Exists(dir.file("precious/sub/b.txt")));
    EXPECT_FALSE(Exists(dir.file("precious/a.txt")));
    EXPECT_FALSE(Exists(dir.file("precious/sub/deeper")));
}

TEST(ClearFolderTest, KeepsListedFilesIgnoringCaseAndTheFolder) {
    TempDir dir;
    MakeTree(dir, "t");
    ASSERT_TRUE(WriteAll(dir.file("t/Config.INI"), "k"));
    ASSERT_TRUE(WriteAll(dir.file("t/other.log"), "o"));
    ClearFolder(dir.winfile("t"), true, {L"config.ini", L"a.TXT"});
    EXPECT_EQ(testing_support::ListFolder(dir.file("t")), "Config.INI a.txt");
    ClearFolder(dir.winfile("t") + L"\\", false, {L"config.ini"});
    EXPECT_FALSE(Exists(dir.file("t")));
    ClearFolder(dir.winfile("t"), true, {});  // missing: nothing happens
    EXPECT_FALSE(Exists(dir.file("t")));
}

// The in-use test and the replacing copy move files aside to a free ".tmp" name,
// never over a file that is there already.
TEST(FileInUseTest, OnlyAFileHeldElsewhereIsInUseAndNoSideFileIsTouched) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("setup.exe"), "payload"));
    ASSERT_TRUE(WriteAll(dir.file("kept.exe"), "kept"));
    ASSERT_TRUE(WriteAll(dir.file("kept.exe.tmp"), "unrelated"));
    EXPECT_FALSE(IsFileInUse(dir.winfile("kept.exe")));
    EXPECT_FALSE(IsFileInUse(dir.winfile("missing.exe")));
    LogCapture log;
    testing_support::HeldChild child(BASE_TEST_CHILD, {"hold", dir.file("setup.exe")});
    ASSERT_EQ(child.ReadLine(), "ready");
    EXPECT_TRUE(IsFileInUse(dir.winfile("setup.exe")));
    EXPECT_EQ(child.Stop(), 0);
    EXPECT_NE(log.Text().find("MESSAGE: 文件被占用，无法重命名，path:"), std::string::npos);
    EXPECT_EQ(testing_support::ListFolder(dir.path()), "kept.exe kept.exe.tmp setup.exe");
    EXPECT_EQ(ReadAll(dir.file("kept.exe")) + ReadAll(dir.file("kept.exe.tmp")), "keptunrelated");
    EXPECT_EQ(ReadAll(dir.file("setup.exe")), "payload");
}

TEST(CopyTest, DeepCopyReplacesAReadOnlyOrLockedDestination) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("new.dll"), "new"));
    for (const char* name : {"ro.dll", "old.dll"}) ASSERT_TRUE(WriteAll(dir.file(name), "old"));
    ASSERT_TRUE(WriteAll(dir.file("old.dll.tmp"), "unrelated"));
    ASSERT_TRUE(MakeReadOnly(dir.winfile("ro.dll")));
    EXPECT_TRUE(DeepCopyFile(dir.winfile("new.dll"), dir.winfile("ro.dll")));
    EXPECT_TRUE(DeepCopyFile(dir.winfile("new.dll"), dir.winfile("fresh.dll")));
    HANDLE held = CreateFileW(dir.winfile("old.dll").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    LogCapture log;
    std::thread letgo(After, std::cref(log), "retry_count:0", [&] { CloseHandle(held); });
    EXPECT_TRUE(DeepCopyFile(dir.winfile("new.dll"), dir.winfile("old.dll")));
    letgo.join();
    for (const char* name : {"ro.dll", "fresh.dll", "old.dll"})
        EXPECT_EQ(ReadAll(dir.file(name)), "new");
    EXPECT_EQ(ReadAll(dir.file("old.dll.tmp")), "unrelated");
}

TEST(CopyTest, CopyFolderCopiesNestedFilesButNotDotFoldersOrLinksAndKeepsOrReplaces) {
    TempDir dir;
    MakeTree(dir, "src");
    MakeDir(dir.file("src/.git"));
    ASSERT_TRUE(WriteAll(dir.file("src/.git/HEAD"), "h"));
    ASSERT_EQ(symlink(dir.file("src").c_str(), dir.file("src/sub/loop").c_str()), 0);
    EXPECT_TRUE(CopyFolder(dir.winfile("src"), dir.winfile("dst\\new"), false, false));
    EXPECT_EQ(ReadAll(dir.file("dst/new/sub/deeper/c.txt")), "ccc");
    EXPECT_EQ(testing_support::ListFolder(dir.file("dst/new")), "a.txt sub");
    EXPECT_EQ(testing_support::ListFolder(dir.file("dst/new/sub")), "b.txt deeper");

    ASSERT_TRUE(WriteAll(dir.file("dst/new/a.txt"), "old"));
    ASSERT_TRUE(WriteAll(dir.file("dst/new/sub/b.txt"), "old"));
    ASSERT_EQ(unlink(dir.file("dst/new/sub/deeper/c.txt").c_str()), 0);
    EXPECT_TRUE(CopyFolder(dir.winfile("src"), dir.winfile("dst\\new"), false, false));
    EXPECT_EQ(ReadAll(dir.file("dst/new/a.txt")), "old");
    EXPECT_EQ(ReadAll(dir.file("dst/new/sub/deeper/c.txt")), "ccc");
    ASSERT_TRUE(MakeReadOnly(dir.winfile("dst/new/a.txt")));
    EXPECT_TRUE(CopyFolder(dir.winfile("src"), dir.winfile("dst\\new"), true, false));
    EXPECT_EQ(ReadAll(dir.file("dst/new/a.txt")) + ReadAll(dir.file("dst/new/sub/b.txt")), "abb");

    // A missing source makes the destination only.
    EXPECT_TRUE(CopyFolder(dir.winfile("none"), dir.winfile("empty"), true, true));
    EXPECT_TRUE(Exists(dir.file("empty")));
}

TEST(CopyTest, CopyFolderStopsAtTheFirstFailureWhenAsked) {
    TempDir dir;
    MakeDir(dir.file("src"));
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        ASSERT_TRUE(WriteAll(dir.file(std::string("src/") + name), name));
    // b.txt cannot be read while a handle holds it without read sharing.
    HANDLE held = CreateFileW(dir.winfile("src/b.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    LogCapture log;
    EXPECT_FALSE(CopyFolder(dir.winfile("src"), dir.winfile("dst"), false, true));
    EXPECT_EQ(testing_support::ListFolder(dir.file("dst")), "a.txt");
    const std::string text = log.Text();
    EXPECT_NE(text.find("ERROR: CopyFolder [CopyFile] srcFile:"), std::string::npos) << text;
    EXPECT_NE(text.find("ERROR: CopyFolder bRet FALSE\r\n"), std::string::npos);

    // Without the stop the copy goes on, and the answer is that of the last entry.
    EXPECT_TRUE(CopyFolder(dir.winfile("src"), dir.winfile("dst"), false, false));
    EXPECT_EQ(testing_support::ListFolder(dir.file("dst")), "a.txt c.txt");
    CloseHandle(held);
    EXPECT_TRUE(CopyFolder(dir.winfile("src"), dir.winfile("dst"), false, true));
    EXPECT_EQ(ReadAll(dir.file("dst/b.txt")), "b.txt");
}

TEST(CopyTest, CopyPathFileRetriesUpToFourTimes) {
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("src.bin"), "data"));
    LogCapture log;
    // The folder appears once the first attempt has failed, well before the second.
    std::thread maker(After, std::cref(log), "retry_count:0",
                      [&] { mkdir(dir.file("later").c_str(), 0700); });
    EXPECT_TRUE(CopyPathFile(dir.winfile("src.bin"), dir.winfile("later\\dst.bin")));
    maker.join();
    EXPECT_EQ(ReadAll(dir.file("later/dst.bin")), "data");
    EXPECT_NE(log.Text().find("retry_count:0 errorcode:3\r\n"), std::string::npos) << log.Text();
    EXPECT_EQ(log.Text().find("retry_count:1"), std::string::npos);

    EXPECT_FALSE(CopyPathFile(dir.winfile("missing.bin"), dir.winfile("dst.bin")));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(log.Text().find("retry_count:" + std::to_string(i) + " errorcode:2"),
                  std::string::npos);
    EXPECT_EQ(log.Text().find("retry_count:4"), std::string::npos);
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
