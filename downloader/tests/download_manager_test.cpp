#include "downloader/download_manager.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/string_util.h"

#include "downloader/config_manager.h"
#include "support/client_fixture.h"

namespace clienttest {
namespace {

enum class Do { Start, StartTwice, Pause, Resume, Retry, Complete };
struct Step {
    int when;  // the state to wait for
    Do what;
};

const Answer kRunning{0, 0, 4096, 1024, 2048, u"", u""};
const Answer kAllIn{0, 0, 4096, 4096, 0, u"", u""};
const Answer kComplete{0, 1, 4096, 4096, 0, u"", u""};
Answer Code(int32_t code) {
    Answer a;
    a.code = code;
    return a;
}
const Answer kFail3 = Code(3), kFail5 = Code(5), kFail7 = Code(7);
const Answer kEarlier{0, 0, 4096, 1024, 0, u"C:\\Old\\DemoGame", u"setup.exe"};
const Answer kEarlierDone{0, 1, 4096, 4096, 0, u"C:\\Old\\DemoGame", u"setup.exe"};

struct Case {
    const char* name;
    Answer find;
    int32_t query_code, start_code;
    std::vector<Answer> progress;
    std::vector<Step> steps;
    std::vector<int> states;  // one per state change, in order
    std::vector<int> slots;   // engine slots, polls left out
    std::vector<std::wstring> errors;
    const char* c_drive = ":free=10000000000000";
    std::wstring dialog = L"";
};

const Case kCases[] = {
    {"NewDownloadRunsToTheInstaller",
     {},
     0,
     0,
     {kRunning, kAllIn, kComplete},
     {{3, Do::StartTwice}},
     {0, 1, 3, 5, 6, 7, 9},
     {0, 1, 3, 0},
     {}},
    {"EarlierDownloadContinuesWithoutDiskCheck",
     kEarlier,
     0,
     0,
     {kComplete},
     {{4, Do::Start}},
     {0, 2, 4, 5, 6, 9},
     {0, 1, 3, 0},
     {},
     ":free=0"},
    {"CompleteEarlierDownloadNeedsNoStateQuery", kEarlierDone, 0, 0, {}, {}, {0, 9}, {0}, {}},
    {"FailedRecordQueryStillQueriesTheState", Code(7), 0, 0, {}, {}, {0, 4}, {0, 1}, {}},
    {"FailedStateQuery", {}, 7, 0, {}, {}, {0, 1, 10}, {0, 1}, {L"下载状态检查失败错误码：7"}},
    {"RefusedStart",
     {},
     0,
     7,
     {},
     {{3, Do::Start}},
     {0, 1, 3, 5, 10},
     {0, 1, 3},
     {L"启动下载失败错误码：7"}},
    {"StartRefusedByTheFileCheck",
     {},
     0,
     5,
     {},
     {{3, Do::Start}},
     {0, 1, 3, 5, 11},
     {0, 1, 3},
     {L"下载文件检查出错"}},
    {"FailedDownloadIsRetried",
     {},
     0,
     0,
     {kFail3},
     {{3, Do::Start}, {10, Do::Complete}, {10, Do::Retry}},
     {0, 1, 3, 5, 6, 10, 5, 6, 9},
     {0, 1, 3, 3, 0},
     {L"下载失败，请重试"}},
    {"DownloadedFileFailsItsCheck",
     {},
     0,
     0,
     {kFail5},
     {{3, Do::Start}},
     {0, 1, 3, 5, 6, 11},
     {0, 1, 3},
     {L"下载文件检查出错"}},
    {"OtherPollErrorsKeepPolling",
     {},
     0,
     0,
     {kFail7, kComplete},
     {{3, Do::Start}},
     {0, 1, 3, 5, 6, 9},
     {0, 1, 3, 0},
     {}},
    {"PauseAndResume",
     {},
     0,
     0,
     {kRunning},
     {{3, Do::Pause}, {3, Do::Start}, {6, Do::Pause}, {8, Do::Resume}, {6, Do::Complete}},
     {0, 1, 3, 5, 6, 8, 6, 9},
     {0, 1, 3, 5, 6, 0},
     {}},
    {"NoRoomForANewDownload",
     {},
     0,
     0,
     {},
     {{3, Do::Start}},
     {0, 1, 3},
     {0, 1},
     {},
     ":free=1000",
     L"下载盘剩余空间不足"},
};

// Each emission shows the state of a change made at or after it, never an earlier one.
bool Follows(const std::vector<int>& seen, const std::vector<int>& made) {
    if (seen.size() != made.size()) return false;
    size_t j = 0;
    for (size_t i = 0; i < seen.size(); ++i) {
        j = std::max(j, i);
        while (j < made.size() && made[j] != seen[i]) ++j;
        if (j == made.size()) return false;
    }
    return true;
}

class DownloadManagerTest : public ClientTest, public ::testing::WithParamInterface<Case> {
protected:
    void Run(const Case& c) {
        SetEnv("WIN32_DRIVES", Drives(c.c_drive));
        Script& s = TheScript();
        if (c.find.code || !c.find.path.empty()) s.find = c.find;
        s.query.code = c.query_code;
        s.start = c.start_code;
        s.progress.assign(c.progress.begin(), c.progress.end());
        StartClient();
        downloader::DownloadManager* m = GetDownloadManager();
        m->Init();
        for (const Step& step : c.steps) {
            ASSERT_TRUE(Pump([&] { return m->GetState() == step.when; })) << step.when;
            switch (step.what) {
                case Do::Start:
                    m->Start();
                    break;
                case Do::StartTwice:
                    m->Start();
                    m->Start();
                    break;
                case Do::Pause:
                    EXPECT_EQ(m->Pause(), step.when == 6);
                    break;
                case Do::Resume:
                    EXPECT_TRUE(m->Resume());
                    break;
                case Do::Complete: {
                    std::lock_guard<std::mutex> hold(s.lock);
                    s.progress.assign({kComplete});
                    break;
                }
                case Do::Retry:
                    // Taken once the loop that failed has left.
                    ASSERT_TRUE(Pump([&] {
                        m->Retry();
                        return m->GetState() != downloader::Failed;
                    }));
                    break;
            }
        }
        ASSERT_TRUE(Pump([&] { return panel_.states.size() >= c.states.size(); }));
        Pump([] { return false; }, 100);
    }
};

TEST_P(DownloadManagerTest, FollowsTheStateTable) {
    const Case& c = GetParam();
    Run(c);
    EXPECT_TRUE(Follows(panel_.states, c.states)) << ::testing::PrintToString(panel_.states);
    EXPECT_EQ(TheScript().Slots(), c.slots);
    EXPECT_EQ(panel_.errors, c.errors);
    EXPECT_TRUE(TheScript().all_zeroed);
    const auto dialogs = Record("WIN32_DIALOG_LOG");
    ASSERT_EQ(dialogs.size(), c.dialog.empty() ? 0u : 1u);
    if (!dialogs.empty()) {
        EXPECT_EQ(dialogs[0][2], base::WideToUtf8(c.dialog));
    }
    const bool loop_completed = c.states.back() == downloader::Complete && !c.steps.empty();
    EXPECT_EQ(panel_.finished, loop_completed ? 1 : 0);
    if (std::count(c.slots.begin(), c.slots.end(), 3) > 0) {
        const std::u16string folder =
            c.find.path.empty() ? u"C:\\KeltoGames\\DemoGame" : c.find.path;
        EXPECT_EQ(TheScript().start_folder, folder);
    }
    if (loop_completed) {
        // The installer is missing, so its folder is opened instead; the channel file is there.
        const auto shell = Record("WIN32_SHELL_LOG");
        ASSERT_EQ(shell.size(), 1u);
        EXPECT_EQ(shell[0][0], "folder");
        const std::string save = c.find.path.empty() ? "c/KeltoGames/DemoGame" : "c/Old/DemoGame";
        EXPECT_EQ(shell[0][2], dir_.file(save));
        EXPECT_NE(
            testing_support::ReadAll(dir_.file(save + "/channel.ini")).find("UserChannel=demo"),
            std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, DownloadManagerTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace clienttest
