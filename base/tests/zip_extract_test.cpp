#include "base/zip_extract.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <time.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unzip.h>

#include "support/folder_view.h"
#include "testing/temp_dir.h"
#include "support/zip_writer.h"

using namespace base;
using testing_support::Exists;
using testing_support::IsFolder;
using testing_support::ListFolder;
using testing_support::ReadAll;
using testing_support::TempDir;
using testing_support::WinPath;
using testzip::DosDateTime;
using testzip::Entry;
using testzip::WriteZip;

namespace {

const uint32_t kStamp = DosDateTime(2019, 3, 4, 5, 6, 8);

// Writes the archive into the folder and answers its Windows path.
std::wstring MakeZip(const TempDir& tmp, const std::vector<Entry>& entries,
                     const std::string& name = "a.zip") {
    EXPECT_TRUE(WriteZip(tmp.file(name), entries));
    return WinPath(tmp, name);
}

time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    struct tm t {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return mktime(&t);
}

}  // namespace

TEST(ZipExtract, NestedEntriesCreateTheirFoldersAndKeepTheBytes) {
    TempDir tmp;
    std::string big(100000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 % 251);
    auto zip = MakeZip(tmp, {{"top.txt", "top", kStamp},
                             {"a/b/c.txt", "deep", kStamp, true},
                             {"a\\win.txt", "backslash", kStamp},
                             {"a/b/big.bin", big, kStamp, true}});
    ASSERT_TRUE(ExtractZip(zip.c_str(), (WinPath(tmp, "out") + L"\\").c_str()));
    EXPECT_EQ(ReadAll(tmp.file("out/top.txt")), "top");
    EXPECT_EQ(ReadAll(tmp.file("out/a/b/c.txt")), "deep");
    EXPECT_EQ(ReadAll(tmp.file("out/a/win.txt")), "backslash");
    EXPECT_EQ(ReadAll(tmp.file("out/a/b/big.bin")), big);
    EXPECT_EQ(ListFolder(tmp.file("out")), "a top.txt");
    EXPECT_EQ(ListFolder(tmp.file("out/a")), "b win.txt");
}

TEST(ZipExtract, FolderEntriesCreateOnlyTheFolder) {
    TempDir tmp;
    auto zip = MakeZip(tmp, {{"empty/", "", kStamp}, {"x/y/", "", kStamp}});
    ASSERT_TRUE(ExtractZip(zip.c_str(), (WinPath(tmp, "out") + L"\\").c_str()));
    EXPECT_TRUE(IsFolder(tmp.file("out/empty")));
    EXPECT_TRUE(IsFolder(tmp.file("out/x/y")));
    EXPECT_EQ(ListFolder(tmp.file("out/empty")), "");
    EXPECT_EQ(ListFolder(tmp.file("out/x/y")), "");
}

TEST(ZipExtract, ReplacesExistingFilesWhole) {
    TempDir tmp;
    ASSERT_EQ(mkdir(tmp.file("out").c_str(), 0755), 0);
    ASSERT_TRUE(testing_support::WriteAll(tmp.file("out/f.txt"), "an older and much longer text"));
    auto zip = MakeZip(tmp, {{"f.txt", "new", kStamp}});
    ASSERT_TRUE(ExtractZip(zip.c_str(), (WinPath(tmp, "out") + L"\\").c_str()));
    EXPECT_EQ(ReadAll(tmp.file("out/f.txt")), "new");
}

TEST(ZipExtract, CreatesAMissingDestinationFolderByFolder) {
    TempDir tmp;
    auto zip = MakeZip(tmp, {{"f.txt", "x", kStamp}});
    ASSERT_TRUE(ExtractZip(zip.c_str(), (WinPath(tmp, "one/two/three") + L"\\").c_str()));
    EXPECT_EQ(ReadAll(tmp.file("one/two/three/f.txt")), "x");
}

TEST(ZipExtract, ExtractedFilesCarryTheStoredDate) {
    setenv("TZ", "CST-8", 1);
    tzset();
    TempDir tmp;
    time_t before = time(nullptr);
    auto zip = MakeZip(tmp, {{"d/f.txt", "dated", kStamp}});
    ASSERT_TRUE(ExtractZip(zip.c_str(), (WinPath(tmp, "out") + L"\\").c_str()));
    struct stat st;
    ASSERT_EQ(stat(tmp.file("out/d/f.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, LocalTime(2019, 3, 4, 5, 6, 8));
    EXPECT_GE(st.st_atime, before - 1) << "the last-access time is left alone";

    // Read back through the layer too: the local time of the stored DOS date.
    HANDLE f = CreateFileW(WinPath(tmp, "out/d/f.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    FILETIME written, local;
    ASSERT_TRUE(GetFileTime(f, nullptr, nullptr, &written));
    CloseHandle(f);
    ASSERT_TRUE(FileTimeToLocalFileTime(&written, &local));
    WORD date = 0, clock = 0;
    ASSERT_TRUE(FileTimeToDosDateTime(&local, &date, &clock));
    EXPECT_EQ((static_cast<uint32_t>(date) << 16) | clock, kStamp);
}

TEST(ZipExtract, HostileNamesAreSkippedAndTheRestExtracted) {
    TempDir tmp;
    ASSERT_EQ(mkdir(tmp.file("box").c_str(), 0755), 0);
    auto zip = MakeZip(tmp, {{"../x", "escape", kStamp},
                             {"..\\y", "escape", kStamp},
                             {"/abs", "escape", kStamp},
                             {"\\abs2", "escape", kStamp},
                             {"C:\\x", "escape", kStamp},
                             {"c:x", "escape", kStamp},
                             {"../d/", "", kStamp},
                             {"ok/../../z", "escape", kStamp},
                             {"ok/..\\..\\w", "escape", kStamp},
                             {"ok/.../v", "escape", kStamp},
                             {"fine/..name", "kept", kStamp},
                             {"good.txt", "good", kStamp}});
    ASSERT_TRUE(ExtractZip(zip.c_str(), (WinPath(tmp, "box/out") + L"\\").c_str()));
    EXPECT_EQ(ReadAll(tmp.file("box/out/good.txt")), "good");
    EXPECT_EQ(ReadAll(tmp.file("box/out/fine/..name")), "kept");
    EXPECT_EQ(ListFolder(tmp.file("box/out")), "fine good.txt");
    EXPECT_EQ(ListFolder(tmp.file("box")), "out");
    EXPECT_EQ(ListFolder(tmp.path()), "a.zip box");
    EXPECT_FALSE(Exists("/abs"));
    EXPECT_FALSE(Exists("/abs2"));
}

TEST(ZipExtract, AnOutputPathBeyondMaxPathFailsThatEntryOnly) {
    TempDir tmp;
    // The folder leaves room for short names only.
    std::wstring folder = WinPath(tmp, "out") + L"\\";
    size_t room = 255 - folder.size();
    std::string fits(room, 'f');
    std::string too_long(room + 1, 'l');
    std::string long_folder = std::string(room, 'd') + "/";
    auto zip = MakeZip(tmp, {{too_long, "cut", kStamp},
                             {long_folder, "", kStamp},
                             {fits, "whole", kStamp},
                             {"s.txt", "short", kStamp}});
    ASSERT_TRUE(ExtractZip(zip.c_str(), folder.c_str()));
    EXPECT_EQ(ReadAll(tmp.file("out/" + fits)), "whole");
    EXPECT_EQ(ReadAll(tmp.file("out/s.txt")), "short");
    EXPECT_EQ(ListFolder(tmp.file("out")), fits + " s.txt");
}

TEST(ZipExtract, ArchiveMadeByTheZipToolExtracts) {
    TempDir tmp;
    ASSERT_EQ(mkdir(tmp.file("src").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(tmp.file("src/sub").c_str(), 0755), 0);
    std::string text(5000, 'z');
    ASSERT_TRUE(testing_support::WriteAll(tmp.file("src/sub/t.txt"), text));
    std::string cmd = "cd '" + tmp.file("src") + "' && zip -qr ../tool.zip sub";
    ASSERT_EQ(system(cmd.c_str()), 0);
    ASSERT_TRUE(
        ExtractZip(WinPath(tmp, "tool.zip").c_str(), (WinPath(tmp, "out") + L"\\").c_str()));
    EXPECT_EQ(ReadAll(tmp.file("out/sub/t.txt")), text);
}

TEST(ZipExtract, AnArchiveThatCannotBeOpenedAnswersFalse) {
    TempDir tmp;
    ASSERT_TRUE(testing_support::WriteAll(tmp.file("junk.zip"), "this is no zip archive at all"));
    EXPECT_FALSE(
        ExtractZip(WinPath(tmp, "junk.zip").c_str(), (WinPath(tmp, "out") + L"\\").c_str()));
    EXPECT_FALSE(
        ExtractZip(WinPath(tmp, "missing.zip").c_str(), (WinPath(tmp, "out") + L"\\").c_str()));
    EXPECT_FALSE(Exists(tmp.file("out")));
}

TEST(ZipExtract, ADamagedEntryIsRemovedEndsTheWalkAndFails) {
    std::string payload(4000, 'p');
    // Deflated data spoilt, or a stored byte flipped (only the CRC tells).
    for (bool deflate : {true, false}) {
        TempDir tmp;
        auto zip = MakeZip(tmp, {{"first.txt", "1", kStamp},
                                 {"bad.bin", payload, kStamp, deflate},
                                 {"later.txt", "3", kStamp}});
        std::string bytes = ReadAll(tmp.file("a.zip"));
        size_t at = bytes.find("bad.bin") + 7;
        for (size_t i = 0; i < (deflate ? 8 : 1); ++i) bytes[at + (deflate ? 0 : 100) + i] ^= 0x5A;
        ASSERT_TRUE(testing_support::WriteAll(tmp.file("a.zip"), bytes));
        ASSERT_EQ(mkdir(tmp.file("out").c_str(), 0755), 0);
        ASSERT_TRUE(testing_support::WriteAll(tmp.file("out/bad.bin"), "kept"));
        EXPECT_FALSE(ExtractZip(zip.c_str(), (WinPath(tmp, "out") + L"\\").c_str())) << deflate;
        EXPECT_EQ(ListFolder(tmp.file("out")), "bad.bin first.txt");
        EXPECT_EQ(ReadAll(tmp.file("out/bad.bin")), "kept");
    }
}

TEST(ZipExtract, LinksInTheDestinationAreNeverFollowed) {
    TempDir tmp;
    for (const char* dir : {"out", "elsewhere"}) ASSERT_EQ(mkdir(tmp.file(dir).c_str(), 0755), 0);
    ASSERT_TRUE(testing_support::WriteAll(tmp.file("elsewhere/target.txt"), "outside"));
    ASSERT_EQ(symlink(tmp.file("elsewhere").c_str(), tmp.file("out/evil").c_str()), 0);
    ASSERT_EQ(symlink(tmp.file("elsewhere/target.txt").c_str(), tmp.file("out/l.txt").c_str()), 0);
    auto zip = MakeZip(tmp, {{"l.txt", "inside", kStamp}, {"evil/x", "x", kStamp}});
    EXPECT_FALSE(ExtractZip(zip.c_str(), (WinPath(tmp, "out") + L"\\").c_str()));
    EXPECT_EQ(ListFolder(tmp.file("elsewhere")), "target.txt");
    EXPECT_EQ(ReadAll(tmp.file("elsewhere/target.txt")), "outside");
    struct stat st;
    ASSERT_EQ(lstat(tmp.file("out/l.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));  // the link was replaced, not written through
    EXPECT_EQ(ReadAll(tmp.file("out/l.txt")), "inside");
}

TEST(ZipExtract, ArchivesDeclaringMoreThanTheBoundWriteNothing) {
    TempDir tmp;
    auto zip = MakeZip(
        tmp, {{"a", std::string(1000, 'a'), kStamp}, {"b", std::string(1000, 'b'), kStamp}});
    const std::wstring out = WinPath(tmp, "out") + L"\\";
    EXPECT_FALSE(ExtractZip(zip.c_str(), out.c_str(), 1999));
    EXPECT_FALSE(Exists(tmp.file("out")));
    EXPECT_TRUE(ExtractZip(zip.c_str(), out.c_str(), 2000));
    EXPECT_EQ(ListFolder(tmp.file("out")), "a b");
}

TEST(ZipExtract, WalkWithoutPathsWritesLastPartsAndCanKeepExistingFiles) {
    TempDir tmp;
    MakeZip(tmp, {{"a/", "", kStamp}, {"a/b/c.txt", "c", kStamp}, {"d/keep.txt", "new", kStamp}});
    ASSERT_EQ(mkdir(tmp.file("out").c_str(), 0755), 0);
    ASSERT_TRUE(testing_support::WriteAll(tmp.file("out/keep.txt"), "old"));
    std::wstring wide = WinPath(tmp, "out") + L"\\";
    std::string folder(wide.begin(), wide.end());  // the test folder's path is ASCII
    unzFile archive = unzOpen(tmp.file("a.zip").c_str());
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(ExtractAllEntries(archive, 1, 0, nullptr, folder.c_str()), 0);
    unzClose(archive);
    EXPECT_EQ(ListFolder(tmp.file("out")), "c.txt keep.txt");
    EXPECT_EQ(ReadAll(tmp.file("out/c.txt")), "c");
    EXPECT_EQ(ReadAll(tmp.file("out/keep.txt")), "old");
}

TEST(ZipExtract, DirectoryChainStopsAtTheLastSeparator) {
    TempDir tmp;
    EXPECT_TRUE(CreateDirectoryChain((WinPath(tmp, "p/q") + L"\\r").c_str()));
    EXPECT_TRUE(IsFolder(tmp.file("p/q")));
    EXPECT_FALSE(Exists(tmp.file("p/q/r")));
    EXPECT_TRUE(CreateDirectoryChain(L"C:\\"));
    EXPECT_TRUE(CreateDirectoryChain(L"Z:\\"));
    std::wstring deep = tmp.win() + L"\\" + std::wstring(261, L'n') + L"\\";
    EXPECT_FALSE(CreateDirectoryChain(deep.c_str()));
    EXPECT_FALSE(Exists(tmp.file(std::string(261, 'n'))));
    EXPECT_TRUE(CreateDirectoryIfMissing(WinPath(tmp, "p").c_str()));
    EXPECT_TRUE(CreateDirectoryIfMissing(WinPath(tmp, "fresh").c_str()));
    EXPECT_TRUE(IsFolder(tmp.file("fresh")));
    EXPECT_FALSE(CreateDirectoryIfMissing(WinPath(tmp, "none/deeper").c_str()));
}

TEST(ZipExtract, ProgressStatesDecode) {
    WPARAM w = 0;
    int state = -5, percent = -5;
    DecodeUnzipProgress(7, 42, &w, &state, &percent);
    EXPECT_EQ(w, 7u);
    EXPECT_EQ(state, UNZIP_PROGRESS_RUNNING);
    EXPECT_EQ(percent, 42);
    DecodeUnzipProgress(7, 100, &w, &state, &percent);
    EXPECT_EQ(state, UNZIP_PROGRESS_DONE);
    DecodeUnzipProgress(7, -1, &w, &state, &percent);
    EXPECT_EQ(state, UNZIP_PROGRESS_FAILED);
    EXPECT_EQ(percent, -1);
}

namespace {

// A window of the test's thread that only keeps what is posted to it.
struct ProgressWindow {
    ProgressWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ZipProgressTest";
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               wc.hInstance, nullptr);
    }
    ~ProgressWindow() { DestroyWindow(hwnd); }

    // The percents posted with the message and wparam, in order.
    std::vector<int> Percents(UINT message, WPARAM wparam) {
        std::vector<int> out;
        MSG msg;
        while (PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE)) {
            EXPECT_EQ(msg.message, message);
            EXPECT_EQ(msg.wParam, wparam);
            out.push_back(static_cast<int>(msg.lParam));
        }
        return out;
    }

    HWND hwnd = nullptr;
};

}  // namespace

TEST(ZipExtract, ProgressIsPostedPerPercentAndEndsWithDone) {
    TempDir tmp;
    ProgressWindow window;
    ASSERT_NE(window.hwnd, nullptr);
    std::vector<Entry> entries;
    for (int i = 0; i < 3; ++i) entries.push_back({"f" + std::to_string(i), "x", kStamp});
    auto zip = MakeZip(tmp, entries);
    const UINT kMessage = WM_APP + 5;
    EXPECT_TRUE(ExtractZipWithProgress(window.hwnd, kMessage, zip.c_str(),
                                       (WinPath(tmp, "out") + L"\\").c_str(), 9));
    EXPECT_EQ(window.Percents(kMessage, 9), (std::vector<int>{33, 66, 100, 100}));
    EXPECT_EQ(ListFolder(tmp.file("out")), "f0 f1 f2");

    EXPECT_FALSE(ExtractZipWithProgress(window.hwnd, kMessage, WinPath(tmp, "none.zip").c_str(),
                                        (WinPath(tmp, "out") + L"\\").c_str(), 9));
    EXPECT_EQ(window.Percents(kMessage, 9), std::vector<int>{-1});
}
