// Shutdown and Release while work is under way, and calls from many threads.
#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "support/engine_fixture.h"

namespace enginetest {
namespace {

using namespace std::chrono_literals;

class ShutdownTest : public EngineTest {
protected:
    std::chrono::milliseconds timed_shutdown() {
        auto before = std::chrono::steady_clock::now();
        EXPECT_EQ(engine()->Shutdown(), 0);
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - before);
    }
};

TEST_F(ShutdownTest, ShutdownDuringATransferStopsWithinASecondAndKeepsTheBytes) {
    serve(3 << 20, {"--rate", "2097152"});
    ASSERT_EQ(start(), 0);
    Info info;
    ASSERT_EQ(poll_until(info,
                         [](int32_t c, const DownloadEngineInfo& i) {
                             return c != 0 || i.downloaded_size >= (256 << 10);
                         }),
              0);
    EXPECT_LT(timed_shutdown(), 1000ms);
    EXPECT_EQ(progress(info), 3);
    EXPECT_EQ(start(), kEngineClosed);
    EXPECT_EQ(engine()->PauseTask(), kEngineClosed);
    size_t on_disk = read_file(partial_path()).size();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(read_file(partial_path()).size(), on_disk);  // nothing writes any more
    EXPECT_GE(on_disk, size_t(256 << 10));
}

TEST_F(ShutdownTest, ShutdownDuringAStalledResponseStopsWithinASecond) {
    ::setenv("GDL_ENGINE_STALL_MS", "30000", 1);
    serve(1 << 20, {"--stall-at", "100000:20000"});
    ASSERT_EQ(start(), 0);
    Info info;
    ASSERT_EQ(poll_until(info,
                         [](int32_t c, const DownloadEngineInfo& i) {
                             return c != 0 || i.downloaded_size >= 100000;
                         }),
              0);
    EXPECT_LT(timed_shutdown(), 1000ms);
}

TEST_F(ShutdownTest, ShutdownDuringABackOffStopsWithinASecond) {
    ::setenv("GDL_ENGINE_BACKOFF_MS", "20000", 1);
    ::setenv("GDL_ENGINE_MAX_BACKOFF_MS", "20000", 1);
    serve(100000, {"--fail", "503:5"});
    ASSERT_EQ(start(), 0);
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (server_.requests().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_EQ(server_.requests().size(), 1u);
    EXPECT_LT(timed_shutdown(), 1000ms);
}

TEST_F(ShutdownTest, CancelTaskStopsTheTransferAndKeepsItsRecord) {
    serve(2 << 20, {"--rate", "4194304"});
    ASSERT_EQ(start(), 0);
    Info info;
    ASSERT_EQ(poll_until(info,
                         [](int32_t c, const DownloadEngineInfo& i) {
                             return c != 0 || i.downloaded_size >= (256 << 10);
                         }),
              0);
    ASSERT_EQ(engine()->CancelTask(), 0);
    EXPECT_EQ(progress(info), 3);
    ASSERT_EQ(find(info), 0);
    EXPECT_GT(info->downloaded_size, 0);
    EXPECT_EQ(engine()->CancelTask(), kNoTransfer);
}

TEST_F(ShutdownTest, CallsFromSeveralThreadsAtOnceLeadToOneGoodFile) {
    serve(4 << 20, {"--rate", "8388608"});
    ASSERT_EQ(start(), 0);
    std::atomic<bool> done{false};
    std::atomic<int> bad_polls{0}, bad_starts{0}, bad_queries{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([&] {
            Info info;
            while (!done) {
                int32_t code = engine()->QueryProgress(info.get());
                if (code != 0) ++bad_polls;
                if (info->complete) done = true;
            }
        });
        threads.emplace_back([&] {
            while (!done) {
                if (start() != 0) ++bad_starts;
                std::this_thread::sleep_for(3ms);
            }
        });
    }
    threads.emplace_back([&] {
        Info info;
        while (!done) {
            if (find(info) != 0 || query(info) != 0) ++bad_queries;
            std::this_thread::sleep_for(1ms);
        }
    });
    // The user-interface thread pausing and resuming between polls.
    for (int i = 0; i < 20 && !done; ++i) {
        engine()->PauseTask();
        std::this_thread::sleep_for(10ms);
        engine()->ResumeTask();
        std::this_thread::sleep_for(20ms);
    }
    auto deadline = std::chrono::steady_clock::now() + 15s;
    while (!done && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
    done = true;
    for (auto& t : threads) t.join();
    EXPECT_EQ(bad_polls, 0);
    EXPECT_EQ(bad_starts, 0);
    EXPECT_EQ(bad_queries, 0);
    // A start that came in after the completion may still be checking the file.
    Info info;
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_EQ(info->complete, 1);
    EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_));
}

TEST_F(ShutdownTest, ReleaseWhileOtherThreadsKeepCallingNeverCrashes) {
    serve(4 << 20, {"--rate", "4194304"});
    ASSERT_EQ(start(), 0);
    IDownloadEngine* e = engine();
    std::atomic<bool> done{false};
    std::mutex seen_mutex;
    std::set<int32_t> poll_codes;
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i) {
        threads.emplace_back([&] {
            Info info;
            while (!done) {
                int32_t code = e->QueryProgress(info.get());
                std::lock_guard lock(seen_mutex);
                poll_codes.insert(code);
            }
        });
    }
    threads.emplace_back([&] {
        Info info;
        while (!done) {
            e->PauseTask();
            e->ResumeTask();
            e->FindTask(Key(kGame, u"").get(), info.get());
        }
    });
    std::this_thread::sleep_for(150ms);
    e->Shutdown();
    library_.release(e);
    engine_ = nullptr;
    std::this_thread::sleep_for(100ms);
    done = true;
    for (auto& t : threads) t.join();
    for (int32_t code : poll_codes) EXPECT_TRUE(code == 0 || code == 3) << code;
    EXPECT_TRUE(poll_codes.count(3));
}

}  // namespace
}  // namespace enginetest
