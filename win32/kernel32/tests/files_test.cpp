#include <windows.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "file_test_folder.h"

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        dir_.make_dir("t");
        dir_.make_dir("ro");
        dir_.set_drives("T=%/t;R=%/ro:fixed:ro");
    }

    std::string unix(const std::string& rel) const { return dir_.path() + "/t/" + rel; }

    void write_unix(const std::string& rel, const std::string& text) const {
        std::ofstream(unix(rel), std::ios::binary) << text;
    }

    std::string read_unix(const std::string& rel) const {
        std::ifstream in(unix(rel), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    static HANDLE open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition) {
        return CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }

    FileTestFolder dir_;
};

TEST_F(Files, CreateNewOnExistingFileFailsWithFileExists) {
    write_unix("a.txt", "x");
    HANDLE h = open(L"T:\\a.txt", GENERIC_WRITE, 0, CREATE_NEW);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
}

TEST_F(Files, OpenExistingTellsMissingFileFromMissingFolder) {
    EXPECT_EQ(open(L"T:\\none.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(open(L"T:\\nodir\\none.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(open(L"Q:\\x.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(Files, CreateAlwaysTruncatesAndReportsThatTheFileExisted) {
    write_unix("a.txt", "old contents");
    HANDLE h = open(L"T:\\a.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, "new", 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    CloseHandle(h);
    EXPECT_EQ(read_unix("a.txt"), "new");

    h = open(L"T:\\b.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(h);
}

TEST_F(Files, OpenAlwaysCreatesOnceThenOpensTheSameFile) {
    HANDLE h = open(L"T:\\c.txt", GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    WriteFile(h, "keep", 4, nullptr, nullptr);
    CloseHandle(h);
    h = open(L"T:\\c.txt", GENERIC_READ, 0, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    char buf[8] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &got, nullptr));
    EXPECT_EQ(std::string(buf, got), "keep");
    CloseHandle(h);
}

TEST_F(Files, TruncateExistingEmptiesTheFileAndNeedsWriteAccess) {
    write_unix("d.txt", "12345");
    EXPECT_EQ(open(L"T:\\d.txt", GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    HANDLE h = open(L"T:\\d.txt", GENERIC_WRITE, 0, TRUNCATE_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(h, nullptr), 0u);
    CloseHandle(h);
}

TEST_F(Files, BothSeparatorsNameTheSameFile) {
    HANDLE h = open(L"T:/sub/../w.txt", GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    WriteFile(h, "slash", 5, nullptr, nullptr);
    CloseHandle(h);
    EXPECT_EQ(read_unix("w.txt"), "slash");
    h = open(L"T:\\w.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(h, nullptr), 5u);
    CloseHandle(h);
}

TEST_F(Files, TrailingSeparatorsNameFoldersAndTrailingDotsAndBlanksAreDropped) {
    write_unix("a.txt", "abc");
    dir_.make_dir("t/d");
    EXPECT_EQ(open(L"T:\\a.txt\\", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(GetFileAttributesW(L"T:\\a.txt\\"), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW(L"T:\\d\\"), INVALID_FILE_ATTRIBUTES);
    for (const wchar_t* name : {L"T:\\a.txt.", L"T:\\a.txt . .", L"T:/a.txt  "})
        EXPECT_EQ(GetFileAttributesW(name), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL)) << name;
    CloseHandle(open(L"T:\\new.log..", GENERIC_WRITE, 0, CREATE_NEW));
    EXPECT_TRUE(std::filesystem::exists(unix("new.log")));
}

TEST_F(Files, ReadStopsAtEndOfFileWithZeroBytes) {
    write_unix("e.txt", "abc");
    HANDLE h = open(L"T:\\e.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char buf[16];
    DWORD got = 99;
    ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &got, nullptr));
    EXPECT_EQ(got, 3u);
    ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &got, nullptr));
    EXPECT_EQ(got, 0u);
    CloseHandle(h);
}

TEST_F(Files, ReadingAHandleOpenedForWritingIsRefused) {
    HANDLE h = open(L"T:\\wo.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char buf[4];
    DWORD got = 0;
    EXPECT_FALSE(ReadFile(h, buf, sizeof buf, &got, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(h);
}

TEST_F(Files, FilePointerMovesAndEndOfFileCutsTheFile) {
    HANDLE h = open(L"T:\\p.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    WriteFile(h, "0123456789", 10, nullptr, nullptr);
    EXPECT_EQ(SetFilePointer(h, 4, nullptr, FILE_BEGIN), 4u);
    EXPECT_EQ(SetFilePointer(h, -1, nullptr, FILE_END), 9u);
    EXPECT_EQ(SetFilePointer(h, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    LARGE_INTEGER to, now;
    to.QuadPart = 6;
    ASSERT_TRUE(SetFilePointerEx(h, to, &now, FILE_BEGIN));
    EXPECT_EQ(now.QuadPart, 6);
    ASSERT_TRUE(SetEndOfFile(h));
    LARGE_INTEGER size;
    ASSERT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(size.QuadPart, 6);
    ASSERT_TRUE(FlushFileBuffers(h));
    CloseHandle(h);
    EXPECT_EQ(read_unix("p.bin"), "012345");
}

TEST_F(Files, SizeAboveFourGigabytesComesInTwoParts) {
    HANDLE h = open(L"T:\\big.bin", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LONG high = 1;
    EXPECT_EQ(SetFilePointer(h, 16, &high, FILE_BEGIN), 16u);
    EXPECT_EQ(high, 1);
    ASSERT_TRUE(SetEndOfFile(h));  // sparse, so no disk space is used
    DWORD size_high = 0;
    EXPECT_EQ(GetFileSize(h, &size_high), 16u);
    EXPECT_EQ(size_high, 1u);
    CloseHandle(h);
}

TEST_F(Files, ShareModesRefuseConflictingOpens) {
    HANDLE first = open(L"T:\\s.txt", GENERIC_READ, FILE_SHARE_READ, CREATE_ALWAYS);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open(L"T:\\s.txt", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    // A reader that lets others read and write fits; one that denies reading does not.
    HANDLE reader =
        open(L"T:\\s.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open(L"T:\\s.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    // An open without data access (size, attributes) never conflicts.
    HANDLE meta = open(L"T:\\s.txt", READ_CONTROL, 0, OPEN_EXISTING);
    EXPECT_NE(meta, INVALID_HANDLE_VALUE);
    CloseHandle(meta);
    CloseHandle(reader);
    CloseHandle(first);
    HANDLE writer = open(L"T:\\s.txt", GENERIC_WRITE, 0, OPEN_EXISTING);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE);
    CloseHandle(writer);
}

TEST_F(Files, RefusedCreateAlwaysLeavesTheContents) {
    write_unix("k.txt", "kept");
    HANDLE holder = open(L"T:\\k.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open(L"T:\\k.txt", GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(holder);
    EXPECT_EQ(read_unix("k.txt"), "kept");
}

TEST_F(Files, DeleteAndRenameNeedShareDeleteFromOpenHandles) {
    write_unix("busy.txt", "x");
    HANDLE h = open(L"T:\\busy.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileW(L"T:\\busy.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(MoveFileExW(L"T:\\busy.txt", L"T:\\busy.txt.tmp", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(read_unix("busy.txt"), "x");
    CloseHandle(h);

    h = open(L"T:\\busy.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(DeleteFileW(L"T:\\busy.txt"));
    CloseHandle(h);
    EXPECT_EQ(GetFileAttributesW(L"T:\\busy.txt"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Files, DeleteOnCloseRemovesTheFileWithTheLastHandle) {
    HANDLE h = CreateFileW(L"T:\\doc.tmp", GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_NE(GetFileAttributesW(L"T:\\doc.tmp"), INVALID_FILE_ATTRIBUTES);
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    EXPECT_EQ(open(L"T:\\doc.tmp", GENERIC_READ, all & ~FILE_SHARE_DELETE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);  // opened again only with delete sharing
    EXPECT_TRUE(CloseHandle(open(L"T:\\doc.tmp", GENERIC_READ, all, OPEN_EXISTING)));
    CloseHandle(h);
    EXPECT_EQ(GetFileAttributesW(L"T:\\doc.tmp"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Files, MoveFileExReplacesOnlyWhenAsked) {
    write_unix("src.txt", "new");
    write_unix("dst.txt", "old");
    EXPECT_FALSE(MoveFileExW(L"T:\\src.txt", L"T:\\dst.txt", 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(read_unix("dst.txt"), "old");
    EXPECT_TRUE(MoveFileExW(L"T:\\src.txt", L"T:\\dst.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(read_unix("dst.txt"), "new");
    EXPECT_EQ(GetFileAttributesW(L"T:\\src.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(MoveFileW(L"T:\\dst.txt", L"T:\\moved.txt"));
    EXPECT_EQ(read_unix("moved.txt"), "new");
    EXPECT_FALSE(MoveFileExW(L"T:\\missing.txt", L"T:\\x.txt", 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Files, DelayUntilRebootIsRefusedWithAccessDenied) {
    write_unix("later.tmp", "x");
    EXPECT_FALSE(MoveFileExW(L"T:\\later.tmp", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(read_unix("later.tmp"), "x");
}

TEST_F(Files, CopyFileHonoursFailIfExists) {
    write_unix("from.txt", "copy me");
    write_unix("to.txt", "before");
    EXPECT_FALSE(CopyFileW(L"T:\\from.txt", L"T:\\to.txt", TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(read_unix("to.txt"), "before");
    EXPECT_TRUE(CopyFileW(L"T:\\from.txt", L"T:\\to.txt", FALSE));
    EXPECT_EQ(read_unix("to.txt"), "copy me");
    EXPECT_TRUE(CopyFileW(L"T:\\from.txt", L"T:\\fresh.txt", TRUE));
    EXPECT_EQ(read_unix("fresh.txt"), "copy me");
    EXPECT_FALSE(CopyFileW(L"T:\\nothing.txt", L"T:\\x.txt", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Files, CopyFileKeepsTheLastWriteTime) {
    write_unix("old.txt", "x");
    HANDLE h = open(L"T:\\old.txt", GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME when;
    when.dwHighDateTime = 0x01d00000;  // 2014
    when.dwLowDateTime = 0;
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &when));
    CloseHandle(h);
    ASSERT_TRUE(CopyFileW(L"T:\\old.txt", L"T:\\copy.txt", TRUE));
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(L"T:\\copy.txt", GetFileExInfoStandard, &data));
    EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, when.dwHighDateTime);
    EXPECT_EQ(data.nFileSizeLow, 1u);
}

TEST_F(Files, ReadOnlyAttributeFollowsTheWriteBitsAndGuardsTheFile) {
    write_unix("ro.txt", "x");
    EXPECT_EQ(GetFileAttributesW(L"T:\\ro.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(SetFileAttributesW(L"T:\\ro.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesW(L"T:\\ro.txt") & FILE_ATTRIBUTE_READONLY,
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    struct stat st;
    ASSERT_EQ(stat(unix("ro.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);

    EXPECT_FALSE(DeleteFileW(L"T:\\ro.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(open(L"T:\\ro.txt", GENERIC_WRITE, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    HANDLE reader = open(L"T:\\ro.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);

    ASSERT_TRUE(SetFileAttributesW(L"T:\\ro.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesW(L"T:\\ro.txt") & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_TRUE(DeleteFileW(L"T:\\ro.txt"));
}

TEST_F(Files, SymbolicLinksShowAsReparsePoints) {
    dir_.make_dir("t/target");
    write_unix("file.txt", "x");
    ASSERT_EQ(symlink(unix("target").c_str(), unix("dirlink").c_str()), 0);
    ASSERT_EQ(symlink(unix("file.txt").c_str(), unix("filelink").c_str()), 0);
    EXPECT_EQ(GetFileAttributesW(L"T:\\dirlink"),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_EQ(GetFileAttributesW(L"T:\\filelink"),
              static_cast<DWORD>(FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_EQ(GetFileAttributesW(L"T:\\target"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(Files, RemovingALinkToAFolderKeepsTheFolder) {
    dir_.make_dir("t/target/inner");
    ASSERT_EQ(symlink(unix("target").c_str(), unix("link").c_str()), 0);
    EXPECT_TRUE(RemoveDirectoryW(L"T:\\link"));
    EXPECT_EQ(GetFileAttributesW(L"T:\\link"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(L"T:\\target\\inner"),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(Files, CreateDirectoryReportsExistingAndMissingParents) {
    EXPECT_TRUE(CreateDirectoryW(L"T:\\made", nullptr));
    EXPECT_FALSE(CreateDirectoryW(L"T:\\made", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryW(L"T:\\no\\such", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(CreateDirectoryW(L"T:\\", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

TEST_F(Files, RemoveDirectoryTakesOnlyEmptyFolders) {
    dir_.make_dir("t/full");
    write_unix("full/f.txt", "x");
    write_unix("plain.txt", "x");
    EXPECT_FALSE(RemoveDirectoryW(L"T:\\full"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
    EXPECT_FALSE(RemoveDirectoryW(L"T:\\plain.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
    EXPECT_FALSE(RemoveDirectoryW(L"T:\\absent"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    ASSERT_TRUE(DeleteFileW(L"T:\\full\\f.txt"));
    EXPECT_TRUE(RemoveDirectoryW(L"T:\\full\\"));
    EXPECT_EQ(GetFileAttributesW(L"T:\\full"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Files, RelativePathsFollowTheCurrentFolder) {
    struct BackToStart {  // the test's folder goes away with it
        std::string path = std::filesystem::current_path();
        ~BackToStart() { std::filesystem::current_path(path); }
    } back;
    dir_.make_dir("t/work/deeper");
    ASSERT_TRUE(SetCurrentDirectoryW(L"T:\\work"));
    wchar_t cwd[MAX_PATH];
    ASSERT_EQ(GetCurrentDirectoryW(MAX_PATH, cwd), 7u);
    EXPECT_STREQ(cwd, L"T:\\work");
    EXPECT_EQ(GetCurrentDirectoryW(3, cwd), 8u);  // too small: the size with the terminator

    HANDLE h = open(L"rel.txt", GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_NE(GetFileAttributesW(L"T:\\work\\rel.txt"), INVALID_FILE_ATTRIBUTES);

    ASSERT_TRUE(SetCurrentDirectoryW(L"deeper"));
    EXPECT_NE(GetFileAttributesW(L"..\\rel.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW(L"\\work\\rel.txt"),
              INVALID_FILE_ATTRIBUTES);  // rooted: same drive
    EXPECT_FALSE(SetCurrentDirectoryW(L"T:\\work\\rel.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
    EXPECT_FALSE(SetCurrentDirectoryW(L"T:\\gone"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    ASSERT_TRUE(SetCurrentDirectoryW(L"T:\\"));
    GetCurrentDirectoryW(MAX_PATH, cwd);
    EXPECT_STREQ(cwd, L"T:\\");
}

TEST_F(Files, FileTimesRoundTrip) {
    HANDLE h = open(L"T:\\time.txt", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME write_time, access_time;
    write_time.dwHighDateTime = 0x01d80000;
    write_time.dwLowDateTime = 0x12345670;  // a whole number of microseconds
    access_time.dwHighDateTime = 0x01d70000;
    access_time.dwLowDateTime = 0;
    ASSERT_TRUE(SetFileTime(h, nullptr, &access_time, &write_time));
    FILETIME c, a, w;
    ASSERT_TRUE(GetFileTime(h, &c, &a, &w));
    EXPECT_EQ(w.dwHighDateTime, write_time.dwHighDateTime);
    EXPECT_EQ(w.dwLowDateTime, write_time.dwLowDateTime);
    EXPECT_EQ(a.dwHighDateTime, access_time.dwHighDateTime);
    EXPECT_NE(c.dwHighDateTime, 0u);
    CloseHandle(h);
}

TEST_F(Files, WriteProtectedDriveRefusesWrites) {
    EXPECT_EQ(open(L"R:\\new.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(CreateDirectoryW(L"R:\\sub", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetFileAttributesW(L"R:\\"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(Files, FileHandlesAreNotFindHandles) {
    HANDLE h = open(L"T:\\h.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    WIN32_FIND_DATAW data;
    EXPECT_FALSE(FindNextFileW(h, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(h);
    DWORD n;
    EXPECT_FALSE(WriteFile(h, "x", 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
