// Downloads through the engine against the demo platform on loopback: the happy
// path with a pause and a resume, and what survives a new run.
#include <unistd.h>

#include <algorithm>

#include "support/engine_fixture.h"

namespace enginetest {
namespace {

using DownloadTest = EngineTest;

// Start answers at once while the transfer runs on its own thread; a pause holds every
// byte received on disk and no more come; the resume asks for the rest by range; the file
// is checked, renamed to the installer's name and reported with its folder and launch file.
TEST_F(DownloadTest, ADownloadPausesResumesByRangeAndEndsAsTheInstaller) {
    ASSERT_EQ(begin(2 << 20, {"--rate", "4194304"}), 0);
    Info info;
    EXPECT_EQ(progress(info), 0);
    EXPECT_EQ(std::make_pair(info->complete, info->total_size), std::make_pair(0, 2L << 20));
    ASSERT_EQ(until(info, 256 << 10), 0);
    EXPECT_GT(info->speed, 0);
    pause_after(512 << 10);               // everything received is on disk once the pause holds
    EXPECT_EQ(engine()->PauseTask(), 0);  // pausing twice is harmless
    ASSERT_EQ(progress(info), 0);
    const int64_t paused_at = info->downloaded_size;
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(progress(info), 0);
    EXPECT_EQ(std::make_pair(info->downloaded_size, info->speed), std::make_pair(paused_at, 0));
    EXPECT_LT(paused_at, 2 << 20);
    EXPECT_TRUE(SameBytes(ReadAll(partial_path()), payload_.substr(0, size_t(paused_at))));

    ASSERT_EQ(engine()->ResumeTask(), 0);
    ASSERT_EQ(wait_end(info), 0) << info.reason();
    EXPECT_EQ(std::make_tuple(info->complete, info->downloaded_size, info->speed),
              std::make_tuple(1, 2L << 20, 0));
    EXPECT_TRUE(SameBytes(ReadAll(installer_path()), payload_));
    EXPECT_FALSE(Exists(partial_path()));
    ASSERT_EQ(find(info), 0);
    EXPECT_EQ(info->complete, 1);
    EXPECT_EQ(info.path() + u"|" + info.launch_file(), u"C:\\Games\\demo|setup_demo.exe");
    EXPECT_EQ(info->total_size + info->downloaded_size, 4 << 20);
    const auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].range + " " + requests[0].user_agent, " Dravon/1.0");
    EXPECT_EQ(requests[1].range, "bytes=" + std::to_string(paused_at) + "-");
    EXPECT_FALSE(requests[1].if_range.empty());
    EXPECT_EQ(std::make_pair(requests[0].status, requests[1].status), std::make_pair(200, 206));
    EXPECT_EQ(engine()->PauseTask(), kNoTransfer);  // a finished task cannot pause
}

// A new run (another process, which never checked the file) finds the complete download
// while the installer is the very file that was checked; altered, it is not complete any
// more and a start fetches it again; gone, nothing of it counts.
TEST_F(DownloadTest, ACompleteDownloadSurvivesANewRunWhileItsInstallerIsUnchanged) {
    serve(200000);
    ASSERT_EQ(wait_child(fork_child([this] {
                  Info info;
                  return start() || wait_end(info) || !info->complete;
              })),
              0);
    Info info;
    ASSERT_EQ(find(info), 0);
    EXPECT_EQ(std::make_pair(info->complete, info->downloaded_size), std::make_pair(1, 200000L));
    std::string bytes = ReadAll(installer_path());
    bytes.at(1000) ^= 0x55;  // same length, other bytes
    WriteAll(installer_path(), bytes);
    ASSERT_EQ(find(info), 0);
    EXPECT_EQ(std::make_pair(info->complete, info->downloaded_size), std::make_pair(0, 200000L));
    ASSERT_EQ(start(), 0);
    expect_installed();
    EXPECT_EQ(server_.requests().size(), 2u);
    ASSERT_EQ(unlink(installer_path().c_str()), 0);
    ASSERT_EQ(find(info), 0);
    EXPECT_EQ(info->complete + info->downloaded_size, 0);
}

// An earlier run's partial file counts only as far as it still holds: cut short, the task
// resumes from its length; altered, or another installer in the engine file, it begins anew.
TEST_F(DownloadTest, AnEarlierRunsBytesCountOnlyAsFarAsTheyStillHold) {
    for (const std::string change : {"cut", "altered", "engine file"}) {
        SCOPED_TRACE(change);
        ASSERT_EQ(begin(2 << 20, {"--rate", "4194304"}), 0);
        pause_after(1 << 20);
        release_engine();
        std::string part = ReadAll(partial_path()), served = payload_;
        if (change == "cut") part.resize(300000);
        if (change == "altered") part.at(1000) ^= 0x55;
        WriteAll(partial_path(), part);
        if (change == "engine file") {
            served = RandomBytes(300000, 99u);
            WriteAll(tmp_.file("srv/") + kInstaller, served);
            write_engine_file(server_.url(std::string("/") + kInstaller), served.size(),
                              Md5Hex(served));
        }
        ASSERT_TRUE(server_.control("rate=0"));
        ASSERT_EQ(start(), 0);
        expect_installed("demo", &served);
        EXPECT_EQ(server_.requests().back().range, change == "cut" ? "bytes=300000-" : "");
    }
}

// A new instance reports the bytes an earlier one left (the partial file, or the whole
// installer); a new run checks them before it goes on, its progress still counting
// them, and fetches only the rest.
TEST_F(DownloadTest, BytesKeptOnDiskAreReportedAndCountWhileANewRunChecksThem) {
    for (bool finished : {false, true}) {
        SCOPED_TRACE(finished);
        ASSERT_EQ(begin(16 << 20, {"--rate", finished ? "0" : "8388608"}), 0);
        Info info;
        ASSERT_EQ(finished ? wait_end(info) : until(info, 1 << 20), 0);
        release_engine();  // Shutdown and Release, in the middle of the transfer or after it
        // The same bytes written again: unchecked, as in a new process.
        if (finished) WriteAll(installer_path(), ReadAll(installer_path()));
        ASSERT_EQ(find(info), 0);
        EXPECT_EQ(info.path(), u"C:\\Games\\demo");
        EXPECT_TRUE(finished || !info->complete);
        const int64_t kept = info->downloaded_size;
        ASSERT_GE(kept, 1 << 20);
        ASSERT_EQ(query(info), 0);
        EXPECT_EQ(std::make_pair(info->downloaded_size, info->total_size),
                  std::make_pair(kept, 16L << 20));
        ASSERT_TRUE(server_.control("rate=0"));
        ASSERT_EQ(start(), 0);
        int64_t least = kept;
        ASSERT_EQ(poll_until(info,
                             [&](int32_t c, const DownloadEngineInfo& i) {
                                 least = std::min(least, i.downloaded_size);
                                 return c != 0 || i.complete;
                             }),
                  0)
            << info.reason();
        EXPECT_EQ(least, kept);
        EXPECT_TRUE(SameBytes(ReadAll(installer_path()), payload_));
        const auto requests = server_.requests();
        ASSERT_EQ(requests.size(), finished ? 1u : 2u);
        EXPECT_EQ(requests.back().range, finished ? "" : "bytes=" + std::to_string(kept) + "-");
    }
}

// A line break in the folder's name survives the task record.
TEST_F(DownloadTest, PartialFileFollowsTheTaskToANewSaveFolder) {
    serve(2 << 20, {"--rate", "4194304"});
    ASSERT_EQ(start(u"C:\\Games\\first"), 0);
    pause_after(512 << 10, "first");
    ASSERT_EQ(start(u"C:\\Games\\new\nline"), 0);
    expect_installed("new\nline");
    EXPECT_FALSE(Exists(partial_path("first")) || Exists(installer_path("first")));
    Info info;
    ASSERT_EQ(find(info), 0);
    EXPECT_EQ(info.path(), u"C:\\Games\\new\nline");
    const auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[1].range, "");  // the bytes moved along, nothing was fetched twice
}

}  // namespace
}  // namespace enginetest
