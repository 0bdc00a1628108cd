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
    ASSERT_TRUE(WriteAll(dir.file("f.txt"), std::string("MZ\0rest", 7) + std::string(300, 'k')));
    const int fd = open(dir.file("big.bin").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_EQ(ftruncate(fd, 5000000123LL), 0);
    close(fd);
    EXPECT_TRUE(IsExistingFile(dir.winfile("f.txt")));
    EXPECT_FALSE(IsExistingFile(dir.win()));
    EXPECT_TRUE(PathExists((dir.win() + L"\\").c_str()));
    EXPECT_FALSE(PathExists(dir.winfile("missing").c_str()));
    EXPECT_EQ(GetFileSize64(dir.winfile("big.bin")), 5000000123LL);
    EXPECT_EQ(GetFileSize64(dir.winfile("missing")), -1);
    EXPECT_EQ(ReadFileHead(dir.winfile("f.txt")), "MZ");  // at most 129 bytes, up to a zero
    EXPECT_EQ(ReadFileHead(dir.winfile("big.bin")), "");
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

// Folders whose names start with "." and links to folders are not copied; existing files
// are kept, or replaced when asked, read-only ones too; with the stop asked for, the
// first failure ends the copy.
TEST(CopyTest, CopyFolderCopiesTheTreeAndStopsAtAFailureWhenAsked) {
    TempDir dir;
    MakeTree(dir, "src");
    MakeDir(dir.file("src/.git"));
    ASSERT_EQ(symlink(dir.file("src").c_str(), dir.file("src/sub/loop").c_str()), 0);
    MakeDir(dir.file("dst"));
    ASSERT_TRUE(WriteAll(dir.file("dst/a.txt"), "old"));
    EXPECT_TRUE(CopyFolder(dir.winfile("src"), dir.winfile("dst"), false, false));
    EXPECT_EQ(ReadAll(dir.file("dst/a.txt")) + ReadAll(dir.file("dst/sub/deeper/c.txt")), "oldccc");
    EXPECT_EQ(testing_support::ListFolder(dir.file("dst")) + "|" +
                  testing_support::ListFolder(dir.file("dst/sub")),
              "a.txt sub|b.txt deeper");
    ASSERT_TRUE(MakeReadOnly(dir.winfile("dst/a.txt")));
    EXPECT_TRUE(CopyFolder(dir.winfile("src"), dir.winfile("dst"), true, false));
    EXPECT_EQ(ReadAll(dir.file("dst/a.txt")), "a");

    // b.txt cannot be read while a handle holds it without read sharing.
    HANDLE held = CreateFileW(dir.winfile("src/sub/b.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    LogCapture log;
    EXPECT_FALSE(CopyFolder(dir.winfile("src/sub"), dir.winfile("stop"), false, true));
    EXPECT_EQ(testing_support::ListFolder(dir.file("stop")), "");
    EXPECT_NE(log.Text().find("ERROR: CopyFolder [CopyFile] srcFile:"), std::string::npos);
    EXPECT_NE(log.Text().find("ERROR: CopyFolder bRet FALSE\r\n"), std::string::npos);
    EXPECT_TRUE(CopyFolder(dir.winfile("src/sub"), dir.winfile("go"), false, false));
    EXPECT_EQ(testing_support::ListFolder(dir.file("go")), "deeper");
    CloseHandle(held);
}

// Up to four attempts one second apart.
TEST(CopyTest, CopyPathFileRetriesUpToFourTimes) {
    TempDir dir;
    LogCapture log;
    EXPECT_FALSE(CopyPathFile(dir.winfile("missing.bin"), dir.winfile("dst.bin")));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(log.Text().find("retry_count:" + std::to_string(i) + " errorcode:2"),
                  std::string::npos);
    EXPECT_EQ(log.Text().find("retry_count:4"), std::string::npos);
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
