#include "downloader/app_util.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <win32_unixpath.h>

#include "base/registry.h"
#include "base/string_util.h"
#include "downloader/config_manager.h"
#include "downloader/message_loop.h"
#include "gui/raster.h"
#include "gui/timer.h"
#include "raster/png_raster.h"
#include "support/client_fixture.h"

namespace clienttest {
namespace {

using testing_support::Exists;
using testing_support::ReadAll;

TEST(FormatByteSize, ChangesUnitAtAThousandOfTheCurrentOne) {
    // clang-format off
    const std::pair<int64_t, const wchar_t*> cases[] = {
        {0, L"0B"}, {-1, L"-1B"}, {999, L"999B"}, {1000, L"1.0KB"}, {1023999, L"1000.0KB"},
        {1024000, L"1.0MB"}, {1048575999, L"1000.0MB"}, {1048576000, L"1.0GB"},
        {1073741824000, L"1.0TB"}, {1099511627776000, L"1000.0TB"}};
    // clang-format on
    for (const auto& [bytes, text] : cases) EXPECT_EQ(FormatByteSize(bytes), text) << bytes;
    EXPECT_EQ(FormatSizeProgress(512, 2048), L"512B/2.0KB");
}

// In a child: files may grow to 1000 bytes only. True when the writer said it failed.
bool WriteOnAFullDisk(const std::wstring& path) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {1000, 1000};
    setrlimit(RLIMIT_FSIZE, &limit);
    return !ExtractResourceToFile(L"IDR_ZIP_7ZA", L"ZIP", path);
}

TEST(ExtractResourceToFile, AnswersTrueOnlyForAWholeFile) {
    testing_support::TempDir dir;
    EXPECT_TRUE(ExtractResourceToFile(L"IDR_INI_CONFIG", L"INI", dir.winfile("a.ini")));
    EXPECT_EQ(ReadAll(dir.file("a.ini")), ReadAll(CONFIG_INI_PATH));
    EXPECT_FALSE(ExtractResourceToFile(L"NO_SUCH", L"INI", dir.winfile("b.ini")));
    EXPECT_FALSE(Exists(dir.file("b.ini")));
    // A disk that fills up half-way: the caller hears of it and no torn file stays.
    EXPECT_EXIT(exit(WriteOnAFullDisk(dir.winfile("c.zip")) && !Exists(dir.file("c.zip")) ? 0 : 1),
                ::testing::ExitedWithCode(0), "");
}

// Built before the program's start-up objects, so torn down after the time-callback
// list's exit teardown: the list must still be there, empty, for it.
struct LateOwner : Gui::TimeCallback {
    ~LateOwner() {
        Set(0, Gui::Callback()), Kill(), fputs(armed ? "late owner done\n" : "", stderr);
    }
    bool armed = false;
} g_late_owner __attribute__((init_priority(101)));

struct Unrun : Gui::CallbackAction {
    void Execute() override { _exit(3); }
    ~Unrun() override { fputs("freed unrun\n", stderr); }
};

TEST(StartUpObjects, ExistBeforeTheEntryAndTimeCallbacksAreFreedUnrunAtExit) {
    const Gui::VectorBase& factories = Gui::Raster::GetFactories();
    ASSERT_EQ(factories.items, 2);
    EXPECT_EQ(static_cast<Gui::Raster::Factory*>(factories.vector)[0], &raster::PNGRaster::Create);
    EXPECT_NE(downloader::AppModule::Get(), nullptr);
    EXPECT_EXIT(
        {
            g_late_owner.armed = true;
            Gui::SetTimeCallback(60000, Gui::Callback(new Unrun));
            exit(0);
        },
        ::testing::ExitedWithCode(0), "freed unrun\nlate owner done");
}

class DownloadDiskTest : public ClientTest {};

TEST_F(DownloadDiskTest, EachRefusalShowsOneMessageAndRemovesOnlyWhatItMade) {
    for (const char* sub : {"d", "d/Kept", "r"}) mkdir(dir_.file(sub).c_str(), 0700);
    ASSERT_TRUE(testing_support::WriteAll(dir_.file("d/Kept/file"), "x"));
    ASSERT_TRUE(testing_support::WriteAll(dir_.file("c/Blocked"), "x"));
    SetEnv("WIN32_DRIVES", Drives(":free=10000000000000", ";D=" + dir_.file("d") + ":remote;R=" +
                                                              dir_.file("r") + ":fixed:ro"));
    StartClient();
    // clang-format off
    const struct { const wchar_t* folder; const char* message; const char* path; bool there; } cases[] = {
        {L"C:\\Games\\New", "", "c/Games/New", true},
        {L"D:\\Games\\New", "下载盘不能为网络路径", "d/Games", false},
        {L"D:\\Kept", "下载盘不能为网络路径", "d/Kept/file", true},
        {L"C:\\Blocked\\Games", "下载盘无读写权限", "c/Blocked", true},
        {L"R:\\Games", "下载盘剩余空间不足", "r/Games", false},
        {L"Q:\\Games", "获取磁盘信息失败", "q", false}};
    // clang-format on
    std::vector<std::string> expected, shown;
    for (const auto& c : cases) {
        GetConfigManager()->SetDownloadPath(c.folder, false);
        EXPECT_EQ(CheckDownloadDisk(4096), !*c.message) << c.path;
        EXPECT_EQ(Exists(dir_.file(c.path)), c.there) << c.path;
        if (*c.message) expected.push_back(c.message);
    }
    for (const auto& fields : Record("WIN32_DIALOG_LOG")) shown.push_back(fields[2]);
    EXPECT_EQ(shown, expected);
}

TEST_F(DownloadDiskTest, WithoutAFixedDriveDownloadsGoUnderTheUsersOwnFolder) {
    SetEnv("WIN32_DRIVES", "Z=/:remote");
    StartClient();
    EXPECT_EQ(GetConfigManager()->GetDownloadPath(),
              UnixPathToWin32(getenv("HOME")) + L"\\KeltoGames");
}

TEST_F(ClientTest, TheBrowserGetsTheAddressAsOneQuotedArgument) {
    SetEnv("WIN32_REGISTRY_DIR", dir_.file("registry"));
    SetEnv("WIN32_PROCESS_LOG", dir_.file("processes"));
    CRegistry choice(HKEY_CURRENT_USER), command(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(choice.Create(
        L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\Ftp\\UserChoice",
        KEY_ALL_ACCESS));
    ASSERT_TRUE(choice.WriteString(L"Progid", L"TestBrowser"));
    ASSERT_TRUE(command.Create(L"TestBrowser\\shell\\open\\command", KEY_ALL_ACCESS));
    ASSERT_TRUE(command.WriteString(L"", L"\"Z:\\bin\\true\" -- \"%1\""));
    EXPECT_EQ(GetDefaultBrowserPath(), L"Z:\\bin\\true");
    OpenUrlInDefaultBrowser(L"http://a/b?c=1 d");
    OpenUrlInDefaultBrowser(L"https://a/\" --evil");
    OpenUrlInDefaultBrowser(L"--evil");
    OpenUrlInDefaultBrowser(L"file:///etc/passwd");
    const auto started = Record("WIN32_PROCESS_LOG");
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0][2], "\"Z:\\bin\\true\" \"http://a/b?c=1 d\"");
    EXPECT_EQ(started[1][2], "\"Z:\\bin\\true\" \"https://a/%22 --evil\"");
}

}  // namespace
}  // namespace clienttest
