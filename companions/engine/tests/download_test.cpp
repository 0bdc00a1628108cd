// Downloads through the engine against the demo platform on loopback: the happy
// path, pause and resume, and what survives a new engine instance.
#include <filesystem>
#include <thread>

#include "support/engine_fixture.h"

namespace enginetest {
namespace {

using namespace std::chrono_literals;

class DownloadTest : public EngineTest {};

bool at_least(int32_t code, const DownloadEngineInfo& i, int64_t bytes) {
    return code != 0 || i.downloaded_size >= bytes;
}

TEST_F(DownloadTest, FreshDownloadIsVerifiedAndRenamedToTheInstallerName) {
    serve(3 << 20);
    ASSERT_EQ(start(), 0);
    Info info;
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_EQ(info->complete, 1);
    EXPECT_EQ(info->total_size, 3 << 20);
    EXPECT_EQ(info->downloaded_size, 3 << 20);
    EXPECT_EQ(info->speed, 0);
    EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_));
    EXPECT_FALSE(exists(partial_path()));

    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].range, "");
    EXPECT_EQ(requests[0].status, 200);
    EXPECT_EQ(requests[0].user_agent, "Dravon/1.0");
}

TEST_F(DownloadTest, FindTaskReportsTheCompleteDownloadFolderAndLaunchFile) {
    serve(100000);
    ASSERT_EQ(start(), 0);
    Info info;
    ASSERT_EQ(wait_end(info), 0);
    ASSERT_EQ(find(info), 0);
    EXPECT_EQ(info->complete, 1);
    // The program takes the parent of this path as its download path.
    EXPECT_EQ(info.path(), u"C:\\Games\\demo");
    EXPECT_EQ(info.launch_file(), u"setup_demo.exe");
    EXPECT_EQ(info->total_size, 100000);
    EXPECT_EQ(info->downloaded_size, 100000);
}

TEST_F(DownloadTest, StartAnswersAtOnceWhileTheTransferRunsOnItsOwnThread) {
    serve(1 << 20, {"--rate", "1048576"});
    auto before = std::chrono::steady_clock::now();
    ASSERT_EQ(start(), 0);
    // Well under the transfer's own second, with room for a loaded machine.
    EXPECT_LT(std::chrono::steady_clock::now() - before, 700ms);
    Info info;
    EXPECT_EQ(progress(info), 0);
    EXPECT_EQ(info->complete, 0);
    EXPECT_EQ(info->total_size, 1 << 20);
}

TEST_F(DownloadTest, SpeedIsMeasuredWhileRunningAndZeroWhilePaused) {
    serve(3 << 20, {"--rate", "2097152"});
    ASSERT_EQ(start(), 0);
    Info info;
    ASSERT_EQ(poll_until(info,
                         [](int32_t c, const DownloadEngineInfo& i) {
                             return c != 0 || i.downloaded_size >= (1 << 20);
                         }),
              0);
    EXPECT_GT(info->speed, 1000000);
    EXPECT_LT(info->speed, 4000000);
    ASSERT_EQ(engine()->PauseTask(), 0);
    ASSERT_EQ(progress(info), 0);
    EXPECT_EQ(info->speed, 0);
    EXPECT_EQ(info->complete, 0);
}

TEST_F(DownloadTest, PauseFlushesAndResumeContinuesWithARangedRequest) {
    serve(2 << 20, {"--rate", "4194304"});
    ASSERT_EQ(start(), 0);
    Info info;
    ASSERT_EQ(
        poll_until(
            info, [](int32_t c, const DownloadEngineInfo& i) { return at_least(c, i, 512 << 10); }),
        0);
    ASSERT_EQ(engine()->PauseTask(), 0);
    EXPECT_EQ(engine()->PauseTask(), 0);  // pausing twice is harmless
    // Once the pause has taken hold, everything received is on disk.
    auto deadline = std::chrono::steady_clock::now() + 5s;
    int64_t paused_at = -1;
    while (std::chrono::steady_clock::now() < deadline) {
        ASSERT_EQ(progress(info), 0);
        if (int64_t(read_file(partial_path()).size()) == info->downloaded_size) {
            paused_at = info->downloaded_size;
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_GT(paused_at, 0);
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(progress(info), 0);
    EXPECT_EQ(info->downloaded_size, paused_at);  // nothing arrives while paused
    EXPECT_EQ(info->speed, 0);
    EXPECT_LT(paused_at, 2 << 20);
    EXPECT_TRUE(same_bytes(read_file(partial_path()), payload_.substr(0, size_t(paused_at))));

    ASSERT_EQ(engine()->ResumeTask(), 0);
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_EQ(info->complete, 1);
    EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_));

    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].range, "bytes=" + std::to_string(paused_at) + "-");
    EXPECT_FALSE(requests[1].if_range.empty());
    EXPECT_EQ(requests[1].status, 206);
}

TEST_F(DownloadTest, PauseAndResumeWithoutATransferAnswerTheEnginesCode) {
    serve(1000);
    EXPECT_EQ(engine()->PauseTask(), kNoTransfer);
    EXPECT_EQ(engine()->ResumeTask(), kNoTransfer);
    ASSERT_EQ(start(), 0);
    Info info;
    ASSERT_EQ(wait_end(info), 0);
    EXPECT_EQ(engine()->PauseTask(), kNoTransfer);  // a finished task cannot pause
}

TEST_F(DownloadTest, CompleteDownloadSurvivesANewInstanceWithoutRefetching) {
    serve(200000);
    ASSERT_EQ(start(), 0);
    Info info;
    ASSERT_EQ(wait_end(info), 0);
    release_engine();

    ASSERT_EQ(find(info), 0);
    EXPECT_EQ(info->complete, 1);
    ASSERT_EQ(start(), 0);
    ASSERT_EQ(wait_end(info), 0);
    EXPECT_EQ(info->complete, 1);
    EXPECT_EQ(server_.requests().size(), 1u);
}

TEST_F(DownloadTest, DeletedInstallerIsFetchedAgain) {
    serve(200000);
    ASSERT_EQ(start(), 0);
    Info info;
    ASSERT_EQ(wait_end(info), 0);
    ASSERT_EQ(::unlink(installer_path().c_str()), 0);

    ASSERT_EQ(find(info), 0);
    EXPECT_EQ(info->complete, 0);
    EXPECT_EQ(info->downloaded_size, 0);
    // QueryTask answers what is on disk too, not what the record once said.
    Info queried;
    ASSERT_EQ(query(queried), 0);
    EXPECT_EQ(queried->downloaded_size, 0);
    EXPECT_EQ(queried->total_size, 200000);
    ASSERT_EQ(start(), 0);
    ASSERT_EQ(wait_end(info), 0);
    EXPECT_EQ(info->complete, 1);
    EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_));
    EXPECT_EQ(server_.requests().size(), 2u);
}

TEST_F(DownloadTest, BytesChangedOnDiskBetweenRunsAreNeverReportedComplete) {
    for (bool finished : {false, true}) {
        server_.stop();  // each case from nothing
        std::filesystem::remove_all(save_dir());
        std::filesystem::remove_all(tmp_.path() + "/data");
        serve(2 << 20, {"--rate", "4194304"});
        ASSERT_EQ(start(), 0);
        Info info;
        auto done = [&](int32_t c, const DownloadEngineInfo& i) {
            return finished ? c != 0 || i.complete : at_least(c, i, 512 << 10);
        };
        ASSERT_EQ(poll_until(info, done), 0);
        release_engine();
        const std::string path = finished ? installer_path() : partial_path();
        std::string bytes = read_file(path);
        bytes.at(1000) ^= 0x55;  // same length, other bytes
        write_file(path, bytes);
        ASSERT_EQ(find(info), 0);
        EXPECT_EQ(info->complete, 0) << finished;
        ASSERT_EQ(start(), 0);
        ASSERT_EQ(wait_end(info), 0) << info.reason();
        EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_)) << finished;
    }
}

TEST_F(DownloadTest, PartialFileFollowsTheTaskToANewSaveFolder) {
    serve(2 << 20, {"--rate", "4194304"});
    ASSERT_EQ(start(u"C:\\Games\\first"), 0);
    Info info;
    ASSERT_EQ(
        poll_until(
            info, [](int32_t c, const DownloadEngineInfo& i) { return at_least(c, i, 512 << 10); }),
        0);
    ASSERT_EQ(engine()->PauseTask(), 0);
    std::this_thread::sleep_for(100ms);

    ASSERT_EQ(start(u"C:\\Games\\second"), 0);
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_TRUE(same_bytes(read_file(installer_path("second")), payload_));
    EXPECT_FALSE(exists(partial_path("first")));
    EXPECT_FALSE(exists(installer_path("first")));
    ASSERT_EQ(find(info), 0);
    EXPECT_EQ(info.path(), u"C:\\Games\\second");

    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[1].range, "");  // the bytes moved along, nothing was fetched twice
}

TEST_F(DownloadTest, UnfinishedDownloadIsReportedAndContinuedByANewInstance) {
    serve(2 << 20, {"--rate", "4194304"});
    ASSERT_EQ(start(), 0);
    Info info;
    ASSERT_EQ(
        poll_until(
            info, [](int32_t c, const DownloadEngineInfo& i) { return at_least(c, i, 512 << 10); }),
        0);
    release_engine();  // Shutdown and Release in the middle of the transfer

    ASSERT_EQ(find(info), 0);
    EXPECT_EQ(info.path(), u"C:\\Games\\demo");
    EXPECT_EQ(info->complete, 0);
    int64_t kept = info->downloaded_size;
    EXPECT_GT(kept, 0);
    ASSERT_EQ(query(info), 0);
    EXPECT_EQ(info->downloaded_size, kept);
    EXPECT_EQ(info->total_size, 2 << 20);

    ASSERT_EQ(start(), 0);
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_));
    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].range, "bytes=" + std::to_string(kept) + "-");
}

}  // namespace
}  // namespace enginetest
