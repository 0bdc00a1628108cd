// The client in real processes against the demo platform, without a display: the
// program itself, and the client core with its panel played over standard input and
// output (the driver).
#include <signal.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "base/machine_id.h"
#include "base/string_util.h"
#include "testing/child_process.h"
#include "testing/program_fixture.h"
#include "testing/wait_until.h"

namespace program_test {
namespace {

using testing_support::ChildProcess;
using testing_support::WaitUntil;

class RoadTest : public ProgramTest {
protected:
    std::string ReadC(const std::string& path) const { return ReadAll(dir_.file("c/" + path)); }

    // The statistics query of a status, with this machine's identifiers.
    std::string ExpectedQuery(int status) {
        char mid[260] = {};
        base::ComputeMid2(mid, sizeof(mid) - 1);
        std::string q =
            "user_from=demo_site&user_channel=demo&user_subsite=0&mid=" + std::string(mid);
        HMODULE selvik = LoadLibraryW(base::Utf8ToWide(SELVIK_PATH).c_str());
        const std::pair<const char*, const char*> ids[] = {
            {"mid", "GetMid"}, {"m2", "GetM2"}, {"mac", "GetMAC"}};
        for (const auto& [key, name] : ids) {
            auto fn = reinterpret_cast<bool (*)(char*, int)>(GetProcAddress(selvik, name));
            char buffer[260] = {};
            q += "&q_" + std::string(key) + "=" + (fn && fn(buffer, 259) ? buffer : "");
        }
        return q + "&status=" + std::to_string(status) + "&gkey=demo&ver=1.0.0.1&first_time=";
    }
};

// "line>button;line;...": presses each button once the line before it has come.
void Play(ChildProcess& client, const std::string& script) {
    std::istringstream steps(script);
    for (std::string step; std::getline(steps, step, ';');) {
        const size_t press = step.find('>');
        ASSERT_FALSE(client.Expect(step.substr(0, press)).empty()) << step;
        ASSERT_TRUE(press == std::string::npos || client.Send(step.substr(press + 1)));
    }
}

// The installer starts once, without waiting for it (it keeps running); a press of the
// install button in the second before the quit starts nothing more. The next start finds
// the download complete.
TEST_F(RoadTest, DownloadsPausesResumesAndStartsTheInstaller) {
    ASSERT_TRUE(server_.control("rate=1000000"));
    SetEnv("DEMO_INSTALLER_STAY_MS", "60000");
    SetEnv("WIN32_SHELL_LOG", dir_.file("shell.log"));
    const std::string driver = Install(DRIVER_PATH);
    ChildProcess client, again;
    ASSERT_TRUE(client.Start(driver));
    Play(client, "state 3>start;state 6>pause;state 8>resume;state 6;finished>install");
    EXPECT_EQ(client.Wait(), 0);
    const std::vector<std::string> runs =
        base::SplitString(ReadAll(dir_.file("installer.log")), '\n');
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(kill(std::stoi(runs[0]), 0), 0) << "the installer still runs";
    EXPECT_FALSE(testing_support::Exists(dir_.file("shell.log"))) << "no folder opened";
    EXPECT_EQ(ReadC("KeltoGames/DemoGame/channel.ini"),
              "[DEMO_DOWNLOADER]\r\nUserChannel=demo\r\nUserFrom=demo_site\r\nUserSubsite=0\r\n");
    // The installer ran, its path quoted.
    EXPECT_NE(ReadAll(dir_.file("installer.log"))
                  .find("\t\"C:\\KeltoGames\\DemoGame\\demo_setup.exe\"\t"),
              std::string::npos);
    EXPECT_EQ(ReadAll(dir_.file("data/kelto_demo_downloader/config.ini")),
              ReadAll(CONFIG_INI_PATH));
    EXPECT_EQ(Reports(), (std::vector<std::string>{ExpectedQuery(7), ExpectedQuery(8),
                                                   ExpectedQuery(9), ExpectedQuery(10)}));
    for (const demo::LoggedRequest& r : server_.requests())  // the browser's agent and ours
        EXPECT_TRUE(
            r.path != "/b/duan/s/ginstall/" ||
            (r.user_agent.size() > 5 && r.user_agent.rfind("kelto") == r.user_agent.size() - 5));
    const std::vector<std::wstring> log = LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log[0].find(L"MESSAGE: welcome to kelto demo downloader developing ..."),
              std::wstring::npos);
    EXPECT_TRUE(Contains(log, L"InstallExe启动成功"));
    ASSERT_TRUE(again.Start(driver));
    Play(again, "state 9");
}

TEST_F(RoadTest, AFileThatFailsItsCheckRestartsTheProgram) {
    Serve(payload_, /*wrong_md5=*/true);
    ChildProcess client;
    ASSERT_TRUE(client.Start(Install(DRIVER_PATH)));
    Play(client, "state 3>start;state 11;error 下载文件检查出错>restart");
    EXPECT_EQ(client.Wait(), 0);
    // The new copy passes the single-instance check and finds the broken task gone.
    Play(client, "pid ;state 3");
    EXPECT_TRUE(WaitUntil([&] { return Statuses() == std::vector<int>{7, 8, 7}; }, 15000));
}

TEST_F(RoadTest, ASecondCopyLeavesAStuckCopyIsNamedAndOneThatEndsMeanwhileMakesWay) {
    SetEnv("WIN32_DIALOG_LOG", dir_.file("dialogs"));
    const std::string program = Install(PROGRAM_PATH);
    ChildProcess first, second, third, fourth;
    ASSERT_TRUE(first.Start(program));
    ASSERT_TRUE(WaitUntil([&] { return Contains(LogLines(), L"下载状态查询成功"); }, 30000));
    ASSERT_TRUE(second.Start(program));
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_EQ(Reports().size(), 1u);  // the second copy reports nothing
    const std::vector<std::wstring> log = LogLines();
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::wstring& l) { return l.find(L"welcome") != l.npos; }),
              2);
    EXPECT_EQ(ReadAll(dir_.file("dialogs")), "");
    // A first copy that takes no message: the user hears which process to end, and how.
    kill(first.pid(), SIGSTOP);
    ASSERT_TRUE(third.Start(program));
    EXPECT_EQ(third.Wait(), 0);
    const std::string pid = std::to_string(first.pid());
    EXPECT_EQ(ReadAll(dir_.file("dialogs")),
              "msgbox\t下载器\t下载器已经在运行（进程 " + pid +
                  "），但没有响应。\\n请先结束该进程（例如在终端中运行 kill " + pid +
                  "），再重新打开下载器。\t0x00000030\tIDOK\n");
    EXPECT_EQ(Reports().size(), 1u);
    // Ended while a new start waits for its answer, it leaves the place to that start.
    ASSERT_TRUE(fourth.Start(program));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    first.Kill();
    EXPECT_TRUE(WaitUntil([&] { return Reports().size() == 2; }, 30000));
    const std::string dialogs = ReadAll(dir_.file("dialogs"));
    EXPECT_EQ(std::count(dialogs.begin(), dialogs.end(), '\n'), 1);
}

TEST_F(RoadTest, AKilledDownloadContinuesFromItsLastCheckpoint) {
    SetEnv("GDL_ENGINE_CHECKPOINT_KIB", "256");
    Serve(Installer(16 << 20));
    ASSERT_TRUE(server_.control("rate=4000000"));
    const std::string driver = Install(DRIVER_PATH);
    double seen = 0;
    {
        ChildProcess client;
        ASSERT_TRUE(client.Start(driver));
        Play(client, "state 3>start");
        for (std::string line; seen < 0.4; seen = std::stod(line.substr(9)))
            ASSERT_FALSE((line = client.Expect("progress ")).empty());
    }  // killed
    ASSERT_TRUE(server_.control("rate=0"));
    ChildProcess again;
    ASSERT_TRUE(again.Start(driver));
    Play(again, "state 4>start;finished");
    EXPECT_EQ(again.Wait(), 0);
    EXPECT_TRUE(ReadC("KeltoGames/DemoGame/demo_setup.exe") == payload_);
    // Fetched again: at most the checkpoint interval and the engine's 1 MiB buffer.
    demo::LoggedRequest last;
    for (const demo::LoggedRequest& r : server_.requests())
        if (r.path == "/demo_setup.exe") last = r;
    ASSERT_EQ(last.range.rfind("bytes=", 0), 0u);
    EXPECT_GE(std::stod(last.range.substr(6)), seen * payload_.size() - (256 << 10) - (1 << 20));
    EXPECT_EQ(Statuses(), (std::vector<int>{7, 8, 7, 8, 9, 10}));  // the second 8 continues
}

// With a file where the skin's copy goes, the 600 x 279 window is painted from the package
// the program holds; a program without any skin says so and ends.
TEST_F(RoadTest, ASkinCopyThatCannotBeWrittenStillGivesTheWindowAndNoSkinEndsWithAMessage) {
    SetEnv("WIN32_PAINT_DUMP_DIR", dir_.folder("dumps"));
    SetEnv("WIN32_DIALOG_LOG", dir_.file("dialogs"));
    ASSERT_TRUE(WriteAll(dir_.folder("data/kelto_demo_downloader") + "/skin", "x"));
    auto painted = [&] {  // the size in a dump's PNG header
        for (const auto& f : std::filesystem::directory_iterator(dir_.file("dumps")))
            if ((ReadAll(f.path()) + std::string(24, 'x')).substr(16, 8) ==
                std::string("\0\0\2\x58\0\0\1\x17", 8))
                return true;
        return false;
    };
    ChildProcess client, bare;
    ASSERT_TRUE(client.Start(Install(PROGRAM_PATH)));
    EXPECT_TRUE(WaitUntil(painted, 30000));
    client.Kill();
    std::filesystem::remove_all(dir_.file("dumps"));
    std::filesystem::create_directory(dir_.file("dumps"));
    ASSERT_TRUE(bare.Start(Install(SKINLESS_PATH)));
    EXPECT_EQ(bare.Wait(), 1);
    EXPECT_NE(ReadAll(dir_.file("dialogs")).find("下载器界面资源加载失败"), std::string::npos);
    EXPECT_FALSE(painted());
}

TEST_F(RoadTest, OldLogsArePrunedByTheLocalCalendarInEveryTimeZone) {
    const std::string program = Install(PROGRAM_PATH);
    SetEnv("WIN32_FIXED_TIME", "2026-03-01T10:30:00Z");
    // The time zone, the settings of log.ini, the days whose logs are left.
    const std::tuple<const char*, const char*, std::vector<std::string>> runs[] = {
        {"Pacific/Kiritimati", "level=1", {"2-28", "3-1", "3-2"}},  // 2 March there
        {"Etc/GMT+12", "level=1", {"2-26", "2-27", "2-28"}},        // 28 February there
        {"UTC", "level=2\r\nretain_days=3", {"2-27", "2-28", "3-1"}},
        // Costs what the folder holds, not the days: the start is not held up.
        {"UTC", "level=1\r\nretain_days=2147483647", {"2-25", "2-26", "2-27", "2-28", "3-1"}},
        {"UTC", "level=3", {"2-25", "2-26", "2-27", "2-28", "3-1", "3-2", "3-3"}}};
    const std::string log = dir_.file("bin/demo_downloader_log_2026-");
    const char* days[] = {"2-25", "2-26", "2-27", "2-28", "3-1", "3-2", "3-3"};
    size_t run = 0;
    for (const auto& [zone, settings, kept] : runs) {
        SCOPED_TRACE(zone);
        testing_support::ScopedEnv tz("TZ", zone);
        ASSERT_TRUE(WriteAll(dir_.file("bin/log.ini"), "[log]\r\n" + std::string(settings)));
        for (const char* day : days) ASSERT_TRUE(WriteAll(log + day + ".txt", "\xFF\xFE"));
        ChildProcess client;
        ASSERT_TRUE(client.Start(program));
        ++run;
        ASSERT_TRUE(WaitUntil([&] { return Reports().size() == run; }, 30000));
        std::vector<std::string> left;
        for (const char* day : days)
            if (testing_support::Exists(log + day + ".txt")) left.push_back(day);
        EXPECT_EQ(left, kept);
    }
    EXPECT_TRUE(testing_support::Exists(dir_.file("bin/log.ini")));  // other files stay
}

}  // namespace
}  // namespace program_test
