// The engine against a misbehaving server: resets, short bodies, stalls, errors,
// ignored ranges, a changed file, wrong sizes and a failing MD5.
#include "support/engine_fixture.h"
#include "testing/http_test_server.h"

namespace enginetest {
namespace {

using FaultsTest = EngineTest;

// Transient faults are retried from where the bytes stopped, up to the fixture's bound
// of four retries; permanent statuses end the task at once with code 3, and it stays
// failed until the program starts it again.
TEST_F(FaultsTest, ServerFaultsAreRetriedFromWhereTheBytesStoppedUpToTheBound) {
    // The second request's range and status are not looked at where they are "-" and 0.
    using Args = std::vector<std::string>;
    const std::tuple<size_t, Args, int32_t, size_t, std::string, int, std::string> cases[] = {
        {2 << 20, {"--reset-at", "1048576"}, 0, 2, "bytes=1048576-", 206, ""},
        {1 << 20, {"--truncate-at", "300000"}, 0, 2, "bytes=300000-", 0, ""},
        {500000, {"--fail", "503:3"}, 0, 4, "-", 503, ""},
        // A stalled response is abandoned and the rest asked for.
        {1 << 20, {"--stall-at", "400000:5000"}, 0, 2, "bytes=400000-", 0, ""},
        // Every byte came but the chunked body never ends: the range gets 416 and the
        // file is checked.
        {300000, {"--chunked", "--stall-at", "300000:5000"}, 0, 2, "bytes=300000-", 416, ""},
        {500000, {"--fail", "500:1000"}, 3, 5, "-", 0, "HTTP status 500"},
        // Ranges ignored and a reset at the same place each time: no progress.
        {1 << 20, {"--ignore-ranges", "--reset-at", "200000:1000"}, 3, 5, "-", 0, ""},
        {100000, {"--fail", "403:1000"}, 3, 1, "-", 0, "403"},
        {100000, {"--fail", "404:1000"}, 3, 1, "-", 0, "404"},
        {100000, {"--fail", "410:1000"}, 3, 1, "-", 0, "410"},
    };
    for (const auto& [size, args, code, requests, second_range, second_status, reason] : cases) {
        SCOPED_TRACE(args[0] + " " + args.back());
        ASSERT_EQ(begin(size, args), 0);
        Info info;
        ASSERT_EQ(wait_end(info), code) << info.reason();
        EXPECT_NE(info.reason().find(reason), std::string::npos) << info.reason();
        EXPECT_TRUE(code || SameBytes(ReadAll(installer_path()), payload_));
        std::this_thread::sleep_for(100ms);  // no request comes after the end
        const auto got = server_.requests();
        ASSERT_EQ(got.size(), requests);
        EXPECT_EQ(second_range == "-" ? "-" : got[1].range, second_range);
        EXPECT_EQ(second_status ? got[1].status : 0, second_status);
        if (code == 0) continue;
        EXPECT_EQ(progress(info), 3);
        ASSERT_TRUE(server_.control("clear=1"));
        ASSERT_EQ(start(), 0);  // the program's retry
        expect_installed();
    }
}

TEST_F(FaultsTest, ANewFileOrOneIgnoringRangesIsFetchedWholeAfterAPause) {
    // The server first holds a stale file of the same size; the engine file describes
    // the new one that replaces it during a pause.
    for (bool swap : {false, true}) {
        SCOPED_TRACE(swap);
        restart();
        serve(2 << 20, {"--rate", "4194304"});
        std::string expected = payload_;
        if (swap) {
            expected = RandomBytes(2 << 20, 777);
            WriteAll(tmp_.file("srv/fresh.bin"), expected);
            write_engine_file(server_.url("/setup_demo.exe"), expected.size(), Md5Hex(expected));
        }
        ASSERT_EQ(start(), 0);
        pause_after(512 << 10);
        ASSERT_TRUE(server_.control(swap ? "swap=setup_demo.exe:fresh.bin&rate=0"
                                         : "ignore-ranges=1&rate=0"));
        ASSERT_EQ(engine()->ResumeTask(), 0);
        expect_installed("demo", &expected);
        const auto requests = server_.requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_FALSE(requests[1].if_range.empty());
        EXPECT_EQ(requests[1].status, 200);  // not spliced onto the old bytes
    }
}

// A failing MD5 answers 5 and drops the file and the record, so the next start asks for
// the whole file; a size other than the engine file's, a missing file and an unreachable
// server end with 3.
TEST_F(FaultsTest, AFailedCheckAnswers5AndWrongSizesMissingFilesAndNoServer3) {
    serve(400000);
    const std::string url = server_.url("/setup_demo.exe"), md5 = Md5Hex(payload_);
    const std::tuple<std::string, uint64_t, std::string, int32_t, const char*> cases[] = {
        {url, 400000, std::string(32, 'e'), 5, "MD5"},
        {url, 400001, md5, 3, "400000"},
        {server_.url("/nothing-here.exe"), 1000, md5, 3, "404"},
        {"", 400000, md5, 3, "network"}};  // no server
    for (const auto& [where, size, sum, code, reason] : cases) {
        SCOPED_TRACE(reason);
        if (where.empty()) server_.stop();
        write_engine_file(where.empty() ? url : where, size, sum);
        ASSERT_EQ(start(), 0);
        Info info;
        EXPECT_EQ(wait_end(info), code);
        EXPECT_NE(info.reason().find(reason), std::string::npos) << info.reason();
        EXPECT_TRUE(where.empty() || server_.requests().back().range.empty());
        if (code != 5) continue;
        EXPECT_EQ(progress(info), 5);
        EXPECT_FALSE(Exists(partial_path()) || Exists(installer_path()));
        ASSERT_EQ(find(info), 0);
        EXPECT_EQ(info.path(), u"");
    }
}

// Answers the demo platform never gives: a coded body, more bytes than the file has, a
// range other than the one asked for. None reaches the file: each ends the task with 3.
TEST_F(FaultsTest, AnEncodedBodyMoreBytesOrAnotherRangeEndWith3) {
    const std::string bytes = RandomBytes(100000, 5);
    const std::pair<const char*, std::string> cases[] = {
        {"encodes", "200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 100000\r\n\r\n" + bytes},
        {"more bytes", "200 OK\r\nConnection: close\r\n\r\n" + bytes + "x"},
        {"another range",
         "206 Partial Content\r\nContent-Range: bytes 1-99999/100000\r\nContent-Length: "
         "99999\r\n\r\n" +
             bytes.substr(1)}};
    for (const auto& [reason, reply] : cases) {
        SCOPED_TRACE(reason);
        testing_http::TestServer server([&](const testing_http::ReceivedRequest&) {
            return testing_http::Reply{{"HTTP/1.1 " + reply}};
        });
        restart();
        write_engine_file("http://127.0.0.1:" + std::to_string(server.port()) + "/x.exe",
                          bytes.size(), Md5Hex(bytes));
        ASSERT_EQ(start(), 0);
        Info info;
        EXPECT_EQ(wait_end(info), 3);
        EXPECT_NE(info.reason().find(reason), std::string::npos) << info.reason();
    }
}

}  // namespace
}  // namespace enginetest
