// The task across processes: a killed program, a restarted machine, a second program,
// a full disk.
#include <signal.h>
#include <sys/resource.h>

#include "support/engine_fixture.h"

namespace enginetest {
namespace {

class ProcessesTest : public EngineTest {
protected:
    // A program that starts the download, on boot `boot` when given, and keeps running.
    pid_t start_in_child(const char* boot = nullptr) {
        return fork_child([this, boot] {
            if (boot) setenv("GDL_ENGINE_BOOT_ID", boot, 1);
            if (start() != 0) return 1;
            for (;;) pause();
        });
    }

    void await_partial(size_t bytes) {
        EXPECT_TRUE(testing_support::WaitUntil(
            [&] { return ReadAll(partial_path()).size() >= bytes; }, 10000));
    }
    // Kills the child once the partial file holds `bytes`; answers what it held then.
    int64_t kill_at(pid_t child, size_t bytes) {
        EXPECT_GT(child, 0);
        await_partial(bytes);
        kill(child, SIGKILL);
        EXPECT_EQ(wait_child(child), 128 + SIGKILL);
        return int64_t(ReadAll(partial_path()).size());
    }

    // Starts here and gets the whole file, every later request asking from `from`.
    void finish_from(int64_t from) {
        ASSERT_EQ(start(), 0);
        expect_installed();
        const auto requests = server_.requests();
        for (size_t i = 1; i < requests.size(); ++i)
            EXPECT_EQ(requests[i].range, "bytes=" + std::to_string(from) + "-") << i;
    }
};

// While the driving process runs, a second one cannot take the task; once it is killed
// the lock dies with it. Data reaches the disk in buffers of at most 1 MiB, each one
// checkpointed (every 64 KiB here): a kill loses less than a buffer.
TEST_F(ProcessesTest, ASecondProcessWaitsForTheFirstAndResumesAfterItIsKilled) {
    serve(3 << 20, {"--rate", "4194304"});
    const pid_t child = start_in_child();
    await_partial(64 << 10);
    EXPECT_EQ(start(), kTaskBusy);
    const int64_t at_kill = kill_at(child, 3 << 19);
    Info info;
    ASSERT_EQ(find(info), 0);
    EXPECT_EQ(info.path(), u"C:\\Games\\demo");
    EXPECT_EQ(info->complete, 0);
    const int64_t kept = info->downloaded_size;
    EXPECT_LE(kept, at_kill);
    EXPECT_GE(kept + (1 << 20), at_kill);
    finish_from(kept);
    EXPECT_EQ(server_.requests().size(), 2u);
}

// As after a power loss, only bytes flushed to disk are trusted: without periodic
// flushes those of the first program's cancel, with them some on the way too.
TEST_F(ProcessesTest, AfterTheMachineRestartsOnlyBytesFlushedToDiskAreTrusted) {
    setenv("GDL_ENGINE_SYNC_MS", "600000", 1);
    serve(3 << 20, {"--rate", "4194304"});
    const pid_t first = fork_child([this] {
        setenv("GDL_ENGINE_BOOT_ID", "boot-1", 1);
        Info info;
        if (start() != 0 || until(info, 512 << 10) != 0) return 1;
        return engine()->CancelTask() == 0 ? 0 : 3;
    });
    ASSERT_EQ(wait_child(first), 0);
    const size_t flushed = ReadAll(partial_path()).size();
    ASSERT_GE(flushed, size_t(512 << 10));
    kill_at(start_in_child("boot-1"), flushed + (1 << 20));  // well past the flushed bytes
    setenv("GDL_ENGINE_BOOT_ID", "boot-2", 1);
    Info info;
    ASSERT_EQ(find(info), 0);
    EXPECT_EQ(info->downloaded_size, int64_t(flushed));
    finish_from(int64_t(flushed));
    EXPECT_EQ(server_.requests().size(), 3u);

    restart();
    setenv("GDL_ENGINE_SYNC_MS", "100", 1);
    serve(3 << 20, {"--rate", "4194304"});
    const int64_t at_kill = kill_at(start_in_child("boot-1"), 2 << 20);
    setenv("GDL_ENGINE_BOOT_ID", "boot-3", 1);
    ASSERT_EQ(find(info), 0);
    const int64_t kept = info->downloaded_size;
    EXPECT_GT(kept, 0);  // flushed on the way, not only at the start
    EXPECT_LE(kept, at_kill);
    finish_from(kept);
}

TEST_F(ProcessesTest, FullDiskEndsWith3AndKeepsTheGoodBytes) {
    serve(1 << 20);
    constexpr rlim_t kLimit = 256 << 10;
    const pid_t child = fork_child([this] {
        rlimit limit{kLimit, kLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_IGN);
        Info info;
        if (start() != 0) return 1;
        if (const int32_t code = wait_end(info); code != 3) return 10 + code;
        if (info.reason().find("File too large") == std::string::npos) return 2;
        release_engine();
        return 0;
    });
    ASSERT_EQ(wait_child(child), 0);
    EXPECT_TRUE(SameBytes(ReadAll(partial_path()), payload_.substr(0, kLimit)));
    Info info;
    ASSERT_EQ(find(info), 0);
    EXPECT_EQ(info->downloaded_size, int64_t(kLimit));
    finish_from(kLimit);
    EXPECT_EQ(server_.requests().size(), 2u);
}

}  // namespace
}  // namespace enginetest
