#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>

#include "support/road_fixture.h"
#include "testing/wait_until.h"

namespace roadtest {
namespace {

using testing_support::ReadAll;

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

TEST_F(RoadTest, DownloadsPausesResumesAndStartsTheInstaller) {
    ASSERT_TRUE(server_.control("rate=1000000"));
    Client client;
    ASSERT_TRUE(client.Start(Install(DRIVER_PATH)));
    ASSERT_EQ(client.Expect("state 3"), "state 3");
    client.Send("start");
    ASSERT_EQ(client.Expect("state 6"), "state 6");
    client.Send("pause");
    ASSERT_EQ(client.Expect("state 8"), "state 8");
    client.Send("resume");
    ASSERT_EQ(client.Expect("state 6"), "state 6");
    ASSERT_EQ(client.Expect("finished"), "finished");
    EXPECT_EQ(client.Wait(), 0);

    EXPECT_TRUE(ReadC("KeltoGames/DemoGame/demo_setup.exe") == payload_);
    EXPECT_EQ(ReadC("KeltoGames/DemoGame/channel.ini"),
              "[DEMO_DOWNLOADER]\r\nUserChannel=demo\r\nUserFrom=demo_site\r\nUserSubsite=0\r\n");
    // The installer ran with its path quoted.
    const std::string record = ReadAll(dir_.file("installer.log"));
    EXPECT_NE(record.find("\t\"C:\\KeltoGames\\DemoGame\\demo_setup.exe\"\t"), std::string::npos)
        << record;
    EXPECT_EQ(ReadAll(dir_.file("data/kelto_demo_downloader/config.ini")),
              ReadAll(CONFIG_INI_PATH));
    // The completion and the installer start go out together, so either may arrive first.
    std::vector<std::string> reports = Reports();
    ASSERT_EQ(reports.size(), 4u);
    std::sort(reports.begin() + 2, reports.end(), [](const std::string& a, const std::string& b) {
        return a.find("status=9") != std::string::npos && b.find("status=9") == std::string::npos;
    });
    const int statuses[] = {7, 8, 9, 10};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(reports[i], ExpectedQuery(statuses[i]));
    const std::vector<std::string> log = LogLines(dir_.file("bin"));
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log[0].find("MESSAGE: welcome to kelto demo downloader developing ..."),
              std::string::npos);
    EXPECT_TRUE(Contains(log, "InstallExe启动成功"));
}

TEST_F(RoadTest, AFailedDownloadIsRetried) {
    ASSERT_TRUE(server_.control("fail=404:1"));
    Client client;
    ASSERT_TRUE(client.Start(Install(DRIVER_PATH)));
    ASSERT_EQ(client.Expect("state 3"), "state 3");
    client.Send("start");
    ASSERT_EQ(client.Expect("state 10"), "state 10");
    ASSERT_EQ(client.Expect("error "), "error 下载失败，请重试");
    client.Send("retry");
    ASSERT_EQ(client.Expect("finished"), "finished");
    EXPECT_EQ(client.Wait(), 0);
    EXPECT_TRUE(ReadC("KeltoGames/DemoGame/demo_setup.exe") == payload_);
}

TEST_F(RoadTest, AFileThatFailsItsCheckRestartsTheProgram) {
    Serve(payload_, /*wrong_md5=*/true);
    Client client;
    ASSERT_TRUE(client.Start(Install(DRIVER_PATH)));
    ASSERT_EQ(client.Expect("state 3"), "state 3");
    client.Send("start");
    ASSERT_EQ(client.Expect("state 11"), "state 11");
    ASSERT_EQ(client.Expect("error "), "error 下载文件检查出错");
    client.Send("restart");
    EXPECT_EQ(client.Wait(), 0);
    // The new copy passes the single-instance check and finds the broken task gone.
    ASSERT_EQ(client.Expect("pid ").empty(), false);
    ASSERT_EQ(client.Expect("state 3"), "state 3");
    // 7 and 8, then 7 from the new copy.
    EXPECT_TRUE(testing_support::WaitUntil([&] { return Reports().size() == 3; }, 15000));
}

TEST_F(RoadTest, ASecondCopyLeavesAndAKilledCopyBlocksNothing) {
    const std::string program = Install(PROGRAM_PATH);
    const auto ready = [&] { return Contains(LogLines(dir_.file("bin")), "下载状态查询成功"); };
    Client first;
    ASSERT_TRUE(first.Start(program));
    ASSERT_TRUE(testing_support::WaitUntil(ready, 30000));
    Client second;
    ASSERT_TRUE(second.Start(program));
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_EQ(Reports().size(), 1u);  // the second copy reports nothing
    std::vector<std::string> log = LogLines(dir_.file("bin"));
    EXPECT_EQ(
        std::count_if(log.begin(), log.end(),
                      [](const std::string& l) { return l.find("welcome") != std::string::npos; }),
        2);
    first.Kill();
    Client third;
    ASSERT_TRUE(third.Start(program));
    ASSERT_TRUE(testing_support::WaitUntil([&] { return Reports().size() == 2; }, 30000));
}

TEST_F(RoadTest, AKilledDownloadContinuesWhereItsLastCheckpointWas) {
    constexpr size_t kCheckpoint = 256 * 1024;
    testing_support::ScopedEnv checkpoints("GDL_ENGINE_CHECKPOINT_KIB", "256");
    std::string big = payload_;
    big.resize(16 << 20, 'x');  // the installer still runs with bytes after its end
    Serve(big);
    ASSERT_TRUE(server_.control("rate=4000000"));
    const std::string driver = Install(DRIVER_PATH);
    double seen = 0;
    {
        Client client;
        ASSERT_TRUE(client.Start(driver));
        ASSERT_EQ(client.Expect("state 3"), "state 3");
        client.Send("start");
        while (seen < 0.4) {
            const std::string line = client.Expect("progress ");
            ASSERT_FALSE(line.empty());
            seen = std::stod(line.substr(9));
        }
    }  // killed
    ASSERT_TRUE(server_.control("rate=0"));
    Client again;
    ASSERT_TRUE(again.Start(driver));
    ASSERT_EQ(again.Expect("state 4"), "state 4");
    again.Send("start");
    ASSERT_EQ(again.Expect("finished"), "finished");
    EXPECT_EQ(again.Wait(), 0);
    EXPECT_TRUE(ReadC("KeltoGames/DemoGame/demo_setup.exe") == big);
    // The second session asks only for what was not safely on disk.
    std::vector<demo::LoggedRequest> files;
    for (const demo::LoggedRequest& r : server_.requests())
        if (r.path == "/demo_setup.exe") files.push_back(r);
    ASSERT_GE(files.size(), 2u);
    ASSERT_EQ(files.back().range.rfind("bytes=", 0), 0u);
    const double resumed_at = std::stod(files.back().range.substr(6));
    EXPECT_GE(resumed_at, seen * big.size() - kCheckpoint - (1 << 20));
    EXPECT_EQ(Reports().size(), 6u);  // 7 and 8, then 7, 8 (continued), 9 and 10
}

TEST_F(RoadTest, OldLogsArePrunedByTheLocalCalendarInEveryTimeZone) {
    const std::string program = Install(PROGRAM_PATH);
    testing_support::ScopedEnv now("WIN32_FIXED_TIME", "2026-03-01T10:30:00Z");
    const std::pair<const char*, std::vector<std::string>> zones[] = {
        {"Pacific/Kiritimati", {"2-28", "3-1", "3-2"}},  // 00:30 on 2 March there
        {"Etc/GMT+12", {"2-26", "2-27", "2-28"}},        // 22:30 on 28 February there
        {"UTC", {"2-27", "2-28", "3-1"}}};
    const std::string log = dir_.file("bin/demo_downloader_log_2026-");
    size_t runs = 0;
    for (const auto& [zone, kept] : zones) {
        SCOPED_TRACE(zone);
        testing_support::ScopedEnv tz("TZ", zone);
        for (const char* day : {"2-25", "2-26", "2-27", "2-28", "3-1", "3-2", "3-3"})
            ASSERT_TRUE(testing_support::WriteAll(log + day + ".txt", "\xFF\xFE"));
        Client client;
        ASSERT_TRUE(client.Start(program));
        ASSERT_TRUE(
            testing_support::WaitUntil([&] { return Reports().size() == runs + 1; }, 30000));
        ++runs;
        std::vector<std::string> left;
        for (const char* day : {"2-25", "2-26", "2-27", "2-28", "3-1", "3-2", "3-3"})
            if (testing_support::Exists(log + day + ".txt")) left.push_back(day);
        EXPECT_EQ(left, kept);
        EXPECT_TRUE(testing_support::Exists(dir_.file("bin/log.ini")));
    }
}

}  // namespace
}  // namespace roadtest
