// The client core's state table, releases, download-disk refusals and the browser command
// line, on the fixture's scripted engine; the HTTP service against a loopback server.
#include <filesystem>

#include "downloader/http_ask.h"
#include "support/client_fixture.h"
#include "testing/http_test_server.h"

namespace clienttest {

using testing_support::Exists;

namespace {

const Answer kOvershoot{0, 1, 4096, 5000}, kNoTotal{};
const Answer kFail3{3}, kFail5{5}, kFail7{7};
const std::wstring kNone = L"0|||0", kQueried = L"0|速度：0B/s|大小：0B/4.0KB|0";

struct Case {
    const char* name;
    Answer find;
    int32_t query_code, start_code;
    std::vector<Answer> progress;
    const char* steps;  // "<state>:<button> ...", each pressed once the state is reached
    std::vector<int> states, slots;  // one state per change; engine slots without polls
    std::vector<std::wstring> errors;
    const char* setup = "";
    std::vector<std::string> dialogs = {};
    std::vector<std::wstring> progress_seen = {};
};

// clang-format off
const Case kCases[] = {
    {"NewDownloadRunsToTheInstaller", {}, 0, 0, {kRunning, kAllIn, kComplete}, "3:start2",
     {0, 1, 3, 5, 6, 7, 9}, {0, 1, 3, 0, 0}, {}, "", {},
     {kNone, kQueried, L"0.25|速度：2.0KB/s|大小：1.0KB/4.0KB|1",
      L"1|速度：0B/s|大小：4.0KB/4.0KB|1", L"1|速度：0B/s|大小：4.0KB/4.0KB|1"}},
    {"EarlierDownloadContinuesWithoutDiskCheck", kEarlier, 0, 0, {kComplete}, "4:start",
     {0, 2, 4, 5, 6, 9}, {0, 1, 3, 0, 0}, {}, ":free=0", {},
     {kNone, L"0.25|速度：0B/s|大小：1.0KB/4.0KB|1", kQueried,
      L"1|速度：0B/s|大小：4.0KB/4.0KB|1"}},
    {"FractionsStayWithinNoneAndAll", {}, 0, 0, {kNoTotal, kOvershoot}, "3:start",
     {0, 1, 3, 5, 6, 9}, {0, 1, 3, 0, 0}, {}, "total0", {}, {kNone, L"0|速度：0B/s|大小：0B/0B|0",
      L"0|速度：0B/s|大小：0B/0B|1", L"1|速度：0B/s|大小：4.9KB/4.0KB|1"}},
    {"CompleteEarlierDownloadNeedsNoStateQuery", kEarlierDone, 0, 0, {}, "", {0, 9}, {0}, {}},
    {"FailedRecordQueryStillQueriesTheState", kFail7, 0, 0, {}, "", {0, 4}, {0, 1}, {}},
    {"FailedStateQuery", {}, 7, 0, {}, "", {0, 1, 10}, {0, 1}, {L"下载状态检查失败错误码：7"}},
    {"RefusedStart", {}, 0, 7, {}, "3:start", {0, 1, 3, 5, 10}, {0, 1, 3}, {L"启动下载失败错误码：7"}},
    {"StartRefusedByTheFileCheck", {}, 0, 5, {}, "3:start", {0, 1, 3, 5, 11}, {0, 1, 3},
     {L"下载文件检查出错"}},
    // A failed download shows no speed any more.
    {"FailedDownloadIsRetried", {}, 0, 0, {kRunning, kFail3}, "3:start 10:complete 10:retry",
     {0, 1, 3, 5, 6, 10, 5, 6, 9}, {0, 1, 3, 3, 0, 0}, {L"下载失败，请重试"}, "", {},
     {kNone, kQueried, L"0.25|速度：2.0KB/s|大小：1.0KB/4.0KB|1",
      L"0.25|速度：0B/s|大小：1.0KB/4.0KB|0", L"1|速度：0B/s|大小：4.0KB/4.0KB|1"}},
    {"DownloadedFileFailsItsCheck", {}, 0, 0, {kFail5}, "3:start", {0, 1, 3, 5, 6, 11}, {0, 1, 3},
     {L"下载文件检查出错"}},
    {"OtherPollErrorsKeepPolling", {}, 0, 0, {kFail7, kComplete}, "3:start", {0, 1, 3, 5, 6, 9},
     {0, 1, 3, 0, 0}, {}},
    {"PauseAndResume", {}, 0, 0, {kRunning}, "3:pause 3:start 6:pause 8:pause 8:resume 6:complete",
     {0, 1, 3, 5, 6, 8, 6, 9}, {0, 1, 3, 5, 6, 0, 0}, {}},
    {"NoRoomForANewDownload", {}, 0, 0, {}, "3:start", {0, 1, 3}, {0, 1}, {}, ":free=1000",
     {"下载盘剩余空间不足"}},
    {"ToolsCannotBeWritten", {}, 0, 0, {}, "", {0}, {}, {}, "temp-readonly", {"下载模块加载失败"}},
    {"EngineLibraryMissing", {}, 0, 0, {}, "", {0}, {}, {L"下载模块失效"}, "engine-taken"},
    {"CompletedWhileThePauseIsMade", {}, 0, 0, {kRunning}, "3:start 6:pause", {0, 1, 3, 5, 6, 9},
     {0, 1, 3, 5, 0, 0}, {}, "complete-in-pause"},
    {"FailedWhileTheResumeIsMade", {}, 0, 0, {kRunning}, "3:start 6:pause 8:resume",
     {0, 1, 3, 5, 6, 8, 10}, {0, 1, 3, 5, 6}, {L"下载失败，请重试"}, "fail-in-resume"},
};
// clang-format on

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// Each emission shows the state of a change made at or after it, never an earlier one.
bool Follows(const std::vector<int>& seen, const std::vector<int>& made) {
    if (seen.size() != made.size()) return false;
    for (size_t i = 0, j = 0; i < seen.size(); ++i) {
        for (j = std::max(j, i); j < made.size() && made[j] != seen[i];) ++j;
        if (j == made.size()) return false;
    }
    return true;
}

class DownloadManagerTest : public ClientTest, public ::testing::WithParamInterface<Case> {
protected:
    void Prepare(const Case& c) {
        const std::string setup = c.setup;
        if (setup[0] == ':') SetEnv("WIN32_DRIVES", Drives(setup));
        if (setup == "temp-readonly")
            SetEnv("WIN32_DRIVES", Drives("", ";R=" + dir_.file("tmp") + ":fixed:ro"));
        if (setup == "engine-taken") mkdir(dir_.file("tmp/Dravon.dll").c_str(), 0700);
        Script& s = TheScript();
        s.find = c.find, s.query.code = c.query_code, s.start = c.start_code;
        s.query.total = setup == "total0" ? 0 : 4096;
        s.progress.assign(c.progress.begin(), c.progress.end());
        if (setup == "complete-in-pause") s.end_slot = 5, s.end_answer = kComplete;
        if (setup == "fail-in-resume") s.end_slot = 6, s.end_answer = kFail3;
    }
    void Press(downloader::DownloadManager* m, int state, const std::string& button) {
        ASSERT_TRUE(Pump([&] { return m->GetState() == state; })) << state;
        if (button == "start" || button == "start2") m->Start();
        if (button == "start2") m->Start();  // pressed twice at once
        EXPECT_TRUE(button != "pause" || m->Pause() == (state == downloader::Downloading));
        EXPECT_TRUE(button != "resume" || m->Resume());
        std::unique_lock<std::mutex> hold(TheScript().lock);
        if (button == "complete") TheScript().progress.assign({kComplete});
        hold.unlock();
        if (button == "retry") m->Retry(), m->Retry();  // pressed twice at once
    }
};

TEST_P(DownloadManagerTest, FollowsTheStateTable) {
    const Case& c = GetParam();
    Prepare(c);
    StartClient();
    downloader::DownloadManager* m = GetDownloadManager();
    m->Init();
    std::istringstream steps(c.steps);
    for (std::string step; steps >> step;)
        Press(m, std::stoi(step), step.substr(step.find(':') + 1));
    const bool loop_completed = c.states.back() == downloader::Complete && *c.steps;
    ASSERT_TRUE(Pump([&] {
        return panel_.states.size() >= c.states.size() && panel_.errors.size() >= c.errors.size() &&
               Record("WIN32_DIALOG_LOG", 2).size() >= c.dialogs.size() &&
               Record("WIN32_SHELL_LOG", 2).size() >= (loop_completed ? 1u : 0u);
    }));
    Pump([] { return false; }, 100);

    EXPECT_TRUE(Follows(panel_.states, c.states)) << ::testing::PrintToString(panel_.states);
    EXPECT_EQ(TheScript().Slots(), c.slots);
    EXPECT_EQ(panel_.errors, c.errors);
    EXPECT_TRUE(TheScript().all_zeroed);
    EXPECT_TRUE(c.progress_seen.empty() || panel_.progress == c.progress_seen);
    EXPECT_EQ(Record("WIN32_DIALOG_LOG", 2), c.dialogs);
    EXPECT_EQ(panel_.finished, loop_completed ? 1 : 0);
    const std::u16string folder = c.find.path.empty() ? u"C:\\KeltoGames\\DemoGame" : c.find.path;
    EXPECT_EQ(TheScript().start_folder,
              std::count(c.slots.begin(), c.slots.end(), 3) ? folder : u"");
    // A missing installer: its folder opens instead. The channel file is beside it.
    const std::string save = c.find.path.empty() ? "c/KeltoGames/DemoGame" : "c/Old/DemoGame";
    EXPECT_EQ(Record("WIN32_SHELL_LOG", 2), loop_completed
                                                ? std::vector<std::string>{dir_.file(save)}
                                                : std::vector<std::string>{});
    EXPECT_EQ(testing_support::ReadAll(dir_.file(save + "/channel.ini")).find("UserChannel=demo") !=
                  std::string::npos,
              loop_completed);
}

INSTANTIATE_TEST_SUITE_P(Table, DownloadManagerTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ClientTest, ReleaseWaitsForThePollInsideTheEngineBeforeFreeingIt) {
    StartClient();
    downloader::DownloadManager* m = GetDownloadManager();
    EXPECT_EQ(m->GetInstallerFileName(), L"");  // no engine yet, and no call into none
    Script& s = TheScript();
    s.progress = {kRunning};
    s.progress_delay_ms = 300;
    m->Init();
    ASSERT_TRUE(Pump([&] { return m->GetState() == downloader::ReadyToStart; }));
    m->Start();
    ASSERT_TRUE(Pump([&] { return s.inside > 0 && m->GetState() == downloader::Downloading; }));
    m->Release();
    EXPECT_EQ(s.inside_at_release, 0);
    Pump([] { return false; }, 1500);
    std::lock_guard<std::mutex> hold(s.lock);
    EXPECT_EQ(std::vector<int>(s.calls.end() - 2, s.calls.end()),
              (std::vector<int>{2, kFakeReleaseSlot}));
}

// An exit while the tools unpack leaves no engine loaded behind the release. The quit
// flag stays set for good, so this runs in a process of its own.
TEST_F(ClientTest, AnExitWhileTheToolsUnpackLoadsNoEngine) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            StartClient();
            GetDownloadManager()->Init();
            GetClientManager()->Exit();
            const std::string engine = dir_.file("tmp/Dravon.dll");
            Pump([&] { return Exists(engine); });
            Pump([] { return false; }, 500);
            const std::string maps = testing_support::ReadAll("/proc/self/maps");
            _exit(maps.find(std::filesystem::canonical(engine).string()) == std::string::npos ? 0
                                                                                              : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

class DownloadDiskTest : public ClientTest {};

TEST_F(DownloadDiskTest, EachRefusalShowsOneMessageAndRemovesOnlyWhatItMade) {
    ASSERT_TRUE(testing_support::WriteAll(dir_.folder("d/Kept") + "/file", "x"));
    ASSERT_TRUE(testing_support::WriteAll(dir_.file("c/Blocked"), "x"));
    SetEnv("WIN32_DRIVES", Drives(":free=10000000000000",
                                  ";D=" + dir_.file("d") + ":remote;R=" + dir_.folder("r") +
                                      ":fixed:ro;E=" + dir_.folder("e") + ":free=10489855"));
    StartClient();
    // clang-format off
    const struct { const wchar_t* folder; const char* message; const char* path; bool there; } cases[] = {
        {L"C:\\Games\\New", "", "c/Games/New", true},
        {L"D:\\Games\\New", "下载盘不能为网络路径", "d/Games", false},
        {L"D:\\Kept", "下载盘不能为网络路径", "d/Kept/file", true},
        {L"C:\\Blocked\\Games", "下载盘无读写权限", "c/Blocked", true},
        {L"R:\\Games", "下载盘剩余空间不足", "r/Games", false},
        {L"E:\\Games", "下载盘剩余空间不足", "e/Games", false},  // 10 MiB spare, less a byte
        {L"Q:\\Games", "获取磁盘信息失败", "q", false}};
    // clang-format on
    std::vector<std::string> expected;
    for (const auto& c : cases) {
        GetConfigManager()->SetDownloadPath(c.folder, false);
        EXPECT_EQ(CheckDownloadDisk(4096), !*c.message) << c.path;
        EXPECT_EQ(Exists(dir_.file(c.path)), c.there) << c.path;
        if (*c.message) expected.push_back(c.message);
    }
    EXPECT_EQ(Record("WIN32_DIALOG_LOG", 2), expected);
    GetConfigManager()->SetDownloadPath(L"C:\\Games\\New", false);
    OpenDownloadFolder();  // the game's folder is not there: the download path opens
    EXPECT_EQ(Record("WIN32_SHELL_LOG", 2), std::vector<std::string>{dir_.file("c/Games/New")});
}

TEST_F(DownloadDiskTest, WithoutAFixedDriveDownloadsGoUnderTheUsersOwnFolder) {
    SetEnv("WIN32_DRIVES", "Z=/:remote");
    StartClient();
    EXPECT_EQ(GetConfigManager()->GetDownloadPath(),
              UnixPathToWin32(getenv("HOME")) + L"\\KeltoGames");
}

TEST_F(ClientTest, TheBrowserGetsTheAddressAsOneQuotedArgument) {
    SetEnv("WIN32_REGISTRY_DIR", dir_.file("registry"));
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
    EXPECT_EQ(Record("WIN32_PROCESS_LOG", 2),
              (std::vector<std::string>{"\"Z:\\bin\\true\" \"http://a/b?c=1 d\"",
                                        "\"Z:\\bin\\true\" \"https://a/%22 --evil\""}));
}

// Each answer comes back on this thread, cut at its first zero byte; a request without a
// callback still goes out and posts nothing back; a server that never answers gives
// (false, "") after the time-out.
using Results = std::vector<std::tuple<std::string, bool, std::string>>;  // request, answer

struct Heard : Gui::Callback2Action<bool, const std::string&> {
    Heard(Results* out, std::string what) : out_(out), what_(std::move(what)) {}
    void Execute(bool ok, const std::string& body) override {
        out_->emplace_back(what_ + (GetCurrentThreadId() == thread_ ? "" : " elsewhere"), ok, body);
    }
    Results* out_;
    std::string what_;
    DWORD thread_ = GetCurrentThreadId();
};

TEST_F(ClientTest, HttpAskAnswersOnThisThreadWhateverTheServerDoes) {
    testing_http::TestServer server([](const testing_http::ReceivedRequest& r) {
        if (r.target == "/silent") return testing_http::Reply{{}, 0, true};
        return testing_http::make_reply(
            200, r.target == "/zero" ? std::string("ab\0c", 4) : r.method + " " + r.body);
    });
    SetEnv("WIN32_HTTP_PORT_MAP", "80=" + std::to_string(server.port()));  // always port 80
    controller_ = std::make_unique<TestController>();
    base::SetController(controller_.get());
    Results results;
    for (const char* what : {"/silent", "/zero", "/post", "/unheard"}) {
        downloader::HttpResultCallback done(what[2] == 'n' ? nullptr : new Heard(&results, what));
        (GetHttpAsk()->*(what[1] == 'p' ? &downloader::HttpAsk::Post : &downloader::HttpAsk::Get))(
            L"http://127.0.0.1" + base::Utf8ToWide(what), "k=v&w", done);
    }
    ASSERT_TRUE(Pump([&] { return results.size() == 3; }, 30000));
    Pump([] { return false; }, 200);
    std::sort(results.begin(), results.end());
    EXPECT_EQ(
        results,
        (Results{{"/post", true, "POST k=v&w"}, {"/silent", false, ""}, {"/zero", true, "ab"}}));
    EXPECT_EQ(server.requests().size(), 4u);
}

}  // namespace
}  // namespace clienttest
