// Profile (INI) files: reading, listing, writing with the encoding kept, and
// writers in several threads and processes.
#include <windows.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "testing/temp_dir.h"
#include "testing/win32_fork.h"

namespace {

using testing_support::ReadAll;
using testing_support::WriteAll;

std::string Utf16le(const std::wstring& s) {
    std::string out;
    for (wchar_t c : s) out += {char(c & 0xFF), char((c >> 8) & 0xFF)};
    return out;
}

const std::wstring kConfig =
    L"[game]\r\n"
    L"name=\u5FAE\u8F6F\u96C5\u9ED1\r\n"
    L"newspages_url = http://127.0.0.1/news \r\n"
    L"; a comment\r\n"
    L"\r\n"
    L"[Channel]\r\n"
    L"save_user_channel=1\r\n"
    L"user_channel=\"abc\"\r\n"
    L"user_from='x'\r\n";
const std::string kUtf16Config = "\xFF\xFE" + Utf16le(kConfig);

class ProfileTest : public ::testing::Test {
protected:
    std::wstring Get(const std::string& file, const wchar_t* app, const wchar_t* key,
                     const wchar_t* def = nullptr, DWORD size = 260) const {
        std::vector<wchar_t> buf(size + 1, L'#');
        DWORD n =
            GetPrivateProfileStringW(app, key, def, buf.data(), size, dir_.winfile(file).c_str());
        if ((!app || !key) && n > 0) {
            EXPECT_EQ(buf[n], L'\0') << "a list ends in two zeros";
        }
        return std::wstring(buf.data(), n);
    }
    BOOL Put(const std::string& file, const wchar_t* app, const wchar_t* key,
             const wchar_t* value) const {
        return WritePrivateProfileStringW(app, key, value, dir_.winfile(file).c_str());
    }
    std::string Files() const { return testing_support::ListFolder(dir_.path()); }
    testing_support::TempDir dir_;
};

TEST_F(ProfileTest, ReadsIgnoreCaseDropQuotesCutToTheBufferAndFallBackToTheDefault) {
    WriteAll(dir_.file("c.ini"), kUtf16Config);
    const struct {
        const wchar_t *app, *key, *def;
        DWORD size;
        std::wstring out;
    } cases[] = {
        {L"game", L"name", nullptr, 260, L"\u5FAE\u8F6F\u96C5\u9ED1"},
        {L"GAME", L"NewsPages_URL", nullptr, 260, L"http://127.0.0.1/news"},
        {L"Channel", L"user_channel", nullptr, 260, L"abc"},
        {L"Channel", L"user_from", nullptr, 260, L"x"},
        {L"game", L"domain_url", nullptr, 260, L""},
        {L"nosuch", L"name", L"fallback  ", 260, L"fallback"},
        {L"nosuch", L"name", L"\"quoted\" ", 260, L"quoted"},
        {L" channel ", L"\tuser_channel ", nullptr, 260, L"abc"},
        {L"game", L"name", nullptr, 4, L"\u5FAE\u8F6F\u96C5"},
        {L"game", L"nosuch", L"default", 3, L"de"},
        // Listed with a null key or section: names ending in zeros, cut at size - 2.
        {L"CHANNEL", nullptr, nullptr, 260,
         std::wstring(L"save_user_channel\0user_channel\0user_from\0", 41)},
        {L"nosuch", nullptr, nullptr, 260, L""},
        {nullptr, L"ignored", nullptr, 64, std::wstring(L"game\0Channel\0", 13)},
        {nullptr, nullptr, nullptr, 8, std::wstring(L"game\0C", 6)},
    };
    for (const auto& t : cases)
        EXPECT_EQ(Get("c.ini", t.app, t.key, t.def, t.size), t.out)
            << (t.app ? t.app : L"-") << " " << (t.key ? t.key : L"-") << " " << t.size;
    SetLastError(0);
    EXPECT_EQ(Get("c.ini", L"nosuch", L"name", L"d"), L"d");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Get("missing.ini", L"game", L"name", L"d"), L"d");
    EXPECT_EQ(Files(), "c.ini");
    // A line without "=" is no key; a key indented after a comment is one; lists
    // name every line as written, and one that just fills the buffer counts as cut.
    WriteAll(dir_.file("bare.ini"), "[s]\r\nbare\r\n; note\r\n\t k = 1\r\nK=2\r\n[t]\r\n[S]\r\n");
    EXPECT_EQ(Get("bare.ini", L"s", nullptr), std::wstring(L"k\0K\0", 4));
    EXPECT_EQ(Get("bare.ini", nullptr, nullptr), std::wstring(L"s\0t\0S\0", 6));
    EXPECT_EQ(Get("bare.ini", L"s", L"bare", L"dflt"), L"dflt");
    EXPECT_EQ(Get("bare.ini", L"s", L"K"), L"1");
    EXPECT_EQ(Get("bare.ini", L"s", nullptr, nullptr, 5), std::wstring(L"k\0K", 3));
}

TEST_F(ProfileTest, IntegersReadWithSignInDecimalOrHexAndStopAtTheFirstNonDigit) {
    WriteAll(dir_.file("log.ini"),
             "[log]\r\nlevel=3\r\nneg=-12abc\r\nplus=+7\r\ntext=abc\r\nempty=\r\n"
             "hex=0x1Fg\r\nnothex=1f\r\n");
    const std::pair<const wchar_t*, UINT> cases[] = {
        {L"level", 3}, {L"neg", UINT(-12)}, {L"plus", 7},   {L"text", 0},
        {L"empty", 5}, {L"hex", 31},        {L"nothex", 1}, {L"retain_days", 5}};
    for (auto [key, value] : cases)
        EXPECT_EQ(GetPrivateProfileIntW(L"LOG", key, 5, dir_.winfile("log.ini").c_str()), value)
            << key;
    EXPECT_EQ(GetPrivateProfileIntW(L"log", L"level", 5, dir_.winfile("none.ini").c_str()), 5u);
}

TEST_F(ProfileTest, WritesKeepTheEncodingAndTheBytesOfTheLinesTheyDoNotTouch) {
    WriteAll(dir_.file("c.ini"), kUtf16Config);
    ASSERT_TRUE(Put("c.ini", L"channel", L"USER_CHANNEL", L"\u4E2D\u6587"));
    ASSERT_TRUE(Put("c.ini", L" channel", L"user_subsite ", L"  42"));
    ASSERT_TRUE(Put("c.ini", L"game", L"domain_url", L"http://127.0.0.1/d"));
    std::wstring expected = kConfig;
    expected.replace(expected.find(L"user_channel=\"abc\""), 18, L"user_channel=\u4E2D\u6587");
    expected += L"user_subsite=42\r\n";
    expected.insert(expected.find(L"; a comment"), L"domain_url=http://127.0.0.1/d\r\n");
    EXPECT_EQ(ReadAll(dir_.file("c.ini")), "\xFF\xFE" + Utf16le(expected));

    // Without a mark a file is ANSI, and so is a new one; new lines end in \r\n, the
    // others keep their ends, a last line without one included.
    WriteAll(dir_.file("a.ini"), "[s]\nname=\xE4\xB8\xAD\n;end\n\nk=1");
    EXPECT_EQ(Get("a.ini", L"S", L"NAME"), L"\u4E2D");
    ASSERT_TRUE(Put("a.ini", L"s", L"k", L"2"));
    EXPECT_EQ(ReadAll(dir_.file("a.ini")), "[s]\nname=\xE4\xB8\xAD\n;end\n\nk=2");
    ASSERT_TRUE(Put("a.ini", L"s", L"other", L"\u6587"));
    EXPECT_EQ(ReadAll(dir_.file("a.ini")),
              "[s]\nname=\xE4\xB8\xAD\n;end\n\nk=2\r\nother=\xE6\x96\x87\r\n");
    const wchar_t* writes[][3] = {{L"GAME_DOWNLOADER", L"UserChannel", L"c1"},
                                  {L"GAME_DOWNLOADER", L"UserFrom", L"f1"},
                                  {L"other", L"k", L"v"},
                                  {L"game_downloader", L"userchannel", L"c2"}};
    for (auto& w : writes) ASSERT_TRUE(Put("n.ini", w[0], w[1], w[2]));
    EXPECT_EQ(ReadAll(dir_.file("n.ini")),
              "[GAME_DOWNLOADER]\r\nUserChannel=c2\r\nUserFrom=f1\r\n[other]\r\nk=v\r\n");

    // A null value deletes the key, a null key the section (every one of that name).
    WriteAll(dir_.file("d.ini"), "[a]\r\nx=1\r\ny=2\r\n[b]\r\nz=3\r\n[A]\r\nw=4\r\n");
    ASSERT_TRUE(Put("d.ini", L"A", L"X", nullptr));
    EXPECT_EQ(ReadAll(dir_.file("d.ini")), "[a]\r\ny=2\r\n[b]\r\nz=3\r\n[A]\r\nw=4\r\n");
    ASSERT_TRUE(Put("d.ini", L"a", nullptr, nullptr));
    EXPECT_EQ(ReadAll(dir_.file("d.ini")), "[b]\r\nz=3\r\n");
    EXPECT_TRUE(Put("none.ini", L"a", L"x", nullptr));  // nothing to delete, nothing made
    EXPECT_TRUE(Put("none.ini", L"a", nullptr, nullptr));
    EXPECT_FALSE(testing_support::Exists(dir_.file("none.ini")));
}

TEST_F(ProfileTest, AWriteReplacesTheFileKeepingItsModeAndLinkAndLeavesNothingElse) {
    WriteAll(dir_.file("real.ini"), "[s]\r\nk=1\r\n");
    ASSERT_EQ(chmod(dir_.file("real.ini").c_str(), 0640), 0);
    ASSERT_EQ(symlink(dir_.file("real.ini").c_str(), dir_.file("link.ini").c_str()), 0);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(Put("real.ini", L"s", L"k", std::to_wstring(i).c_str()));
    ASSERT_TRUE(Put("link.ini", L"s", L"j", L"2"));
    EXPECT_EQ(ReadAll(dir_.file("real.ini")), "[s]\r\nk=4\r\nj=2\r\n");
    struct stat st;
    ASSERT_EQ(lstat(dir_.file("link.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(dir_.file("real.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    SetLastError(0);
    EXPECT_FALSE(Put("nofolder/x.ini", L"s", L"k", L"v"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Files(), "link.ini real.ini");
}

TEST_F(ProfileTest, WritersInThreadsAndProcessesLoseNoKeyAndDeadOnesLeaveNoTemporary) {
    std::vector<pid_t> pids;
    for (int w = 0; w < 4; ++w) {
        if ((pids.emplace_back(fork())) != 0) continue;
        for (int i = 0; i < 40 && w > 0; ++i)  // writer 0 only dies, leaving its pid unused
            if (!Put("p.ini", L"s", (L"k" + std::to_wstring(w * 100 + i)).c_str(), L"v")) _exit(1);
        _exit(0);
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([this, t] {
            for (int i = 0; i < 8; ++i)
                EXPECT_TRUE(Put("p.ini", L"s", (L"t" + std::to_wstring(t * 10 + i)).c_str(), L"v"));
        });
    for (auto& th : threads) th.join();
    EXPECT_TRUE(testing_support::AllExitedWithZero(pids));
    WriteAll(dir_.file("p.ini.tmp" + std::to_string(pids[0]) + "_3"), "stale");
    WriteAll(dir_.file("p.ini.tmp" + std::to_string(getpid()) + "_9"), "live");
    ASSERT_TRUE(Put("p.ini", L"s", L"last", L"v"));
    std::wstring keys = Get("p.ini", L"s", nullptr, nullptr, 4096);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), L'\0'), 3 * 40 + 4 * 8 + 1);
    EXPECT_EQ(Files(), "p.ini p.ini.tmp" + std::to_string(getpid()) + "_9");  // and the live one's
}

}  // namespace
