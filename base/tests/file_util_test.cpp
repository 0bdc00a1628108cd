#include "base/file_util.h"

#include <fcntl.h>
#include <unistd.h>

#include <thread>

#include "base/drive_util.h"
#include "support/base_test.h"
#include "testing/child_process.h"

namespace {

using namespace base;
using base_test::LogCapture;

class FileUtil : public base_test::FolderTest {
protected:
    void Link(const std::string& target, const std::string& name) {
        ASSERT_EQ(symlink(file(target).c_str(), file(name).c_str()), 0) << name;
    }
    // A tree: a.txt, sub/b.txt, sub/deeper/c.txt
    void Tree(const std::string& root) {
        for (const char* folder : {"", "/sub", "/sub/deeper"}) Dir(root + folder);
        Write(root + "/a.txt", "a"), Write(root + "/sub/b.txt", "bb");
        Write(root + "/sub/deeper/c.txt", "ccc");
    }
    void ReadOnly(const std::string& name) {
        ASSERT_TRUE(SetFileAttributesW(winfile(name).c_str(), FILE_ATTRIBUTE_READONLY)) << name;
    }
    HANDLE Hold(const std::string& name, DWORD share) {
        HANDLE h = CreateFileW(winfile(name).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << name;
        return h;
    }
};

TEST_F(FileUtil, ExistenceSizeAndHeadOfFiles) {
    Write("f.txt", std::string("MZ\0rest", 7) + std::string(300, 'k'));
    const int fd = open(file("big.bin").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_EQ(ftruncate(fd, 5000000123LL), 0);
    close(fd);
    EXPECT_TRUE(IsExistingFile(winfile("f.txt")) && !IsExistingFile(win()));
    EXPECT_TRUE(PathExists((win() + L"\\").c_str()) && !PathExists(winfile("missing").c_str()));
    EXPECT_EQ(std::make_pair(GetFileSize64(winfile("big.bin")), GetFileSize64(winfile("missing"))),
              (std::pair<int64_t, int64_t>(5000000123LL, -1)));
    // At most 129 bytes, up to a zero.
    EXPECT_EQ(ReadFileHead(winfile("f.txt")) + "|" + ReadFileHead(winfile("big.bin")), "MZ|");
}

TEST_F(FileUtil, CheckFolderCreatesMissingFoldersAndTellsFilesAndWriteProtectedDrivesApart) {
    EXPECT_EQ(CheckFolder(winfile("new/nested").c_str()), 0);
    EXPECT_TRUE(Has("new/nested") && IsUsableFolder(win()) && CanWriteFolder(win().c_str()));
    EXPECT_EQ(List("new/nested") + List(), "new");
    Write("f.txt", "x");
    EXPECT_EQ(CheckFolder(winfile("f.txt").c_str()), 1);
    EXPECT_FALSE(IsUsableFolder(winfile("f.txt")) || CanWriteFolder(winfile("f.txt").c_str()));
    EXPECT_FALSE(CanWriteFolder(nullptr));
    Dir("ro");
    const char* home = getenv("HOME");
    ScopedEnv drives("WIN32_DRIVES", std::string("C=") + (home ? home : "/root") +
                                         ";R=" + file("ro") + ":fixed:ro;Z=/");
    EXPECT_EQ(CheckFolder(L"R:\\"), 2);
    EXPECT_FALSE(IsUsableFolder(L"R:\\"));
    EXPECT_EQ(List("ro"), "");
}

TEST_F(FileUtil, EnsureDirectoryCreatesEveryMissingParentButNothingForABareName) {
    for (const char* deep : {"a/b/c", "a/b/c", "x/y/"}) {
        EXPECT_TRUE(EnsureDirectory(winfile(deep).c_str())) << deep;
        EXPECT_TRUE(Has(deep)) << deep;
    }
    Write("f", "x");
    for (const std::wstring& bad : {winfile("f"), winfile("f/sub"), std::wstring()})
        EXPECT_FALSE(EnsureDirectory(bad.c_str()));
    EXPECT_FALSE(EnsureDirectory(nullptr));
    ASSERT_EQ(chdir(path().c_str()), 0);
    EXPECT_TRUE(EnsureDirectory(L"bare_name"));
    // The bare parent counts as there, so the child's creation is what fails.
    EXPECT_FALSE(EnsureDirectory(L"rel\\sub"));
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_EQ(List(), "a f x");
}

// Links to folders, inside the tree or the tree itself (with or without a trailing
// backslash), are removed as links. A cleared folder keeps the listed files, ignoring
// case, and itself when asked.
TEST_F(FileUtil, DeleteAndClearRemoveTreesAndLinksButNotTheirTargetsNorReadOnlyFiles) {
    for (const char* root : {"precious", "tree", "t2", "t"}) Tree(root);
    Link("precious", "tree/sub/link");
    Link("precious/a.txt", "tree/filelink");
    Link("gone", "tree/dangling");
    Link("precious", "toplink");
    Link("precious", "slashlink");
    for (const std::wstring& path :
         {winfile("tree"), winfile("t2") + L"\\", winfile("toplink"), winfile("slashlink") + L"\\"})
        EXPECT_TRUE(DeleteDirectory(path.c_str()));
    Write("t/Config.INI", "k"), Write("t/other.log", "o");
    ClearFolder(winfile("t"), true, {L"config.ini", L"a.TXT"});
    EXPECT_EQ(List("t"), "Config.INI a.txt");
    ClearFolder(winfile("t") + L"\\", false, {L"config.ini"});
    ClearFolder(winfile("t"), true, {});  // missing: nothing happens
    EXPECT_EQ(List(), "precious");
    EXPECT_EQ(Read("precious/a.txt") + Read("precious/sub/deeper/c.txt"), "accc");
    EXPECT_FALSE(DeleteDirectory(winfile("tree").c_str()) || DeleteDirectory(nullptr));
    ReadOnly("precious/sub/b.txt");
    EXPECT_FALSE(DeleteDirectory(winfile("precious").c_str()));
    EXPECT_EQ(List("precious") + "|" + List("precious/sub"), "sub|b.txt");
}

// The in-use test and the replacing copy move files aside to a free ".tmp" name,
// never over a file that is there already.
TEST_F(FileUtil, OnlyAFileHeldElsewhereIsInUseAndNoSideFileIsTouched) {
    Write("setup.exe", "payload"), Write("kept.exe", "kept"), Write("kept.exe.tmp", "unrelated");
    EXPECT_FALSE(IsFileInUse(winfile("kept.exe")) || IsFileInUse(winfile("missing.exe")));
    LogCapture log;
    testing_support::ChildProcess child;
    ASSERT_TRUE(child.Start(BASE_TEST_CHILD, {"hold", file("setup.exe")}));
    ASSERT_EQ(child.Expect("ready"), "ready");
    EXPECT_TRUE(IsFileInUse(winfile("setup.exe")));
    ASSERT_TRUE(child.Send("go"));
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_TRUE(log.Has("MESSAGE: 文件被占用，无法重命名，path:"));
    EXPECT_EQ(List(), "kept.exe kept.exe.tmp setup.exe");
    EXPECT_EQ(Read("kept.exe") + Read("kept.exe.tmp") + Read("setup.exe"), "keptunrelatedpayload");
}

TEST_F(FileUtil, DeepCopyReplacesAReadOnlyOrLockedDestinationAndCopiesRetry) {
    Write("ro.dll", "old"), Write("old.dll", "old"), Write("new.dll", "new");
    Write("old.dll.tmp", "unrelated");
    ReadOnly("ro.dll");
    EXPECT_TRUE(DeepCopyFile(winfile("new.dll"), winfile("ro.dll")));
    EXPECT_TRUE(DeepCopyFile(winfile("new.dll"), winfile("fresh.dll")));
    HANDLE held = Hold("old.dll", FILE_SHARE_READ | FILE_SHARE_WRITE);
    LogCapture log;
    std::thread letgo([&] {  // once the first failure is logged
        while (!log.Has("retry_count:0")) Sleep(5);
        CloseHandle(held);
    });
    EXPECT_TRUE(DeepCopyFile(winfile("new.dll"), winfile("old.dll")));
    letgo.join();
    EXPECT_EQ(Read("ro.dll") + Read("fresh.dll") + Read("old.dll") + Read("old.dll.tmp"),
              "newnewnewunrelated");
    // Up to four attempts one second apart.
    EXPECT_FALSE(CopyPathFile(winfile("missing.bin"), winfile("dst.bin")));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(log.Has("retry_count:" + std::to_string(i) + " errorcode:2"));
    EXPECT_FALSE(log.Has("retry_count:4"));
}

// Folders whose names start with "." and links to folders are not copied; existing files
// are kept, or replaced when asked, read-only ones too; with the stop asked for, the
// first failure ends the copy.
TEST_F(FileUtil, CopyFolderCopiesTheTreeAndStopsAtAFailureWhenAsked) {
    Tree("src");
    Dir("src/.git");
    Link("src", "src/sub/loop");
    Dir("dst");
    Write("dst/a.txt", "old");
    EXPECT_TRUE(CopyFolder(winfile("src"), winfile("dst"), false, false));
    EXPECT_EQ(Read("dst/a.txt") + Read("dst/sub/deeper/c.txt"), "oldccc");
    EXPECT_EQ(List("dst") + "|" + List("dst/sub"), "a.txt sub|b.txt deeper");
    ReadOnly("dst/a.txt");
    EXPECT_TRUE(CopyFolder(winfile("src"), winfile("dst"), true, false));
    EXPECT_EQ(Read("dst/a.txt"), "a");

    HANDLE held = Hold("src/sub/b.txt", 0);  // cannot be read meanwhile
    LogCapture log;
    EXPECT_FALSE(CopyFolder(winfile("src/sub"), winfile("stop"), false, true));
    EXPECT_EQ(List("stop"), "");
    EXPECT_TRUE(log.Has("ERROR: CopyFolder [CopyFile] srcFile:"));
    EXPECT_TRUE(log.Has("ERROR: CopyFolder bRet FALSE\r\n"));
    EXPECT_TRUE(CopyFolder(winfile("src/sub"), winfile("go"), false, false));
    EXPECT_EQ(List("go"), "deeper");
    CloseHandle(held);
}

TEST_F(FileUtil, SearchFileAndDeviceHandlesAreClosedOnEveryPath) {
    Write("f.txt", "x");
    auto exercise = [&] {
        Tree("t");
        EXPECT_TRUE(CanWriteFolder(win().c_str()));
        EXPECT_EQ(GetFileSize64(winfile("f.txt")), 1);
        EXPECT_EQ(GetFileSize64(winfile("missing")), -1);
        EXPECT_EQ(ReadFileHead(winfile("f.txt")), "x");
        EXPECT_TRUE(CopyFolder(winfile("t"), winfile("copy"), true, true));
        ClearFolder(winfile("copy"), true, {L"a.txt"});
        EXPECT_FALSE(DeleteDirectory(winfile("missing").c_str()));
        EXPECT_TRUE(DeleteDirectory(winfile("copy").c_str()) &&
                    DeleteDirectory(winfile("t").c_str()));
        IsExternalBusDrive(win());
        GetLargestFreeFixedDrive();
    };
    exercise();
    const uintptr_t before = base_test::HighestOfManyHandles();
    for (int i = 0; i < 3; ++i) exercise();
    EXPECT_EQ(base_test::HighestOfManyHandles(), before);
}

// Drives C:, D: and E: with the same fixed free space (E: with more options), F: remote.
std::string Table(const TempDir& dir, const std::string& e_options) {
    std::string table;
    for (const char* d : {"C", "D", "E"})
        table += std::string(d) + "=" + dir.file(d) + ":free=5000000000;";
    table.insert(table.size() - 1, e_options);
    return table + "F=" + dir.file("F") + ":remote";
}

// USB and 1394 drives are external. The download drive is the largest free one of the
// fixed, writable, internal drives; a tie goes to the later letter; the write test leaves
// nothing behind.
TEST_F(FileUtil, TheDownloadDriveIsTheLargestFreeFixedInternalOne) {
    for (const char* d : {"C", "D", "E", "F"}) Dir(d);
    const struct {
        std::string drives, buses;
        const wchar_t* chosen;
    } cases[] = {
        {Table(*this, ":fixed:ro"), "C=sata;D=sata;E=sata", L"D:\\"},
        {Table(*this, ""), "C=sata;D=usb;E=1394", L"C:\\"},
        {"C=" + file("C") + ":fixed:ro;F=" + file("F") + ":remote;G=" + file("E") + ":cdrom", "",
         L""}};
    for (auto& c : cases) {
        ScopedEnv drives("WIN32_DRIVES", c.drives), bus("WIN32_DRIVE_BUS", c.buses);
        EXPECT_EQ(base::GetLargestFreeFixedDrive(), c.chosen) << c.drives;
    }
    EXPECT_EQ(List("D"), "");
    ScopedEnv drives("WIN32_DRIVES", Table(*this, "")),
        bus("WIN32_DRIVE_BUS", "C=sata;D=usb;E=1394");
    for (const wchar_t* path : {L"D:\\games", L"D:/games", L"E:\\"})
        EXPECT_TRUE(IsExternalBusDrive(path)) << path;
    for (const wchar_t* path : {L"C:\\games", L"D:", L"\\games", L"Q:\\"})
        EXPECT_FALSE(IsExternalBusDrive(path)) << path;
}

}  // namespace
