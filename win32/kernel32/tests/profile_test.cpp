#include <windows.h>

#include <gtest/gtest.h>

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// A private folder, reached through the drive Z: (the Linux root).
class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* v = getenv("WIN32_DRIVES");
        if (v) saved_drives_ = v;
        setenv("WIN32_DRIVES", "Z=/", 1);
        const char* tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/profile_test.XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        dir_ = pattern;
    }
    void TearDown() override {
        std::string cmd = "rm -rf '" + dir_ + "'";
        EXPECT_EQ(0, system(cmd.c_str()));
        if (saved_drives_) {
            setenv("WIN32_DRIVES", saved_drives_->c_str(), 1);
        } else {
            unsetenv("WIN32_DRIVES");
        }
    }

    std::string unix_path(const std::string& name) const { return dir_ + "/" + name; }
    std::wstring win_path(const std::string& name) const {
        std::wstring out = L"Z:";
        for (char c : unix_path(name)) out += c == '/' ? L'\\' : static_cast<wchar_t>(c);
        return out;
    }
    void write_bytes(const std::string& name, const std::string& bytes) const {
        std::ofstream(unix_path(name), std::ios::binary) << bytes;
    }
    std::optional<std::string> read_bytes(const std::string& name) const {
        std::ifstream in(unix_path(name), std::ios::binary);
        if (!in) return std::nullopt;
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::vector<std::string> folder_entries() const {
        std::vector<std::string> names;
        DIR* d = opendir(dir_.c_str());
        while (dirent* e = d ? readdir(d) : nullptr) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        if (d) closedir(d);
        return names;
    }

    std::wstring get(const std::string& file, const wchar_t* app, const wchar_t* key,
                     const wchar_t* def = nullptr, DWORD size = 260) const {
        std::vector<wchar_t> buf(size + 1, L'#');
        DWORD n = GetPrivateProfileStringW(app, key, def, buf.data(), size, win_path(file).c_str());
        return std::wstring(buf.data(), n);
    }
    BOOL put(const std::string& file, const wchar_t* app, const wchar_t* key,
             const wchar_t* value) const {
        return WritePrivateProfileStringW(app, key, value, win_path(file).c_str());
    }

    std::string dir_;
    std::optional<std::string> saved_drives_;
};

std::string utf16le(const std::wstring& s) {
    std::string out;
    for (wchar_t c : s) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>((c >> 8) & 0xFF);
    }
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

TEST_F(ProfileTest, ReadsUtf16LeFileWithBomIgnoringCase) {
    write_bytes("config.ini", "\xFF\xFE" + utf16le(kConfig));
    EXPECT_EQ(L"\u5FAE\u8F6F\u96C5\u9ED1", get("config.ini", L"game", L"name"));
    EXPECT_EQ(L"http://127.0.0.1/news", get("config.ini", L"GAME", L"NewsPages_URL"));
    EXPECT_EQ(L"1", get("config.ini", L"channel", L"save_user_channel"));
}

TEST_F(ProfileTest, QuotesAroundAValueAreRemoved) {
    write_bytes("config.ini", "\xFF\xFE" + utf16le(kConfig));
    EXPECT_EQ(L"abc", get("config.ini", L"Channel", L"user_channel"));
    EXPECT_EQ(L"x", get("config.ini", L"Channel", L"user_from"));
}

TEST_F(ProfileTest, MissingKeyOrFileGivesTheDefault) {
    write_bytes("config.ini", "\xFF\xFE" + utf16le(kConfig));
    EXPECT_EQ(L"", get("config.ini", L"game", L"domain_url"));
    SetLastError(0);
    EXPECT_EQ(L"fallback", get("config.ini", L"nosuch", L"name", L"fallback  "));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(L"d", get("missing.ini", L"game", L"name", L"d"));
    EXPECT_TRUE(folder_entries() == std::vector<std::string>{"config.ini"});
}

TEST_F(ProfileTest, ValueIsCutToTheBuffer) {
    write_bytes("config.ini", "\xFF\xFE" + utf16le(kConfig));
    wchar_t buf[4];
    EXPECT_EQ(3u, GetPrivateProfileStringW(L"game", L"name", nullptr, buf, 4,
                                           win_path("config.ini").c_str()));
    EXPECT_EQ(std::wstring(L"\u5FAE\u8F6F\u96C5"), buf);
    EXPECT_EQ(L"ht", get("config.ini", L"game", L"newspages_url", nullptr, 3));
    EXPECT_EQ(L"de", get("config.ini", L"game", L"nosuch", L"default", 3));
}

TEST_F(ProfileTest, NullSectionListsTheSections) {
    write_bytes("config.ini", "\xFF\xFE" + utf16le(kConfig));
    const std::wstring expected(L"game\0Channel\0", 13);
    wchar_t buf[64];
    wmemset(buf, L'#', 64);
    EXPECT_EQ(13u, GetPrivateProfileStringW(nullptr, L"ignored", nullptr, buf, 64,
                                            win_path("config.ini").c_str()));
    EXPECT_EQ(expected, std::wstring(buf, 13));
    EXPECT_EQ(L'\0', buf[13]);

    // Cut: the list still ends in two zeros and the result is the size minus two.
    wmemset(buf, L'#', 64);
    EXPECT_EQ(6u, GetPrivateProfileStringW(nullptr, nullptr, nullptr, buf, 8,
                                           win_path("config.ini").c_str()));
    EXPECT_EQ(std::wstring(L"game\0C\0\0", 8), std::wstring(buf, 8));
}

TEST_F(ProfileTest, NullKeyListsTheKeysOfTheSection) {
    write_bytes("config.ini", "\xFF\xFE" + utf16le(kConfig));
    EXPECT_EQ(std::wstring(L"save_user_channel\0user_channel\0user_from\0", 41),
              get("config.ini", L"CHANNEL", nullptr));
    EXPECT_EQ(L"", get("config.ini", L"nosuch", nullptr));
    // A line without "=" is no key; a list that just fills the buffer counts as cut.
    write_bytes("bare.ini", "[s]\r\nbare\r\nk=1\r\n");
    EXPECT_EQ(std::wstring(L"k\0", 2), get("bare.ini", L"s", nullptr));
    EXPECT_EQ(L"dflt", get("bare.ini", L"s", L"bare", L"dflt"));
    EXPECT_EQ(std::wstring(L"k", 1), get("bare.ini", L"s", nullptr, nullptr, 3));
}

TEST_F(ProfileTest, IntegersReadWithSignAndStopAtTheFirstNonDigit) {
    write_bytes("log.ini", "[log]\r\nlevel=3\r\nneg=-12abc\r\nplus=+7\r\ntext=abc\r\nempty=\r\n");
    const std::wstring file = win_path("log.ini");
    EXPECT_EQ(3u, GetPrivateProfileIntW(L"log", L"level", 0, file.c_str()));
    EXPECT_EQ(static_cast<UINT>(-12), GetPrivateProfileIntW(L"LOG", L"neg", 0, file.c_str()));
    EXPECT_EQ(7u, GetPrivateProfileIntW(L"log", L"plus", 0, file.c_str()));
    EXPECT_EQ(0u, GetPrivateProfileIntW(L"log", L"text", 5, file.c_str()));
    EXPECT_EQ(5u, GetPrivateProfileIntW(L"log", L"empty", 5, file.c_str()));
    EXPECT_EQ(3u, GetPrivateProfileIntW(L"log", L"retain_days", 3, file.c_str()));
    EXPECT_EQ(3u, GetPrivateProfileIntW(L"log", L"retain_days", 3, win_path("none.ini").c_str()));
}

TEST_F(ProfileTest, WritingAUtf16FileKeepsItUtf16) {
    write_bytes("config.ini", "\xFF\xFE" + utf16le(kConfig));
    ASSERT_TRUE(put("config.ini", L"channel", L"USER_CHANNEL", L"\u4E2D\u6587"));
    ASSERT_TRUE(put("config.ini", L"channel", L"user_subsite", L"42"));
    ASSERT_TRUE(put("config.ini", L"game", L"domain_url", L"http://127.0.0.1/d"));

    std::wstring expected = kConfig;
    expected.replace(expected.find(L"user_channel=\"abc\""), 18, L"user_channel=\u4E2D\u6587");
    expected += L"user_subsite=42\r\n";
    expected.insert(expected.find(L"; a comment"), L"domain_url=http://127.0.0.1/d\r\n");
    EXPECT_EQ("\xFF\xFE" + utf16le(expected), read_bytes("config.ini"));
    EXPECT_EQ(L"\u4E2D\u6587", get("config.ini", L"Channel", L"user_channel"));
}

TEST_F(ProfileTest, FileWithoutBomIsReadAndWrittenAsAnsi) {
    write_bytes("a.ini", "[s]\nname=\xE4\xB8\xAD\n");
    EXPECT_EQ(L"\u4E2D", get("a.ini", L"S", L"NAME"));
    ASSERT_TRUE(put("a.ini", L"s", L"other", L"\u6587"));
    EXPECT_EQ("[s]\r\nname=\xE4\xB8\xAD\r\nother=\xE6\x96\x87\r\n", read_bytes("a.ini"));
}

TEST_F(ProfileTest, FirstWriteCreatesAnAnsiFile) {
    ASSERT_TRUE(put("channel.ini", L"GAME_DOWNLOADER", L"UserChannel", L"c1"));
    ASSERT_TRUE(put("channel.ini", L"GAME_DOWNLOADER", L"UserFrom", L"f1"));
    ASSERT_TRUE(put("channel.ini", L"other", L"k", L"v"));
    ASSERT_TRUE(put("channel.ini", L"game_downloader", L"userchannel", L"c2"));
    EXPECT_EQ("[GAME_DOWNLOADER]\r\nUserChannel=c2\r\nUserFrom=f1\r\n[other]\r\nk=v\r\n",
              read_bytes("channel.ini"));
}

TEST_F(ProfileTest, WriteIntoAMissingFolderFails) {
    SetLastError(0);
    EXPECT_FALSE(put("nofolder/x.ini", L"s", L"k", L"v"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_TRUE(folder_entries().empty());
}

TEST_F(ProfileTest, NullValueDeletesTheKeyAndNullKeyTheSection) {
    write_bytes("d.ini", "[a]\r\nx=1\r\ny=2\r\n[b]\r\nz=3\r\n[A]\r\nw=4\r\n");
    ASSERT_TRUE(put("d.ini", L"A", L"X", nullptr));
    EXPECT_EQ("[a]\r\ny=2\r\n[b]\r\nz=3\r\n[A]\r\nw=4\r\n", read_bytes("d.ini"));
    EXPECT_EQ(L"gone", get("d.ini", L"a", L"x", L"gone"));

    ASSERT_TRUE(put("d.ini", L"a", nullptr, nullptr));
    EXPECT_EQ("[b]\r\nz=3\r\n", read_bytes("d.ini"));
    EXPECT_EQ(L"3", get("d.ini", L"b", L"z"));

    // Deleting what is not there succeeds and creates nothing.
    EXPECT_TRUE(put("none.ini", L"a", L"x", nullptr));
    EXPECT_TRUE(put("none.ini", L"a", nullptr, nullptr));
    EXPECT_FALSE(read_bytes("none.ini").has_value());
}

TEST_F(ProfileTest, ReplacingLeavesNoTemporaryFileAndKeepsTheMode) {
    write_bytes("m.ini", "[s]\r\nk=1\r\n");
    ASSERT_EQ(0, chmod(unix_path("m.ini").c_str(), 0640));
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(put("m.ini", L"s", L"k", std::to_wstring(i).c_str()));
    EXPECT_TRUE(folder_entries() == std::vector<std::string>{"m.ini"});
    struct stat st;
    ASSERT_EQ(0, stat(unix_path("m.ini").c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777);
    EXPECT_EQ(L"4", get("m.ini", L"s", L"k"));
}

TEST_F(ProfileTest, WritingThroughASymbolicLinkKeepsTheLink) {
    write_bytes("real.ini", "[s]\r\nk=1\r\n");
    ASSERT_EQ(0, symlink(unix_path("real.ini").c_str(), unix_path("link.ini").c_str()));
    ASSERT_TRUE(put("link.ini", L"s", L"k", L"2"));
    struct stat st;
    ASSERT_EQ(0, lstat(unix_path("link.ini").c_str(), &st));
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ("[s]\r\nk=2\r\n", read_bytes("real.ini"));
}

TEST_F(ProfileTest, WritersInOtherProcessesLoseNoKeyAndDeadOnesLeaveNoTemporary) {
    std::vector<pid_t> pids;
    for (int w = 0; w < 4; ++w) {
        if ((pids.emplace_back(fork())) != 0) continue;
        for (int i = 0; i < 40 && w > 0; ++i)  // writer 0 only dies, leaving its pid unused
            if (!put("p.ini", L"s", (L"k" + std::to_wstring(w * 100 + i)).c_str(), L"v")) _exit(1);
        _exit(0);
    }
    for (pid_t pid : pids) {
        int status = -1;
        waitpid(pid, &status, 0);
        EXPECT_EQ(0, status);
        if (pid == pids[0]) write_bytes("p.ini.tmp" + std::to_string(pid) + "_3", "stale");
    }
    write_bytes("p.ini.tmp" + std::to_string(getpid()) + "_9", "live");
    ASSERT_TRUE(put("p.ini", L"s", L"last", L"v"));
    std::wstring keys = get("p.ini", L"s", nullptr, nullptr, 4096);
    EXPECT_EQ(121, std::count(keys.begin(), keys.end(), L'\0'));
    EXPECT_EQ(2u, folder_entries().size());  // p.ini and the live writer's file
}

TEST_F(ProfileTest, ConcurrentWritersLoseNoKey) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < 8; ++i) {
                std::wstring key = L"k" + std::to_wstring(t) + L"_" + std::to_wstring(i);
                EXPECT_TRUE(put("c.ini", L"s", key.c_str(), L"v"));
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 8; ++i) {
            std::wstring key = L"k" + std::to_wstring(t) + L"_" + std::to_wstring(i);
            EXPECT_EQ(L"v", get("c.ini", L"s", key.c_str())) << t << " " << i;
        }
    }
}

}  // namespace
