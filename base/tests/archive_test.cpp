#include "base/zip_extract.h"

#include <time.h>
#include <unzip.h>
#include <zlib.h>

#include "base/zlib_inflate.h"

#include "support/base_test.h"
#include "testing/zip_writer.h"

using namespace base;
using testzip::Entry;

namespace {

const uint32_t kStamp = testzip::DosDateTime(2019, 3, 4, 5, 6, 8);

Entry E(const std::string& name, const std::string& data = "", bool deflate = false) {
    return {name, data, kStamp, deflate};
}

class Archive : public base_test::FolderTest {
protected:
    std::wstring Zip(const std::vector<Entry>& entries, const std::string& name = "a.zip") {
        EXPECT_TRUE(testzip::WriteZip(file(name), entries));
        return winfile(name);
    }
    std::wstring Folder(const std::string& name) const { return winfile(name) + L"\\"; }
};

// Nested entries make their folders, as does a missing destination, and files that
// are there are replaced whole; archives of the zip tool extract too. The stored DOS
// date is local time; the last-access time is left alone.
TEST_F(Archive, EntriesKeepTheirBytesDateAndFoldersAndReplaceFilesWhole) {
    struct Zone : ScopedEnv {
        Zone() : ScopedEnv("TZ", "CST-8") { tzset(); }
        ~Zone() { tzset(); }
    } zone;
    const time_t before = time(nullptr);
    struct tm stored = {8, 6, 5, 4, 2, 119};  // 2019-03-04 05:06:08
    stored.tm_isdst = -1;
    std::string big(100000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 % 251);
    ASSERT_EQ(system(("mkdir -p '" + file("out/dest/x") + "' '" + file("src/sub") + "'").c_str()),
              0);
    ASSERT_TRUE(WriteAll(file("out/dest/top.txt"), "an older, longer text"));
    auto zip = Zip({E("top.txt", "top"), E("a/b/c.txt", "deep", true), E("a\\win.txt", "backslash"),
                    E("a/b/big.bin", big, true), E("empty/"), E("x/y/")});
    for (const std::string dest : {"out/dest", "one/two/three"}) {
        ASSERT_TRUE(ExtractZip(zip.c_str(), Folder(dest).c_str())) << dest;
        struct stat st;  // before a read sets the access time
        ASSERT_EQ(stat(file(dest + "/a/b/c.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mtime, mktime(&stored));
        EXPECT_GE(st.st_atime, before - 1);
        EXPECT_EQ(Read(dest + "/top.txt") + Read(dest + "/a/b/c.txt") + Read(dest + "/a/win.txt"),
                  "topdeepbackslash");
        EXPECT_EQ(Read(dest + "/a/b/big.bin"), big);
        EXPECT_EQ(List(dest) + "|" + List(dest + "/a") + "|" + List(dest + "/empty") + "|" +
                      List(dest + "/x/y"),
                  "a empty top.txt x|b win.txt||");
    }
    ASSERT_TRUE(WriteAll(file("src/sub/t.txt"), big.substr(0, 5000)));
    ASSERT_EQ(system(("cd '" + file("src") + "' && zip -qr ../tool.zip sub").c_str()), 0);
    ASSERT_TRUE(ExtractZip(winfile("tool.zip").c_str(), Folder("tool").c_str()));
    EXPECT_EQ(Read("tool/sub/t.txt"), big.substr(0, 5000));
}

// Names that would leave the folder, and output paths beyond MAX_PATH, fail that
// entry only.
TEST_F(Archive, NamesThatLeaveTheFolderOrDoNotFitAreSkipped) {
    Dir("box");
    const std::wstring folder = Folder("box/out");
    const size_t room = 255 - folder.size();  // short names only
    const std::string fits(room, 'f');
    std::vector<Entry> entries = {E(std::string(room + 1, 'l'), "cut"),
                                  E(std::string(room, 'd') + "/"), E(fits, "whole"),
                                  E("fine/..name", "kept"), E("good.txt", "good")};
    for (const char* name : {"../x", "..\\y", "/abs", "\\abs2", "C:\\x", "c:x", "../d/",
                             "ok/../../z", "ok/..\\..\\w", "ok/.../v"})
        entries.push_back(E(name, "escape"));
    ASSERT_TRUE(ExtractZip(Zip(entries).c_str(), folder.c_str()));
    EXPECT_EQ(Read("box/out/good.txt") + Read("box/out/fine/..name") + Read("box/out/" + fits),
              "goodkeptwhole");
    EXPECT_EQ(List("box/out"), fits + " fine good.txt");
    EXPECT_EQ(List("box") + "|" + List(), "out|a.zip box");
    EXPECT_FALSE(Exists("/abs") || Exists("/abs2"));
}

// Archives that cannot be opened or declare more than the bound write nothing. Deflated
// data spoilt, or a stored byte flipped (only the CRC tells): the entry is removed, what
// was there stays and the walk ends.
TEST_F(Archive, BadArchivesWriteNothingAndADamagedEntryEndsTheWalk) {
    Write("junk.zip", "this is no zip archive at all");
    EXPECT_FALSE(ExtractZip(winfile("junk.zip").c_str(), Folder("out").c_str()));
    EXPECT_FALSE(ExtractZip(winfile("missing.zip").c_str(), Folder("out").c_str()));
    auto zip = Zip({E("a", std::string(1000, 'a')), E("b", std::string(1000, 'b'))}, "b.zip");
    EXPECT_FALSE(ExtractZip(zip.c_str(), Folder("out").c_str(), 1999) || Exists(file("out")));
    EXPECT_TRUE(ExtractZip(zip.c_str(), Folder("out").c_str(), 2000));
    EXPECT_EQ(List("out"), "a b");
    for (bool deflate : {true, false}) {
        zip = Zip({E("first.txt", "1"), E("bad.bin", std::string(4000, 'p'), deflate),
                   E("later.txt", "3")});
        std::string bytes = Read("a.zip");
        const size_t at = bytes.find("bad.bin") + 7;
        for (size_t i = 0; i < (deflate ? 8 : 1); ++i) bytes[at + (deflate ? 0 : 100) + i] ^= 0x5A;
        ASSERT_TRUE(WriteAll(file("a.zip"), bytes));
        const std::string out = deflate ? "out1" : "out2";
        Dir(out), Write(out + "/bad.bin", "kept");
        EXPECT_FALSE(ExtractZip(zip.c_str(), Folder(out).c_str())) << deflate;
        EXPECT_EQ(List(out), "bad.bin first.txt");
        EXPECT_EQ(Read(out + "/bad.bin"), "kept");
    }
}

TEST_F(Archive, LinksInTheDestinationAreNeverFollowed) {
    Dir("out"), Dir("elsewhere");
    Write("elsewhere/target.txt", "outside");
    ASSERT_EQ(symlink(file("elsewhere").c_str(), file("out/evil").c_str()), 0);
    ASSERT_EQ(symlink(file("elsewhere/target.txt").c_str(), file("out/l.txt").c_str()), 0);
    EXPECT_FALSE(
        ExtractZip(Zip({E("l.txt", "inside"), E("evil/x", "x")}).c_str(), Folder("out").c_str()));
    EXPECT_EQ(List("elsewhere") + "|" + Read("elsewhere/target.txt"), "target.txt|outside");
    struct stat st;
    ASSERT_EQ(lstat(file("out/l.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));  // the link was replaced, not written through
    EXPECT_EQ(Read("out/l.txt"), "inside");
}

TEST_F(Archive, WalkWithoutPathsWritesLastPartsAndCanKeepExistingFiles) {
    Zip({E("a/"), E("a/b/c.txt", "c"), E("d/keep.txt", "new")});
    Dir("out"), Write("out/keep.txt", "old");
    const std::wstring wide = Folder("out");
    const std::string folder(wide.begin(), wide.end());  // the test folder's path is ASCII
    unzFile archive = unzOpen(file("a.zip").c_str());
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(ExtractAllEntries(archive, 1, 0, nullptr, folder.c_str()), 0);
    unzClose(archive);
    EXPECT_EQ(List("out") + "|" + Read("out/c.txt") + Read("out/keep.txt"), "c.txt keep.txt|cold");
}

TEST_F(Archive, DirectoryChainStopsAtTheLastSeparator) {
    EXPECT_TRUE(CreateDirectoryChain((winfile("p/q") + L"\\r").c_str()));
    EXPECT_EQ(List("p") + "|" + List("p/q"), "q|");
    EXPECT_FALSE(Exists(file("p/q/r")));
    EXPECT_TRUE(CreateDirectoryChain(L"C:\\") && CreateDirectoryChain(L"Z:\\"));
    EXPECT_FALSE(CreateDirectoryChain(Folder(std::string(261, 'n')).c_str()));
    for (const char* made : {"p", "fresh"})
        EXPECT_TRUE(CreateDirectoryIfMissing(winfile(made).c_str()));
    EXPECT_FALSE(CreateDirectoryIfMissing(winfile("none/deeper").c_str()));
    EXPECT_EQ(List(), "fresh p");
}

// Each message decodes to "wparam:state:percent".
TEST_F(Archive, ProgressIsPostedPerPercentAndEndsWithDone) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const UINT kMessage = WM_APP + 5;
    auto posted = [&] {
        std::string out;
        MSG msg;
        while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
            WPARAM w = 0;
            int state = -5, percent = -5;
            DecodeUnzipProgress(msg.wParam, msg.lParam, &w, &state, &percent);
            out += (msg.message == kMessage ? "" : "other ") + std::to_string(w) + ":" +
                   std::to_string(state) + ":" + std::to_string(percent) + " ";
        }
        return out;
    };
    auto zip = Zip({E("f0", "x"), E("f1", "x"), E("f2", "x")});
    EXPECT_TRUE(ExtractZipWithProgress(window, kMessage, zip.c_str(), Folder("out").c_str(), 9));
    EXPECT_EQ(posted(), "9:0:33 9:0:66 9:1:100 9:1:100 ");
    EXPECT_EQ(List("out"), "f0 f1 f2");
    EXPECT_FALSE(ExtractZipWithProgress(window, kMessage, winfile("none.zip").c_str(),
                                        Folder("out").c_str(), 9));
    EXPECT_EQ(posted(), "9:2:-1 ");
    DestroyWindow(window);
}

const auto* Bytes(const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); }

std::string Sample() {
    std::string out;
    for (int i = 0; i < 50000; ++i) out += static_cast<char>('a' + i * 31 % 26);
    return out;
}

// Gzip streams only when detection is asked for, as the file writers and gunzip do; a
// cut stream or a bad check is a data error, and a gunzip replaces its target or writes
// nothing.
TEST_F(Archive, InflatesZlibAndGzipToMemoryFilesOrNothing) {
    const std::string text = Sample(), zlib = testzip::Deflate(text, 15),
                      gz = testzip::Deflate(text, 31);
    const struct {
        std::string packed;
        bool gzip;
        int result;
    } cases[] = {{zlib, true, Z_OK},
                 {gz, true, Z_OK},
                 {gz, false, Z_DATA_ERROR},
                 {zlib.substr(0, zlib.size() / 2), false, Z_DATA_ERROR}};
    for (const auto& c : cases) {
        unsigned char* out = nullptr;
        unsigned long length = 12345;
        EXPECT_EQ(InflateBuffer(Bytes(c.packed), c.packed.size(), &out, &length, c.gzip), c.result)
            << c.packed.size() << " " << c.gzip;
        if (c.result == Z_OK) EXPECT_EQ(out ? std::string((char*)out, length) : "", text);
        free(out);
    }
    HANDLE f = CreateFileW(winfile("t.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(InflateToFile(Bytes(gz), gz.size(), f), Z_OK);
    EXPECT_EQ(InflateToFileWithTerminator(Bytes(gz), gz.size(), f), Z_OK);
    CloseHandle(f);
    EXPECT_EQ(Read("t.bin"), text + text + std::string(4, '\0'));

    std::string bad_check = gz;
    bad_check[bad_check.size() - 8] ^= 0x55;  // the trailer's CRC-32
    ASSERT_TRUE(WriteAll(file("a.gz"), gz) && WriteAll(file("bad.gz"), bad_check));
    ASSERT_TRUE(WriteAll(file("out.txt"), std::string(200000, 'o')));
    EXPECT_TRUE(GunzipFile(winfile("a.gz").c_str(), winfile("out.txt").c_str()));
    EXPECT_EQ(Read("out.txt"), text);
    EXPECT_FALSE(GunzipFile(winfile("bad.gz").c_str(), winfile("bad.txt").c_str()));
    EXPECT_FALSE(GunzipFile(winfile("missing.gz").c_str(), winfile("m.txt").c_str()) ||
                 Has("m.txt"));
}

}  // namespace
