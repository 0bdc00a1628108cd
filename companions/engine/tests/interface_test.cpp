// The engine's interface: its answers before any download and to bad arguments, one
// engine shared until its last Release, Shutdown and Release while work is under way, and
// calls from many threads.
#include <atomic>
#include <mutex>
#include <set>

#include "support/engine_fixture.h"

namespace enginetest {
namespace {

using InterfaceTest = EngineTest;
using ShutdownTest = EngineTest;

// Every GetInstance shares one engine until the last Release; a released engine, even
// after the library is let go, answers instead of crashing.
TEST_F(InterfaceTest, OneSharedEngineAnswersEvenAfterItsLastRelease) {
    IDownloadEngine* a = library_.get_instance();
    IDownloadEngine* b = library_.get_instance();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(library_.release(a), 0);
    Info info;
    EXPECT_EQ(b->FindTask(Key(kGame, u"").get(), info.get()), 0);
    library_.release(b);
    EXPECT_EQ(b->FindTask(Key(kGame, u"").get(), info.get()), kEngineClosed);
    library_.close();
    EXPECT_NE(::dlopen(ENGINE_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr);  // stays mapped
    EXPECT_EQ(b->QueryProgress(info.get()), 3);
    EXPECT_EQ(b->PauseTask(), kEngineClosed);
    EXPECT_EQ(b->StartTask(Key(kGame, u"C:\\Games\\demo").get()), kEngineClosed);
}

// Nothing listens on the address: the answers must come from the files alone.
TEST_F(InterfaceTest, AnswersBeforeAnyDownloadComeFromTheFilesAlone) {
    Info info;
    EXPECT_EQ(query(info), kNoEngineFile);
    write_engine_file("http://127.0.0.1:9/setup_demo.exe", 123456, std::string(32, 'a'));
    EXPECT_EQ(query(info), 0);
    EXPECT_EQ(std::make_pair(info->total_size, info->downloaded_size), std::make_pair(123456L, 0L));
    EXPECT_EQ(info.launch_file(), u"setup_demo.exe");
    EXPECT_EQ(engine()->QueryTask(Key(u"nosuchgame", u"").get(), info.get()), kUnknownGame);
    EXPECT_EQ(find(info), 0);
    EXPECT_EQ(info.path(), u"");
    EXPECT_EQ(info->complete + info->downloaded_size, 0);
    WriteAll(tmp_.folder("data/Dravon") + "/demo.task", "key=demo\ncommitted=banana\n");
    EXPECT_EQ(find(info), 0);  // a damaged record counts as none
    EXPECT_EQ(info.path(), u"");
    EXPECT_EQ(progress(info), 3);
    EXPECT_EQ(
        std::make_tuple(engine()->CancelTask(), engine()->PauseTask(), engine()->ResumeTask()),
        std::make_tuple(kNoTransfer, kNoTransfer, kNoTransfer));
    write_engine_file("ftp://127.0.0.1/x", 5, "not-an-md5");
    EXPECT_EQ(query(info), kUnknownGame);
}

TEST_F(InterfaceTest, StartRefusesBadArgumentsAnUnusableStoreAndAShutDownEngine) {
    write_engine_file("http://127.0.0.1:9/x", 5, std::string(32, 'a'));
    EXPECT_EQ(engine()->StartTask(nullptr), kBadArgument);
    EXPECT_EQ(start(u""), kBadArgument);
    EXPECT_EQ(engine()->StartTask(Key(u"", u"C:\\Games\\demo").get()), kBadArgument);
    EXPECT_EQ(start(u"\\\\server\\share\\demo"), kBadSaveFolder);
    Info info;
    EXPECT_EQ(engine()->FindTask(nullptr, info.get()), kBadArgument);
    EXPECT_EQ(engine()->Shutdown(), 0);
    EXPECT_EQ(start(), kEngineClosed);
    release_engine();
    // A folder below a plain file can never be made, not even by root.
    WriteAll(tmp_.file("plain"), "x");
    setenv("GDL_ENGINE_STORE", tmp_.file("plain/store").c_str(), 1);
    EXPECT_EQ(start(), kStoreUnavailable);
}

// Shutdown does not wait for the transfer to end: the installer never appears, and
// nothing writes after it returns. A cancel stops the transfer and keeps its record.
TEST_F(ShutdownTest, ShutdownOrCancelDuringATransferStopsItAndKeepsTheBytes) {
    for (bool shut : {true, false}) {
        SCOPED_TRACE(shut);
        ASSERT_EQ(begin(3 << 20, {"--rate", "1048576"}), 0);
        Info info;
        ASSERT_EQ(until(info, 256 << 10), 0);
        EXPECT_EQ(shut ? engine()->Shutdown() : engine()->CancelTask(), 0);
        EXPECT_EQ(progress(info), 3);
        if (!shut) {
            ASSERT_EQ(find(info), 0);
            EXPECT_GT(info->downloaded_size, 0);
            EXPECT_EQ(engine()->CancelTask(), kNoTransfer);
            continue;
        }
        EXPECT_EQ(std::make_pair(start(), engine()->PauseTask()),
                  std::make_pair(kEngineClosed, kEngineClosed));
        const size_t on_disk = ReadAll(partial_path()).size();
        std::this_thread::sleep_for(200ms);
        EXPECT_EQ(ReadAll(partial_path()).size(), on_disk);
        EXPECT_GE(on_disk, size_t(256 << 10));
        EXPECT_FALSE(Exists(installer_path()));
    }
}

// A stall or a back-off of ten minutes: a shutdown that waited for either would keep
// this test past its time-out.
TEST_F(ShutdownTest, ShutdownDuringAStalledResponseOrABackOffReturns) {
    for (bool stall : {true, false}) {
        restart();
        setenv(stall ? "GDL_ENGINE_STALL_MS" : "GDL_ENGINE_BACKOFF_MS", "600000", 1);
        setenv("GDL_ENGINE_MAX_BACKOFF_MS", "600000", 1);
        serve(1 << 20, stall ? std::vector<std::string>{"--stall-at", "100000:600000"}
                             : std::vector<std::string>{"--fail", "503:5"});
        ASSERT_EQ(start(), 0);
        Info info;
        ASSERT_EQ(stall ? until(info, 100000) : 0, 0);
        while (server_.requests().empty()) std::this_thread::sleep_for(5ms);
        EXPECT_EQ(engine()->Shutdown(), 0);
        EXPECT_EQ(progress(info), 3) << stall;
    }
}

TEST_F(ShutdownTest, CallsFromSeveralThreadsAtOnceLeadToOneGoodFile) {
    ASSERT_EQ(begin(4 << 20, {"--rate", "8388608"}), 0);
    std::atomic<bool> done{false};
    std::atomic<int> bad_polls{0}, bad_starts{0}, bad_queries{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([&] {
            Info info;
            while (!done) {
                if (engine()->QueryProgress(info.get()) != 0) ++bad_polls;
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
    testing_support::WaitUntil([&] { return done.load(); }, 15000, 5);
    done = true;
    for (auto& t : threads) t.join();
    EXPECT_EQ(std::make_tuple(bad_polls.load(), bad_starts.load(), bad_queries.load()),
              std::make_tuple(0, 0, 0));
    expect_installed();  // a start after the completion may still be checking the file
}

TEST_F(ShutdownTest, ReleaseWhileOtherThreadsKeepCallingNeverCrashes) {
    ASSERT_EQ(begin(4 << 20, {"--rate", "4194304"}), 0);
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
