// The engine against a misbehaving server: resets, short bodies, stalls, errors,
// ignored ranges, a changed file, wrong sizes and a failing MD5.
#include <thread>

#include "support/engine_fixture.h"

namespace enginetest {
namespace {

using namespace std::chrono_literals;

class FaultsTest : public EngineTest {
protected:
    void pause_after(int64_t bytes) {
        Info info;
        ASSERT_EQ(poll_until(info,
                             [&](int32_t c, const DownloadEngineInfo& i) {
                                 return c != 0 || i.downloaded_size >= bytes;
                             }),
                  0);
        ASSERT_EQ(engine()->PauseTask(), 0);
        std::this_thread::sleep_for(100ms);
    }
};

TEST_F(FaultsTest, ResumesAfterServerResetWithoutRefetching) {
    serve(2 << 20, {"--reset-at", "1048576"});
    ASSERT_EQ(start(), 0);
    Info info;
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_EQ(info->complete, 1);
    EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_));
    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].range, "bytes=1048576-");
    EXPECT_EQ(requests[1].status, 206);
}

TEST_F(FaultsTest, ShortBodyIsCompletedWithARangedRequest) {
    serve(1 << 20, {"--truncate-at", "300000"});
    ASSERT_EQ(start(), 0);
    Info info;
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_));
    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].range, "bytes=300000-");
}

TEST_F(FaultsTest, ServerErrorsAreRetriedUntilSuccess) {
    serve(500000, {"--fail", "503:3"});
    ASSERT_EQ(start(), 0);
    Info info;
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_));
    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].status, 503);
    EXPECT_EQ(requests[2].status, 503);
    EXPECT_EQ(requests[3].status, 200);
}

TEST_F(FaultsTest, TransientFaultsGiveUpAfterTheRetryBound) {
    // The fixture allows 4 retries: five requests in all, then code 3.
    serve(500000, {"--fail", "500:1000"});
    ASSERT_EQ(start(), 0);
    Info info;
    EXPECT_EQ(wait_end(info), 3);
    EXPECT_NE(info.reason().find("HTTP status 500"), std::string::npos) << info.reason();
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(server_.requests().size(), 5u);
    EXPECT_EQ(progress(info), 3);  // it stays failed until the next start

    ASSERT_TRUE(server_.control("clear=1"));
    ASSERT_EQ(start(), 0);  // the program's retry
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_));
}

TEST_F(FaultsTest, ServerThatKeepsResettingCannotKeepTheTaskAliveForEver) {
    // Ranges ignored and a reset at the same place every time: no progress beyond
    // what was already seen, so the retry bound must end it.
    serve(1 << 20, {"--ignore-ranges", "--reset-at", "200000:1000"});
    ASSERT_EQ(start(), 0);
    Info info;
    EXPECT_EQ(wait_end(info), 3);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(server_.requests().size(), 5u);  // the fixture's bound: four retries
}

TEST_F(FaultsTest, StalledServerIsAbandonedAndTheRestFetchedWithARange) {
    serve(1 << 20, {"--stall-at", "400000:5000"});
    auto before = std::chrono::steady_clock::now();
    ASSERT_EQ(start(), 0);
    Info info;
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 3s);
    EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_));
    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].range, "bytes=400000-");
}

TEST_F(FaultsTest, RangeNotSatisfiableAtTheFullSizeGoesToVerification) {
    // Every byte arrives but the chunked body never ends: after the stall the
    // engine asks for the rest, the server answers 416, and the file is checked.
    serve(300000, {"--chunked", "--stall-at", "300000:5000"});
    ASSERT_EQ(start(), 0);
    Info info;
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_EQ(info->complete, 1);
    EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_));
    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].range, "bytes=300000-");
    EXPECT_EQ(requests[1].status, 416);
}

TEST_F(FaultsTest, ServerIgnoringRangesRestartsTheFileFromZero) {
    serve(2 << 20, {"--rate", "4194304"});
    ASSERT_EQ(start(), 0);
    pause_after(512 << 10);
    ASSERT_TRUE(server_.control("ignore-ranges=1&rate=0"));
    ASSERT_EQ(engine()->ResumeTask(), 0);
    Info info;
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_TRUE(same_bytes(read_file(installer_path()), payload_));
    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[1].range, "");
    EXPECT_EQ(requests[1].status, 200);
}

TEST_F(FaultsTest, ChangedFileOnTheServerIsNotSplicedOntoOldBytes) {
    // The server first holds a stale file of the same size; the engine file
    // describes the new one that replaces it during a pause.
    serve(2 << 20, {"--rate", "4194304"});
    std::string fresh = random_bytes(2 << 20, 777);
    write_file(tmp_.path() + "/srv/fresh.bin", fresh);
    write_engine_file(server_.url("/setup_demo.exe"), fresh.size(), md5_hex(fresh));
    ASSERT_EQ(start(), 0);
    pause_after(512 << 10);
    ASSERT_TRUE(server_.control("swap=setup_demo.exe:fresh.bin&rate=0"));
    ASSERT_EQ(engine()->ResumeTask(), 0);
    Info info;
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_TRUE(same_bytes(read_file(installer_path()), fresh));
    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(requests[1].if_range.empty());
    EXPECT_EQ(requests[1].status, 200);  // the validator no longer matched
}

TEST_F(FaultsTest, Md5MismatchAnswers5AndDropsTheFileAndTheRecord) {
    serve(400000);
    write_engine_file(server_.url("/setup_demo.exe"), payload_.size(), std::string(32, 'e'));
    ASSERT_EQ(start(), 0);
    Info info;
    EXPECT_EQ(wait_end(info), 5);
    EXPECT_NE(info.reason().find("MD5"), std::string::npos) << info.reason();
    EXPECT_EQ(progress(info), 5);
    EXPECT_FALSE(exists(partial_path()));
    EXPECT_FALSE(exists(installer_path()));
    ASSERT_EQ(find(info), 0);
    EXPECT_EQ(info.path(), u"");

    // The restart begins anew: a whole-file request, no range.
    write_engine_file(server_.url("/setup_demo.exe"), payload_.size(), md5_hex(payload_));
    ASSERT_EQ(start(), 0);
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].range, "");
}

TEST_F(FaultsTest, SizeDifferentFromTheEngineFileEndsWith3AtOnce) {
    serve(400000);
    write_engine_file(server_.url("/setup_demo.exe"), payload_.size() + 1, md5_hex(payload_));
    ASSERT_EQ(start(), 0);
    Info info;
    EXPECT_EQ(wait_end(info), 3);
    EXPECT_NE(info.reason().find("400000"), std::string::npos) << info.reason();
    EXPECT_EQ(server_.requests().size(), 1u);
}

class PermanentStatusTest : public FaultsTest, public ::testing::WithParamInterface<int> {};

TEST_P(PermanentStatusTest, EndsWith3WithoutRetrying) {
    serve(100000, {"--fail", std::to_string(GetParam()) + ":1000"});
    ASSERT_EQ(start(), 0);
    Info info;
    EXPECT_EQ(wait_end(info), 3);
    EXPECT_NE(info.reason().find(std::to_string(GetParam())), std::string::npos);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(server_.requests().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Statuses, PermanentStatusTest, ::testing::Values(403, 404, 410));

TEST_F(FaultsTest, MissingFileOnTheServerEndsWith3) {
    serve(1000);
    write_engine_file(server_.url("/nothing-here.exe"), 1000, md5_hex(payload_));
    ASSERT_EQ(start(), 0);
    Info info;
    EXPECT_EQ(wait_end(info), 3);
    EXPECT_NE(info.reason().find("404"), std::string::npos);
}

TEST_F(FaultsTest, UnreachableServerEndsWith3AfterTheRetries) {
    serve(1000);
    server_.stop();
    ASSERT_EQ(start(), 0);
    Info info;
    EXPECT_EQ(wait_end(info), 3);
    EXPECT_NE(info.reason().find("network"), std::string::npos) << info.reason();
}

}  // namespace
}  // namespace enginetest
