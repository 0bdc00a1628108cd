// The task across processes: a killed program, a second program, a full disk.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <thread>

#include "support/engine_fixture.h"

namespace enginetest {
namespace {

using namespace std::chrono_literals;

class ProcessesTest : public EngineTest {
protected:
    // A program that starts the download and then just keeps running.
    pid_t start_in_child() {
        return fork_child([this] {
            IDownloadEngine* e = library_.get_instance();
            Key key(kGame, u"C:\\Games\\demo");
            if (!e || e->StartTask(key.get()) != 0) return 1;
            for (;;) ::pause();
        });
    }

    bool wait_partial_size(size_t bytes, std::chrono::milliseconds timeout = 10s) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (read_file(partial_path()).size() >= bytes) return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }
};

TEST_F(ProcessesTest, ResumesAfterTheDrivingProcessIsKilled) {
    serve(3 << 20, {"--rate", "4194304"});
    pid_t child = start_in_child();
    ASSERT_GT(child, 0);
    ASSERT_TRUE(wait_partial_size(3 << 19));
    ::kill(child, SIGKILL);
    ASSERT_EQ(wait_child(child), 128 + SIGKILL);
    int64_t at_kill = int64_t(read_file(partial_path()).size());

    Info info;
    ASSERT_EQ(find(info), 0);
    EXPECT_EQ(info.path(), u"C:\\Games\\demo");
    EXPECT_EQ(info->complete, 0);
    int64_t kept = info->downloaded_size;
    // Data reaches the disk in buffers of at most 1 MiB, each one checkpointed
    // (every 64 KiB here): the kill loses less than a buffer.
    EXPECT_GT(kept, 0);
    EXPECT_LE(kept, at_kill);
    EXPECT_GE(kept + (1 << 20), at_kill);

    ASSERT_EQ(start(), 0);
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_));
    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].range, "bytes=" + std::to_string(kept) + "-");
}

TEST_F(ProcessesTest, AfterTheMachineRestartsOnlyBytesFlushedToDiskAreTrusted) {
    // No periodic flush: the only bytes known to be on disk are those flushed when
    // the first program cancelled.
    ::setenv("GDL_ENGINE_SYNC_MS", "600000", 1);
    serve(3 << 20, {"--rate", "4194304"});
    pid_t first = fork_child([this] {
        ::setenv("GDL_ENGINE_BOOT_ID", "boot-1", 1);
        IDownloadEngine* e = library_.get_instance();
        Key key(kGame, u"C:\\Games\\demo");
        if (!e || e->StartTask(key.get()) != 0) return 1;
        Info info;
        for (int i = 0; i < 2000 && info->downloaded_size < (512 << 10); ++i) {
            std::this_thread::sleep_for(5ms);
            if (e->QueryProgress(info.get()) != 0) return 2;
        }
        return e->CancelTask() == 0 ? 0 : 3;
    });
    ASSERT_EQ(wait_child(first), 0);
    size_t flushed = read_file(partial_path()).size();
    ASSERT_GE(flushed, size_t(512 << 10));

    // The second program carries on until it is killed, well past the flushed bytes.
    pid_t second = fork_child([this] {
        ::setenv("GDL_ENGINE_BOOT_ID", "boot-1", 1);
        IDownloadEngine* e = library_.get_instance();
        Key key(kGame, u"C:\\Games\\demo");
        if (!e || e->StartTask(key.get()) != 0) return 1;
        for (;;) ::pause();
    });
    ASSERT_GT(second, 0);
    ASSERT_TRUE(wait_partial_size(flushed + (1 << 20)));
    ::kill(second, SIGKILL);
    ASSERT_EQ(wait_child(second), 128 + SIGKILL);

    // As after a power loss: what the killed program wrote may never have reached
    // the disk, so only the flushed bytes count.
    ::setenv("GDL_ENGINE_BOOT_ID", "boot-2", 1);
    Info info;
    ASSERT_EQ(find(info), 0);
    EXPECT_EQ(info->downloaded_size, int64_t(flushed));
    ASSERT_EQ(start(), 0);
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_));
    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].range, "bytes=" + std::to_string(flushed) + "-");
    EXPECT_EQ(requests[2].range, "bytes=" + std::to_string(flushed) + "-");
}

TEST_F(ProcessesTest, PeriodicFlushesKeepBytesAcrossARestartOfTheMachine) {
    ::setenv("GDL_ENGINE_SYNC_MS", "100", 1);
    serve(3 << 20, {"--rate", "4194304"});
    pid_t child = fork_child([this] {
        ::setenv("GDL_ENGINE_BOOT_ID", "boot-1", 1);
        IDownloadEngine* e = library_.get_instance();
        Key key(kGame, u"C:\\Games\\demo");
        if (!e || e->StartTask(key.get()) != 0) return 1;
        for (;;) ::pause();
    });
    ASSERT_GT(child, 0);
    ASSERT_TRUE(wait_partial_size(2 << 20));
    ::kill(child, SIGKILL);
    ASSERT_EQ(wait_child(child), 128 + SIGKILL);
    int64_t at_kill = int64_t(read_file(partial_path()).size());

    ::setenv("GDL_ENGINE_BOOT_ID", "boot-2", 1);
    Info info;
    ASSERT_EQ(find(info), 0);
    int64_t kept = info->downloaded_size;
    EXPECT_GT(kept, 0);  // flushed on the way, not only at the start
    EXPECT_LE(kept, at_kill);
    ASSERT_EQ(start(), 0);
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_));
    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].range, "bytes=" + std::to_string(kept) + "-");
}

TEST_F(ProcessesTest, SecondProcessCannotTakeARunningTask) {
    serve(3 << 20, {"--rate", "1048576"});
    pid_t child = start_in_child();
    ASSERT_GT(child, 0);
    ASSERT_TRUE(wait_partial_size(64 << 10));
    EXPECT_EQ(start(), kTaskBusy);

    ::kill(child, SIGKILL);
    wait_child(child);
    ASSERT_TRUE(server_.control("rate=0"));
    ASSERT_EQ(start(), 0);  // the lock died with its process
    Info info;
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_));
}

TEST_F(ProcessesTest, FullDiskEndsWith3AndKeepsTheGoodBytes) {
    serve(1 << 20);
    constexpr rlim_t kLimit = 256 << 10;
    pid_t child = fork_child([this] {
        rlimit limit{kLimit, kLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);
        IDownloadEngine* e = library_.get_instance();
        Key key(kGame, u"C:\\Games\\demo");
        if (!e || e->StartTask(key.get()) != 0) return 1;
        Info info;
        int32_t code = 0;
        for (int i = 0; i < 2000 && code == 0 && !info->complete; ++i) {
            std::this_thread::sleep_for(5ms);
            code = e->QueryProgress(info.get());
        }
        if (code != 3) return 10 + code;
        if (info.reason().find("File too large") == std::string::npos) return 2;
        e->Shutdown();
        library_.release(e);
        return 0;
    });
    ASSERT_EQ(wait_child(child), 0);
    EXPECT_TRUE(same_bytes(read_file(partial_path()), payload_.substr(0, kLimit)));

    Info info;
    ASSERT_EQ(find(info), 0);
    EXPECT_EQ(info->downloaded_size, int64_t(kLimit));
    ASSERT_EQ(start(), 0);
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_));
    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].range, "bytes=" + std::to_string(kLimit) + "-");
}

}  // namespace
}  // namespace enginetest
