// Files, folders, find, drives and the current and temporary folders, on drives
// T: (a folder of the test's own) and R: (write-protected).
#include <windows.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "kernel_test.h"
#include "testing/child_process.h"

bool operator==(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

namespace {

using testing_support::ReadAll;
using testing_support::WriteAll;
using Names = std::vector<std::wstring>;
constexpr DWORD kAllShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE Open(const wchar_t* path, DWORD access, DWORD share = 0, DWORD disposition = OPEN_EXISTING,
            DWORD flags = 0) {
    return CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
}

// 0 when an open of the path succeeds, else the error it fails with.
int OpenError(const wchar_t* path, DWORD access, DWORD share) {
    Handle h(Open(path, access, share));
    return Failed(h.get() == INVALID_HANDLE_VALUE);
}

// A path's attributes, or minus the error when there are none.
long long Attributes(const wchar_t* path) {
    DWORD a = GetFileAttributesW(path);
    return a == INVALID_FILE_ATTRIBUTES ? -static_cast<long long>(GetLastError()) : a;
}

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.folder("t");
        dir_.folder("ro");
        dir_.set_drives("T=%/t;R=%/ro:fixed:ro");
    }
    std::string unix(const std::string& rel) const { return dir_.file("t/" + rel); }
    void write(const std::string& rel, const std::string& text) const {
        ASSERT_TRUE(WriteAll(unix(rel), text));
    }
    std::string read(const std::string& rel) const { return ReadAll(unix(rel)); }

    FileTestFolder dir_;
};

TEST_F(Files, CreateFileFollowsItsDispositionAndThePathRules) {
    const struct {
        const wchar_t* path;
        const char *file, *before;  // the Linux name under T:, its content or none
        DWORD access, disposition;
        bool opens;
        DWORD error;  // after the call
        const char* after = nullptr;
    } cases[] = {
        {L"T:\\a.txt", "a.txt", "x", GENERIC_WRITE, CREATE_NEW, false, ERROR_FILE_EXISTS, "x"},
        {L"T:\\b.txt", "b.txt", nullptr, GENERIC_READ, OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND},
        {L"T:\\no\\b.txt", "b.txt", nullptr, GENERIC_READ, OPEN_EXISTING, false,
         ERROR_PATH_NOT_FOUND},
        {L"Q:\\b.txt", "b.txt", nullptr, GENERIC_READ, OPEN_EXISTING, false, ERROR_PATH_NOT_FOUND},
        {L"T:\\c.txt", "c.txt", "old content", GENERIC_WRITE, CREATE_ALWAYS, true,
         ERROR_ALREADY_EXISTS, "new"},
        {L"T:\\d.txt", "d.txt", nullptr, GENERIC_WRITE, CREATE_ALWAYS, true, 0, "new"},
        {L"T:\\e.txt", "e.txt", nullptr, GENERIC_WRITE, OPEN_ALWAYS, true, 0, "new"},
        {L"T:\\f.txt", "f.txt", "kept", GENERIC_READ, OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS,
         "kept"},
        // Truncating asks for GENERIC_WRITE (CreateFileW's documentation).
        {L"T:\\g.txt", "g.txt", "12345", GENERIC_READ, TRUNCATE_EXISTING, false,
         ERROR_INVALID_PARAMETER, "12345"},
        {L"T:\\h.txt", "h.txt", "12345", GENERIC_WRITE, TRUNCATE_EXISTING, true, 0, "new"},
        // Both separators, and ".." inside the drive.
        {L"T:/sub/../i.txt", "i.txt", nullptr, GENERIC_WRITE, CREATE_NEW, true, 0, "new"},
        // A trailing separator names a folder; trailing dots and blanks are dropped.
        {L"T:\\j.txt\\", "j.txt", "abc", GENERIC_READ, OPEN_EXISTING, false, ERROR_INVALID_NAME,
         "abc"},
        {L"T:\\k.log. .", "k.log", nullptr, GENERIC_WRITE, CREATE_NEW, true, 0, "new"},
        {L"R:\\l.txt", "../ro/l.txt", nullptr, GENERIC_WRITE, CREATE_ALWAYS, false,
         ERROR_ACCESS_DENIED},
    };
    for (const auto& t : cases) {
        if (t.before) write(t.file, t.before);
        SetLastError(0xDEAD);
        HANDLE h = Open(t.path, t.access, 0, t.disposition);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, t.opens) << t.path;
        EXPECT_EQ(GetLastError(), t.error) << t.path;
        if (t.access == GENERIC_WRITE) WriteFile(h, "new", 3, nullptr, nullptr);
        CloseHandle(h);
        EXPECT_EQ(read(t.file), t.after ? t.after : "") << t.path;
    }
}

TEST_F(Files, AttributesShowFoldersLinksAndTheReadOnlyBitWhichGuardsTheFile) {
    write("a.txt", "abc");
    dir_.folder("t/d/inner");
    ASSERT_EQ(symlink(unix("d").c_str(), unix("dirlink").c_str()), 0);
    ASSERT_EQ(symlink(unix("a.txt").c_str(), unix("filelink").c_str()), 0);
    const std::pair<const wchar_t*, long long> cases[] = {
        {L"T:\\a.txt", FILE_ATTRIBUTE_NORMAL},
        {L"T:/a.txt . .", FILE_ATTRIBUTE_NORMAL},
        // A trailing separator on a file is an invalid name (STATUS_OBJECT_NAME_INVALID).
        {L"T:\\a.txt\\", -ERROR_INVALID_NAME},
        {L"T:\\d\\", FILE_ATTRIBUTE_DIRECTORY},
        {L"T:\\dirlink", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT},
        {L"T:\\filelink", FILE_ATTRIBUTE_REPARSE_POINT},
        {L"R:\\", FILE_ATTRIBUTE_DIRECTORY},
    };
    for (auto [path, attributes] : cases) EXPECT_EQ(Attributes(path), attributes) << path;
    // Removing a link to a folder keeps the folder.
    EXPECT_TRUE(RemoveDirectoryW(L"T:\\dirlink"));
    EXPECT_EQ(Attributes(L"T:\\d\\inner"), FILE_ATTRIBUTE_DIRECTORY);

    ASSERT_TRUE(SetFileAttributesW(L"T:\\a.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Attributes(L"T:\\a.txt"), FILE_ATTRIBUTE_READONLY);
    struct stat st;
    ASSERT_EQ(stat(unix("a.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    EXPECT_EQ(Failed(!DeleteFileW(L"T:\\a.txt")), ERROR_ACCESS_DENIED);
    write("b.txt", "new");  // nor replaced (FILE_RENAME_IGNORE_READONLY_ATTRIBUTE would allow it)
    EXPECT_EQ(Failed(!MoveFileExW(L"T:\\b.txt", L"T:\\a.txt", MOVEFILE_REPLACE_EXISTING)),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(read("a.txt") + read("b.txt"), "abcnew");
    EXPECT_EQ(OpenError(L"T:\\a.txt", GENERIC_WRITE, 0), ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenError(L"T:\\a.txt", GENERIC_READ, 0), 0);
    ASSERT_TRUE(SetFileAttributesW(L"T:\\a.txt", FILE_ATTRIBUTE_NORMAL));
    // Wildcards make no file name: nothing is deleted.
    for (const wchar_t* pattern : {L"T:\\*.txt", L"T:\\a.tx?"})
        EXPECT_EQ(Failed(!DeleteFileW(pattern)), ERROR_INVALID_NAME);
    EXPECT_EQ(Failed(!DeleteFileW(L"T:\\no\\*.txt")), ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(DeleteFileW(L"T:\\a.txt"));
}

TEST_F(Files, HandlesReadWriteSeekAndCut) {
    HANDLE h = Open(L"T:\\p.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    DWORD n = 0;
    char buf[16];
    ASSERT_TRUE(WriteFile(h, "0123456789", 10, &n, nullptr));
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(SetFilePointer(h, 4, nullptr, FILE_BEGIN), 4u);
    ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), "456789");
    ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr) && n == 0);  // at the end: 0 bytes
    LARGE_INTEGER now{}, size{};
    EXPECT_EQ(Failed(!SetFilePointerEx(h, {.QuadPart = -20}, &now, FILE_CURRENT)),
              ERROR_NEGATIVE_SEEK);
    ASSERT_TRUE(SetFilePointerEx(h, {.QuadPart = -4}, &now, FILE_END) && SetEndOfFile(h) &&
                GetFileSizeEx(h, &size) && FlushFileBuffers(h));
    EXPECT_EQ(now.QuadPart, 6);
    EXPECT_EQ(size.QuadPart, 6);
    WIN32_FIND_DATAW data;
    EXPECT_EQ(Failed(!FindNextFileW(h, &data)), ERROR_INVALID_HANDLE);  // no find handle
    CloseHandle(h);
    EXPECT_EQ(Failed(!WriteFile(h, "x", 1, &n, nullptr)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(read("p.bin"), "012345");

    h = Open(L"T:\\p.bin", GENERIC_WRITE);
    EXPECT_EQ(Failed(!ReadFile(h, buf, sizeof buf, &n, nullptr)), ERROR_ACCESS_DENIED);
    FILETIME write_time{0x12345670, 0x01d80000}, access_time{0, 0x01d70000}, c, a, w;
    ASSERT_TRUE(SetFileTime(h, nullptr, &access_time, &write_time) && GetFileTime(h, &c, &a, &w));
    EXPECT_EQ(w, write_time);
    EXPECT_EQ(a, access_time);
    // Above 4 GB the size comes in two parts (sparse: no disk space is used).
    ASSERT_TRUE(SetFilePointerEx(h, {.QuadPart = (1LL << 32) + 16}, nullptr, FILE_BEGIN) &&
                SetEndOfFile(h));
    DWORD size_high = 0;
    EXPECT_EQ(GetFileSize(h, &size_high), 16u);
    EXPECT_EQ(size_high, 1u);
    CloseHandle(h);
}

TEST_F(Files, ShareModesRefuseConflictingOpensDeletesAndRenames) {
    write("s.txt", "kept");
    HANDLE first = Open(L"T:\\s.txt", GENERIC_READ, FILE_SHARE_READ);
    const struct {
        DWORD access, share;
        int error;
    } opens[] = {
        {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, ERROR_SHARING_VIOLATION},
        {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, ERROR_SUCCESS},
        {GENERIC_READ, 0, ERROR_SHARING_VIOLATION},
        {READ_CONTROL, 0, ERROR_SUCCESS},  // no data access never conflicts
    };
    for (const auto& t : opens) EXPECT_EQ(OpenError(L"T:\\s.txt", t.access, t.share), t.error);
    EXPECT_EQ(Open(L"T:\\s.txt", GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(Failed(!DeleteFileW(L"T:\\s.txt")), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(Failed(!MoveFileExW(L"T:\\s.txt", L"T:\\s.tmp", MOVEFILE_REPLACE_EXISTING)),
              ERROR_SHARING_VIOLATION);
    EXPECT_EQ(read("s.txt"), "kept");
    CloseHandle(first);
    {
        Handle sharing(Open(L"T:\\s.txt", GENERIC_READ, kAllShare));
        EXPECT_TRUE(MoveFileExW(L"T:\\s.txt", L"T:\\s.tmp", MOVEFILE_REPLACE_EXISTING));
    }
    // A delete-on-close file opens again only with delete sharing, and goes with
    // its last handle.
    HANDLE h =
        Open(L"T:\\doc.tmp", GENERIC_WRITE, kAllShare, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE);
    EXPECT_EQ(Attributes(L"T:\\doc.tmp"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(OpenError(L"T:\\doc.tmp", GENERIC_READ, kAllShare & ~FILE_SHARE_DELETE),
              ERROR_SHARING_VIOLATION);
    EXPECT_EQ(OpenError(L"T:\\doc.tmp", GENERIC_READ, kAllShare), 0);
    CloseHandle(h);
    EXPECT_EQ(Attributes(L"T:\\doc.tmp"), -ERROR_FILE_NOT_FOUND);
}

TEST_F(Files, ShareModesHoldAcrossProcesses) {
    // What a child answers to opening the file for reading with that sharing.
    auto child_opens = [](testing_support::ChildProcess& child, DWORD share, const char* path) {
        return child.Start(proctest::child_path()) &&
                       child.Send("open " + std::to_string(GENERIC_READ) + " " +
                                  std::to_string(share) + " " + path)
                   ? child.Expect("")
                   : "not started";
    };
    write("held.dat", "data");
    testing_support::ChildProcess child;
    ASSERT_EQ(child_opens(child, FILE_SHARE_READ, "T:\\held.dat"), "1");
    EXPECT_EQ(Failed(!MoveFileExW(L"T:\\held.dat", L"T:\\held.tmp", MOVEFILE_REPLACE_EXISTING)),
              ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(DeleteFileW(L"T:\\held.dat"));
    EXPECT_EQ(OpenError(L"T:\\held.dat", GENERIC_WRITE, FILE_SHARE_READ), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(OpenError(L"T:\\held.dat", GENERIC_READ, FILE_SHARE_READ), 0);
    child.Kill();
    EXPECT_TRUE(MoveFileExW(L"T:\\held.dat", L"T:\\held.tmp", MOVEFILE_REPLACE_EXISTING));

    // And the other way: the child is refused what this process denies.
    Handle mine(Open(L"T:\\held.tmp", GENERIC_WRITE));
    testing_support::ChildProcess other;
    EXPECT_EQ(child_opens(other, FILE_SHARE_READ | FILE_SHARE_WRITE, "T:\\held.tmp"), "0");
}

TEST_F(Files, MoveAndCopyReplaceOnlyWhenAskedAndCopiesKeepTheWriteTime) {
    write("src.txt", "new");
    write("dst.txt", "old");
    EXPECT_EQ(Failed(!MoveFileExW(L"T:\\src.txt", L"T:\\dst.txt", 0)), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(Failed(!CopyFileW(L"T:\\src.txt", L"T:\\dst.txt", TRUE)), ERROR_FILE_EXISTS);
    EXPECT_EQ(read("dst.txt"), "old");
    EXPECT_TRUE(CopyFileW(L"T:\\src.txt", L"T:\\dst.txt", FALSE));
    EXPECT_EQ(read("dst.txt"), "new");
    EXPECT_TRUE(MoveFileExW(L"T:\\src.txt", L"T:\\dst.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(Attributes(L"T:\\src.txt"), -ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(MoveFileW(L"T:\\dst.txt", L"T:\\moved.txt"));
    EXPECT_EQ(read("moved.txt"), "new");
    EXPECT_EQ(Failed(!MoveFileExW(L"T:\\missing.txt", L"T:\\x.txt", 0)), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Failed(!CopyFileW(L"T:\\missing.txt", L"T:\\x.txt", FALSE)), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Failed(!MoveFileExW(L"T:\\moved.txt", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(read("moved.txt"), "new");

    const FILETIME when{0, 0x01d00000};  // 2014
    HANDLE h = Open(L"T:\\moved.txt", GENERIC_WRITE);
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &when));
    CloseHandle(h);
    ASSERT_TRUE(CopyFileW(L"T:\\moved.txt", L"T:\\copy.txt", TRUE));
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(L"T:\\copy.txt", GetFileExInfoStandard, &data));
    EXPECT_EQ(data.ftLastWriteTime, when);
    EXPECT_EQ(data.nFileSizeLow, 3u);
}

TEST_F(Files, FoldersAreMadeAndRemovedEmptyAndRelativePathsFollowTheCurrentFolder) {
    using Call = BOOL (*)(const wchar_t*);
    const Call make = [](const wchar_t* p) { return CreateDirectoryW(p, nullptr); };
    const struct {
        Call call;
        const wchar_t* path;
        DWORD error;
    } cases[] = {
        {make, L"T:\\work", 0},
        {make, L"T:\\work", ERROR_ALREADY_EXISTS},
        {make, L"T:\\", ERROR_ALREADY_EXISTS},
        {make, L"T:\\no\\such", ERROR_PATH_NOT_FOUND},
        {make, L"R:\\sub", ERROR_ACCESS_DENIED},
        {make, L"T:\\work\\deeper", 0},
        {RemoveDirectoryW, L"T:\\work", ERROR_DIR_NOT_EMPTY},
        {RemoveDirectoryW, L"T:\\plain.txt", ERROR_DIRECTORY},
        {RemoveDirectoryW, L"T:\\absent", ERROR_FILE_NOT_FOUND},
        {RemoveDirectoryW, L"T:\\work\\deeper\\", 0},
        {SetCurrentDirectoryW, L"T:\\plain.txt", ERROR_DIRECTORY},
        {SetCurrentDirectoryW, L"T:\\gone", ERROR_FILE_NOT_FOUND},
    };
    write("plain.txt", "x");
    for (const auto& t : cases) {
        SetLastError(0);
        EXPECT_EQ(t.call(t.path), t.error == 0) << t.path;
        EXPECT_EQ(GetLastError(), t.error) << t.path;
    }
    BackToStart back;  // the test's folder goes away with it
    ASSERT_TRUE(SetCurrentDirectoryW(L"T:\\work"));
    wchar_t cwd[MAX_PATH];
    ASSERT_EQ(GetCurrentDirectoryW(MAX_PATH, cwd), 7u);
    EXPECT_STREQ(cwd, L"T:\\work");
    EXPECT_EQ(GetCurrentDirectoryW(3, cwd), 8u);  // too small: the size with the terminator
    CloseHandle(Open(L"rel.txt", GENERIC_WRITE, 0, CREATE_NEW));
    CreateDirectoryW(L"deeper", nullptr);
    ASSERT_TRUE(SetCurrentDirectoryW(L"deeper"));
    for (const wchar_t* path : {L"T:\\work\\rel.txt", L"..\\rel.txt", L"\\work\\rel.txt"})
        EXPECT_EQ(Attributes(path), FILE_ATTRIBUTE_NORMAL) << path;  // rooted: the same drive
    ASSERT_TRUE(SetCurrentDirectoryW(L"T:\\"));
    GetCurrentDirectoryW(MAX_PATH, cwd);
    EXPECT_STREQ(cwd, L"T:\\");
}

TEST_F(Files, FindListsMatchesWithoutRegardToCaseWithTheirData) {
    dir_.folder("t/list/Sub");
    for (const char* name : {"a.txt", "B.TXT", "c.log", "noext", "ab.txt", "abc"})
        write(std::string("list/") + name, "12345");
    auto names = [](const wchar_t* pattern) {
        Names out;
        WIN32_FIND_DATAW data;
        HANDLE h = FindFirstFileW(pattern, &data);
        if (h == INVALID_HANDLE_VALUE) return Names{std::to_wstring(GetLastError())};
        do {
            out.push_back(data.cFileName);
        } while (FindNextFileW(h, &data));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
        EXPECT_TRUE(FindClose(h));
        return out;
    };
    const Names all = {L".",     L"..",    L"a.txt", L"ab.txt", L"abc",
                       L"B.TXT", L"c.log", L"noext", L"Sub"};
    const std::pair<const wchar_t*, Names> cases[] = {
        {L"T:\\list\\*.*", all},
        {L"T:/list/*", all},
        {L"T:\\list\\*.TXT", {L"a.txt", L"ab.txt", L"B.TXT"}},
        {L"T:\\list\\?.txt", {L"a.txt", L"B.TXT"}},
        {L"T:\\list\\sub*", {L"Sub"}},
        {L"T:\\list\\noext.*", {L"noext"}},
        {L"T:\\list\\*.", {L".", L"..", L"abc", L"noext", L"Sub"}},  // no extension
        {L"T:\\list\\a*.", {L"abc"}},
        {L"T:\\list\\c.lo??", {L"c.log"}},    // '?' matches nothing at the end
        {L"T:\\list\\c.log. .", {L"c.log"}},  // trailing dots and blanks go
        {L"T:\\*.*", {L"list"}},              // a drive's root has no dot entries
        {L"T:\\list\\*.exe", {L"2"}},
        {L"T:\\nowhere\\*.*", {L"3"}},
    };
    for (const auto& [pattern, expected] : cases) EXPECT_EQ(names(pattern), expected) << pattern;

    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(L"T:\\list\\c.log", &data);
    EXPECT_STREQ(data.cFileName, L"c.log");
    EXPECT_EQ(data.nFileSizeLow + data.nFileSizeHigh, 5u);
    EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
    FindClose(h);
    h = FindFirstFileW(L"T:\\list\\S*", &data);
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    FindClose(h);
    EXPECT_EQ(Failed(!FindClose(INVALID_HANDLE_VALUE)), ERROR_INVALID_HANDLE);
}

TEST(Drives, TheTableGivesTheDrivesTheirTypesAndTheirFolders) {
    FileTestFolder dir;
    dir.folder("c");
    WriteAll(dir.folder("d") + "/x.txt", "x");
    dir.set_drives("C=%/c;D=%/d:remote;Z=/");
    EXPECT_EQ(GetLogicalDrives(), (1u << 2) | (1u << 3) | (1u << 25));
    wchar_t buf[64];
    ASSERT_EQ(GetLogicalDriveStringsW(64, buf), 12u);
    EXPECT_EQ(std::wstring(buf, 13), std::wstring(L"C:\\\0D:\\\0Z:\\\0\0", 13));
    EXPECT_EQ(GetLogicalDriveStringsW(5, buf), 13u);  // too small: the size needed
    const std::pair<const wchar_t*, UINT> types[] = {
        {L"C:\\", DRIVE_FIXED},       {L"d:/", DRIVE_REMOTE},          {L"Z:", DRIVE_FIXED},
        {L"Q:\\", DRIVE_NO_ROOT_DIR}, {L"C:\\sub", DRIVE_NO_ROOT_DIR},
    };
    for (auto [root, type] : types) EXPECT_EQ(GetDriveTypeW(root), type) << root;
    const std::wstring via_z = L"Z:" + proctest::widen(dir.path()) + L"/d/x.txt";
    for (const wchar_t* path : {L"D:\\x.txt", L"D:/x.txt", L"d:\\..\\x.txt", via_z.c_str()})
        EXPECT_EQ(Attributes(path), FILE_ATTRIBUTE_NORMAL) << path;
    EXPECT_EQ(Attributes(L"C:\\x.txt"), -ERROR_FILE_NOT_FOUND);
    // The table is read again whenever the variable changes.
    dir.set_drives("E=%/c");
    EXPECT_EQ(GetLogicalDrives(), 1u << 4);
    EXPECT_EQ(GetDriveTypeW(L"C:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

TEST(Drives, FreeSpaceIsTheFolderSystemsOrTheTablesAndNoneOnAWriteProtectedDrive) {
    FileTestFolder dir;
    for (const char* folder : {"c/sub", "d", "r"}) dir.folder(folder);
    dir.set_drives("C=%/c:free=42;D=%/d:remote;R=%/r:ro");
    ULARGE_INTEGER free_bytes, total, total_free;
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"D:\\", &free_bytes, &total, &total_free));
    EXPECT_GT(total.QuadPart, 0u);
    EXPECT_LE(free_bytes.QuadPart, total_free.QuadPart);
    EXPECT_LE(total_free.QuadPart, total.QuadPart);
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\sub", &free_bytes, &total, &total_free));
    EXPECT_EQ(free_bytes.QuadPart, 42u);
    EXPECT_EQ(total_free.QuadPart, 42u);
    EXPECT_GE(total.QuadPart, total_free.QuadPart);
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"R:\\", &free_bytes, &total, nullptr));
    EXPECT_EQ(free_bytes.QuadPart, 0u);
    EXPECT_GT(total.QuadPart, 0u);
    EXPECT_EQ(Failed(!GetDiskFreeSpaceExW(L"C:\\missing\\", &free_bytes, nullptr, nullptr)),
              ERROR_PATH_NOT_FOUND);
}

TEST(Drives, TempPathIsTmpdirElseAPrivateFolderUnderTheCache) {
    FileTestFolder dir;
    const std::string tmp = dir.folder("c/tmp"), cache = dir.file("c/cache");
    dir.set_drives("C=%/c");
    wchar_t buf[MAX_PATH];
    {
        testing_support::ScopedEnv tmpdir("TMPDIR", tmp);
        EXPECT_EQ(GetTempPathW(MAX_PATH, buf), 7u);
        EXPECT_STREQ(buf, L"C:\\tmp\\");
        EXPECT_EQ(GetTempPathW(4, buf), 8u);
    }
    testing_support::ScopedEnv no_tmpdir("TMPDIR", ""), cache_home("XDG_CACHE_HOME", cache);
    ASSERT_GT(GetTempPathW(MAX_PATH, buf), 0u);
    const std::wstring path = buf;
    EXPECT_EQ(path.substr(0, 9), L"C:\\cache\\");
    EXPECT_EQ(path.back(), L'\\');
    struct stat st;
    ASSERT_EQ(stat((cache + "/win32/temp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(Attributes(buf), FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace
