#include <gtest/gtest.h>

#include <algorithm>

#include "support/road_fixture.h"
#include "testing/wait_until.h"

namespace roadtest {
namespace {

using testing_support::ReadAll;
using testing_support::WaitUntil;

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

// Presses each button once the line before it has come.
void Play(Client& client, const std::vector<std::pair<const char*, const char*>>& script) {
    for (const auto& [line, button] : script) {
        ASSERT_FALSE(client.Expect(line).empty()) << line;
        ASSERT_TRUE(!*button || client.Send(button));
    }
}

TEST_F(RoadTest, DownloadsPausesResumesAndStartsTheInstaller) {
    ASSERT_TRUE(server_.control("rate=1000000"));
    Client client;
    ASSERT_TRUE(client.Start(Install(DRIVER_PATH)));
    Play(client, {{"state 3", "start"},
                  {"state 6", "pause"},
                  {"state 8", "resume"},
                  {"state 6", ""},
                  {"finished", ""}});
    EXPECT_EQ(client.Wait(), 0);
    EXPECT_TRUE(ReadC("KeltoGames/DemoGame/demo_setup.exe") == payload_);
    EXPECT_EQ(ReadC("KeltoGames/DemoGame/channel.ini"),
              "[DEMO_DOWNLOADER]\r\nUserChannel=demo\r\nUserFrom=demo_site\r\nUserSubsite=0\r\n");
    // The installer ran, its path quoted.
    EXPECT_NE(ReadAll(dir_.file("installer.log"))
                  .find("\t\"C:\\KeltoGames\\DemoGame\\demo_setup.exe\"\t"),
              std::string::npos);
    EXPECT_EQ(ReadAll(dir_.file("data/kelto_demo_downloader/config.ini")),
              ReadAll(CONFIG_INI_PATH));
    // The completion and the installer start go out together: either may arrive first.
    std::vector<std::string> reports = Reports();
    ASSERT_EQ(reports.size(), 4u);
    if (reports[2].find("status=10") != std::string::npos) std::swap(reports[2], reports[3]);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(reports[i], ExpectedQuery(i == 3 ? 10 : 7 + i));
    const std::vector<std::string> log = LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log[0].find("MESSAGE: welcome to kelto demo downloader developing ..."),
              std::string::npos);
    EXPECT_TRUE(Contains(log, "InstallExe启动成功"));
}

TEST_F(RoadTest, AFailedDownloadIsRetried) {
    ASSERT_TRUE(server_.control("fail=404:1"));
    Client client;
    ASSERT_TRUE(client.Start(Install(DRIVER_PATH)));
    Play(client, {{"state 3", "start"},
                  {"state 10", ""},
                  {"error 下载失败，请重试", "retry"},
                  {"finished", ""}});
    EXPECT_EQ(client.Wait(), 0);
    EXPECT_TRUE(ReadC("KeltoGames/DemoGame/demo_setup.exe") == payload_);
}

TEST_F(RoadTest, AFileThatFailsItsCheckRestartsTheProgram) {
    Serve(payload_, /*wrong_md5=*/true);
    Client client;
    ASSERT_TRUE(client.Start(Install(DRIVER_PATH)));
    Play(client, {{"state 3", "start"}, {"state 11", ""}, {"error 下载文件检查出错", "restart"}});
    EXPECT_EQ(client.Wait(), 0);
    // The new copy passes the single-instance check and finds the broken task gone.
    Play(client, {{"pid ", ""}, {"state 3", ""}});
    EXPECT_TRUE(WaitUntil([&] { return Reports().size() == 3; }, 15000));  // 7, 8; 7
}

TEST_F(RoadTest, ASecondCopyLeavesAndAKilledCopyBlocksNothing) {
    const std::string program = Install(PROGRAM_PATH);
    Client first, second, third;
    ASSERT_TRUE(first.Start(program));
    ASSERT_TRUE(WaitUntil([&] { return Contains(LogLines(), "下载状态查询成功"); }, 30000));
    ASSERT_TRUE(second.Start(program));
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_EQ(Reports().size(), 1u);  // the second copy reports nothing
    const std::vector<std::string> log = LogLines();
    EXPECT_EQ(
        std::count_if(log.begin(), log.end(),
                      [](const std::string& l) { return l.find("welcome") != std::string::npos; }),
        2);
    first.Kill();
    ASSERT_TRUE(third.Start(program));
    EXPECT_TRUE(WaitUntil([&] { return Reports().size() == 2; }, 30000));
}

TEST_F(RoadTest, AKilledDownloadContinuesFromItsLastCheckpoint) {
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
        Play(client, {{"state 3", "start"}});
        for (std::string line; seen < 0.4; seen = std::stod(line.substr(9)))
            ASSERT_FALSE((line = client.Expect("progress ")).empty());
    }  // killed
    ASSERT_TRUE(server_.control("rate=0"));
    Client again;
    ASSERT_TRUE(again.Start(driver));
    Play(again, {{"state 4", "start"}, {"finished", ""}});
    EXPECT_EQ(again.Wait(), 0);
    EXPECT_TRUE(ReadC("KeltoGames/DemoGame/demo_setup.exe") == big);
    // Fetched again: at most the checkpoint interval and the engine's 1 MiB buffer.
    demo::LoggedRequest last;
    for (const demo::LoggedRequest& r : server_.requests())
        if (r.path == "/demo_setup.exe") last = r;
    ASSERT_EQ(last.range.rfind("bytes=", 0), 0u);
    EXPECT_GE(std::stod(last.range.substr(6)), seen * big.size() - (256 << 10) - (1 << 20));
    EXPECT_EQ(Reports().size(), 6u);  // 7, 8; 7, 8 (continued), 9, 10
}

TEST_F(RoadTest, OldLogsArePrunedByTheLocalCalendarInEveryTimeZone) {
    const std::string program = Install(PROGRAM_PATH);
    testing_support::ScopedEnv now("WIN32_FIXED_TIME", "2026-03-01T10:30:00Z");
    const std::pair<const char*, std::vector<std::string>> zones[] = {
        {"Pacific/Kiritimati", {"2-28", "3-1", "3-2"}},  // 00:30 on 2 March there
        {"Etc/GMT+12", {"2-26", "2-27", "2-28"}},        // 22:30 on 28 February there
        {"UTC", {"2-27", "2-28", "3-1"}}};
    const std::string log = dir_.file("bin/demo_downloader_log_2026-");
    const char* days[] = {"2-25", "2-26", "2-27", "2-28", "3-1", "3-2", "3-3"};
    for (size_t run = 0; run < 3; ++run) {
        SCOPED_TRACE(zones[run].first);
        testing_support::ScopedEnv tz("TZ", zones[run].first);
        for (const char* day : days)
            ASSERT_TRUE(testing_support::WriteAll(log + day + ".txt", "\xFF\xFE"));
        Client client;
        ASSERT_TRUE(client.Start(program));
        ASSERT_TRUE(WaitUntil([&] { return Reports().size() == run + 1; }, 30000));
        std::vector<std::string> left;
        for (const char* day : days)
            if (testing_support::Exists(log + day + ".txt")) left.push_back(day);
        EXPECT_EQ(left, zones[run].second);
    }
    EXPECT_TRUE(testing_support::Exists(dir_.file("bin/log.ini")));  // other files stay
}

}  // namespace
}  // namespace roadtest
