// The client's helpers (sizes, report values, the channel file's name, resources written
// out, the objects made before the entry) and its thread pools: made on first use with
// their worker counts, released before the other managers, their results brought back to
// the user-interface thread.
#include "downloader/app_util.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "base/controller.h"
#include "downloader/config_manager.h"
#include "downloader/message_loop.h"
#include "downloader/report_manager.h"
#include "downloader/thread_manager.h"
#include "gui/core/thread.h"
#include "gui/raster.h"
#include "gui/timer.h"
#include "raster/png_raster.h"
#include "testing/temp_dir.h"
#include "testing/ui_loop.h"
#include "testing/wait_until.h"

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

// A report value never adds or cuts a key; only the characters that could are encoded.
TEST(EscapeQueryValue, EncodesWhatEndsJoinsOrEncodesAValue) {
    EXPECT_EQ(downloader::EscapeQueryValue(L"a&status=99+1%#x 中"),
              L"a%26status%3D99%2B1%25%23x 中");
}

// The channel file lands in the save folder under a plain name, never on the installer.
TEST(ChannelFileName, TakesAPlainNameOtherThanTheInstallersOnly) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"my ch.ini", L"my ch.ini"}, {L"..\\..\\x.ini", L"channel.ini"},
        {L"a/b", L"channel.ini"},     {L"C:x", L"channel.ini"},
        {L"..", L"channel.ini"},      {L"", L"channel.ini"},
        {L"a\tb?", L"channel.ini"},   {L"SETUP.exe", L"channel.ini"}};
    for (const auto& [configured, used] : cases)
        EXPECT_EQ(downloader::ChannelFileName(configured, L"setup.exe"), used) << configured;
    EXPECT_EQ(downloader::ChannelFileName(L"a/b", L"channel.ini"), L"");
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

int Workers(base::ThreadPool* pool) { return static_cast<int>(pool->GetQueueLengths().size()); }
bool Threads(int n) {
    return testing_support::WaitUntil([n] { return Gui::Thread::GetCount() == n; });
}

// Receives a pool's results on the user-interface thread; its calls go to a log
// outside itself, so that a call after its death would show.
struct Receiver : Gui::Pte<Receiver> {
    explicit Receiver(std::vector<std::pair<int, DWORD>>* log) : log_(log) {}
    void Take(int v) { log_->push_back({v, GetCurrentThreadId()}); }
    std::vector<std::pair<int, DWORD>>* log_;
};

// Posts the value back to the user-interface thread for the receiver, once `go` is set.
struct Work : Gui::CallbackAction {
    Work(Receiver* r, int v, HANDLE go)
        : back_(Gui::MakePteCallback(r, &Receiver::Take, v)), go_(go) {}
    void Execute() override {
        if (go_) WaitForSingleObject(go_, 3000);
        Gui::PostCallback(back_);
    }
    Gui::Callback back_;
    HANDLE go_;
};

TEST(ThreadManager, AResultFromThePoolComesBackOnTheUserInterfaceThreadAndNotToADeadReceiver) {
    gui_test::StartToolkit();
    downloader::ThreadManager manager;
    base::ThreadPool* pool = manager.GetDownloadPool();
    std::vector<std::pair<int, DWORD>> log;
    Receiver living(&log);
    auto* dead_before_run = new Receiver(&log);
    auto* dead_while_queued = new Receiver(&log);
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(pool->PostTask(Gui::Callback(new Work(dead_before_run, 1, go))));
    ASSERT_TRUE(pool->PostTask(Gui::Callback(new Work(dead_while_queued, 2, nullptr))));
    // The second result waits in the time-callback list while its receiver dies.
    ASSERT_TRUE(testing_support::WaitUntil([] { return Gui::ExistsTimeCallback(nullptr); }));
    delete dead_while_queued;
    delete dead_before_run;
    SetEvent(go);
    ASSERT_TRUE(pool->PostTask(Gui::Callback(new Work(&living, 3, nullptr))));
    ASSERT_TRUE(gui_test::RunLoopUntil([&] { return !log.empty(); }, 3000));
    gui_test::RunLoopFor(50);
    EXPECT_EQ(log, (std::vector<std::pair<int, DWORD>>{{3, GetCurrentThreadId()}}));
    CloseHandle(go);
}

// The HTTP pool's holder is shared with the single-worker one: the first asked for sizes it.
// Released pools stop their workers; a later request makes a new one.
TEST(ThreadManager, PoolsAreMadeOnFirstUseWithTheirWorkerCountsAndReleasedAnew) {
    downloader::ThreadManager manager, single_first;
    EXPECT_EQ(Gui::Thread::GetCount(), 0);
    EXPECT_EQ((std::vector<int>{Workers(manager.GetDownloadPool()), Workers(manager.GetHttpPool()),
                                Workers(manager.GetPool3()), Workers(manager.GetPool4()),
                                Workers(manager.GetPool5())}),
              (std::vector<int>{2, 4, 1, 2, 1}));
    EXPECT_TRUE(Threads(10));
    EXPECT_EQ(manager.GetHttpPoolSingle(), manager.GetHttpPool());
    base::ThreadPool* single = single_first.GetHttpPoolSingle();
    EXPECT_EQ(single_first.GetHttpPool(), single);
    EXPECT_EQ(Workers(single), 1);
    manager.ReleasePools();
    EXPECT_TRUE(Threads(4));                             // pools 4 and 5, and the single one
    EXPECT_EQ(Workers(manager.GetHttpPoolSingle()), 1);  // a fresh pool
}

TEST(ThreadManager, TheControllerHandsOutOneManagerAndReleasesItFirst) {
    struct TestController : base::Controller {
        bool Start(const std::wstring&) override { return true; }
    };
    EXPECT_EQ(GetThreadManager(), nullptr);  // no controller yet
    auto* controller = new TestController;
    base::SetController(controller);
    downloader::ThreadManager* manager = GetThreadManager();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(GetThreadManager(), manager);
    manager->GetDownloadPool();
    EXPECT_TRUE(Threads(2));
    base::SetController(nullptr);
    delete controller;  // stops the pools with the manager
    EXPECT_TRUE(Threads(0));
}

}  // namespace
