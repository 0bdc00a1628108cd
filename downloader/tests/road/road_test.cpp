// The client in real processes against the demo platform: a private folder for all it
// writes (drive C:, the temporary, data and runtime folders, the engine's task store),
// the demo server serving the installer and taking the statistics requests (port 80
// mapped to it), and the engine file pointing there.
#include <windows.h>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "base/machine_id.h"
#include "base/md5.h"
#include "base/string_util.h"
#include "gui/raster.h"
#include "raster/register_rasters.h"
#include "testing/child_process.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "testing/wait_until.h"
#include "tools/demo-server/testing/demo_server_process.h"

// Xlib's macros last: they would rename what the headers above declare.
#include <X11/Xutil.h>

#include "testing/x_desktop.h"

namespace roadtest {
namespace {

using testing_support::ChildProcess;
using testing_support::ReadAll;
using testing_support::WaitUntil;
using testing_support::WriteAll;

class RoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* sub : {"tmp", "data", "run", "c", "store", "www", "bin"})
            mkdir(dir_.file(sub).c_str(), 0700);
        ASSERT_TRUE(server_.start(dir_.file("www"), dir_.file("server.log")));
        const std::pair<const char*, std::string> settings[] = {
            {"TMPDIR", dir_.file("tmp")},
            {"XDG_DATA_HOME", dir_.file("data")},
            {"XDG_RUNTIME_DIR", dir_.file("run")},
            {"WIN32_DRIVES", "C=" + dir_.file("c") + ":fixed:free=10000000000000;Z=/:remote"},
            {"WIN32_HTTP_PORT_MAP", "80=" + std::to_string(server_.port())},
            {"WIN32_NO_DISPLAY", "1"},
            {"GDL_ENGINE_FILE", dir_.file("engine.ini")},
            {"GDL_ENGINE_STORE", dir_.file("store")},
            {"DEMO_INSTALLER_RECORD", dir_.file("installer.log")},
        };
        for (const auto& [name, value] : settings)
            env_.push_back(std::make_unique<testing_support::ScopedEnv>(name, value));
        Serve(ReadAll(DEMO_PAYLOAD_PATH));
    }

    // Serves the bytes as the installer; the engine file gets their size and MD5, or a wrong one.
    void Serve(const std::string& bytes, bool wrong_md5 = false) {
        payload_ = bytes;
        ASSERT_TRUE(WriteAll(dir_.file("www/demo_setup.exe"), bytes));
        base::MD5 md5;
        md5.Update(reinterpret_cast<const unsigned char*>(bytes.data()), int32_t(bytes.size()));
        ASSERT_TRUE(WriteAll(
            dir_.file("engine.ini"),
            "[demo]\nurl=" + server_.url("/demo_setup.exe") +
                "\nsize=" + std::to_string(bytes.size()) +
                "\nmd5=" + (wrong_md5 ? std::string(32, '0') : base::WideToUtf8(md5.FinalHex())) +
                "\nfile=demo_setup.exe\n"));
    }

    // The program copied into a folder of its own, beside a log.ini that enables the log.
    std::string Install(const char* program) {
        const std::string path = dir_.file("bin") + strrchr(program, '/');
        EXPECT_TRUE(WriteAll(path, ReadAll(program)));
        chmod(path.c_str(), 0700);
        EXPECT_TRUE(WriteAll(dir_.file("bin/log.ini"), "[log]\r\nlevel=1\r\n"));
        return path;
    }

    std::string ReadC(const std::string& path) const { return ReadAll(dir_.file("c/" + path)); }

    // The statistics queries, as they arrived.
    std::vector<std::string> Reports() {
        std::vector<std::string> queries;
        for (const demo::LoggedRequest& r : server_.requests())
            if (r.path == "/b/duan/s/ginstall/") queries.push_back(r.query);
        return queries;
    }

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

    // Today's log in UTF-8 lines, checking the byte-order mark stands once, at the start,
    // and every line has the logger's head; none while there is no log.
    std::vector<std::string> LogLines() {
        SYSTEMTIME t;
        GetLocalTime(&t);
        const std::string bytes =
            ReadAll(dir_.file("bin/demo_downloader_log_") + std::to_string(t.wYear) + "-" +
                    std::to_string(t.wMonth) + "-" + std::to_string(t.wDay) + ".txt");
        if (bytes.empty()) return {};
        EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
        std::wstring text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
        EXPECT_EQ(text.find(L'\xFEFF'), std::wstring::npos) << "a second byte-order mark";
        const std::regex head(R"(\[\d+\]\[\d+\]\[ALL\]\d\d:\d\d:\d\d (MESSAGE|ERROR): .*\r)");
        std::vector<std::string> lines;
        std::istringstream in(base::WideToUtf8(text));
        for (std::string line; std::getline(in, line); lines.push_back(line))
            EXPECT_TRUE(std::regex_match(line, head)) << line;
        return lines;
    }

    testing_support::TempDir dir_;
    demo::DemoServer server_;
    std::string payload_;
    std::vector<std::unique_ptr<testing_support::ScopedEnv>> env_;
};

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

// "line>button;line;...": presses each button once the line before it has come.
void Play(ChildProcess& client, const std::string& script) {
    std::istringstream steps(script);
    for (std::string step; std::getline(steps, step, ';');) {
        const size_t press = step.find('>');
        ASSERT_FALSE(client.Expect(step.substr(0, press)).empty()) << step;
        ASSERT_TRUE(press == std::string::npos || client.Send(step.substr(press + 1)));
    }
}

TEST_F(RoadTest, DownloadsPausesResumesAndStartsTheInstaller) {
    ASSERT_TRUE(server_.control("rate=1000000"));
    ChildProcess client;
    ASSERT_TRUE(client.Start(Install(DRIVER_PATH)));
    Play(client, "state 3>start;state 6>pause;state 8>resume;state 6;finished");
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
    ChildProcess client;
    ASSERT_TRUE(client.Start(Install(DRIVER_PATH)));
    Play(client, "state 3>start;state 10;error 下载失败，请重试>retry;finished");
    EXPECT_EQ(client.Wait(), 0);
    EXPECT_TRUE(ReadC("KeltoGames/DemoGame/demo_setup.exe") == payload_);
}

TEST_F(RoadTest, AFileThatFailsItsCheckRestartsTheProgram) {
    Serve(payload_, /*wrong_md5=*/true);
    ChildProcess client;
    ASSERT_TRUE(client.Start(Install(DRIVER_PATH)));
    Play(client, "state 3>start;state 11;error 下载文件检查出错>restart");
    EXPECT_EQ(client.Wait(), 0);
    // The new copy passes the single-instance check and finds the broken task gone.
    Play(client, "pid ;state 3");
    EXPECT_TRUE(WaitUntil([&] { return Reports().size() == 3; }, 15000));  // 7, 8; 7
}

TEST_F(RoadTest, ASecondCopyLeavesAndAKilledCopyBlocksNothing) {
    const std::string program = Install(PROGRAM_PATH);
    ChildProcess first, second, third;
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
        ChildProcess client;
        ASSERT_TRUE(client.Start(program));
        ASSERT_TRUE(WaitUntil([&] { return Reports().size() == run + 1; }, 30000));
        std::vector<std::string> left;
        for (const char* day : days)
            if (testing_support::Exists(log + day + ".txt")) left.push_back(day);
        EXPECT_EQ(left, zones[run].second);
    }
    EXPECT_TRUE(testing_support::Exists(dir_.file("bin/log.ini")));  // other files stay
}

TEST_F(RoadTest, TheWindowIsAManagedDesktopWindowShowingWhatTheLayerPainted) {
    testing_support::XDesktop* desktop = testing_support::XDesktop::Get();
    if (!desktop) GTEST_SKIP() << "Xvfb or openbox is missing";
    mkdir(dir_.file("dump").c_str(), 0700);
    testing_support::ScopedEnv display("DISPLAY", desktop->name()), shown("WIN32_NO_DISPLAY", ""),
        dumps("WIN32_PAINT_DUMP_DIR", dir_.file("dump"));
    ChildProcess program;
    ASSERT_TRUE(program.Start(Install(PROGRAM_PATH)));
    ASSERT_TRUE(WaitUntil([&] { return Contains(LogLines(), "下载界面状态：3"); }, 30000));
    // The window the manager framed, by its class; it is the one the program painted.
    FILE* found = popen("timeout 10 xdotool search --sync --class downloader", "r");
    Window client = 0;
    ASSERT_TRUE(found && fscanf(found, "%lu", &client) == 1 && pclose(found) == 0);
    Display* x = desktop->display();
    Window root, frame, *kids = nullptr;
    unsigned n = 0;
    XQueryTree(x, client, &root, &frame, &kids, &n);
    if (kids) XFree(kids);
    EXPECT_NE(frame, root) << "framed by the window manager";
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(x, client, &a));
    EXPECT_EQ(std::make_tuple(a.width, a.height, a.map_state),
              std::make_tuple(600, 279, IsViewable));
    const std::wstring dump =
        L"Z:" + std::filesystem::directory_iterator(dir_.file("dump"))->path().wstring();
    raster::RegisterRasters();
    std::set<uint32_t> colours;
    const auto same = [&] {
        const Gui::Image painted = Gui::Raster::LoadAnyFile(dump.c_str());
        XImage* shot = XGetImage(x, client, 0, 0, 600, 279, AllPlanes, ZPixmap);
        bool same = shot && painted.GetSize() == Gui::Size(600, 279);
        for (int i = 0; same && i < 600 * 279; ++i) {
            const Gui::RGBA p = painted[i / 600][i % 600];
            const unsigned long seen = XGetPixel(shot, i % 600, i / 600) & 0xFFFFFF;
            colours.insert(seen);
            same = seen == unsigned(p.r << 16 | p.g << 8 | p.b);
        }
        if (shot) XDestroyImage(shot);
        return same;
    };
    EXPECT_TRUE(WaitUntil(same, 10000));
    EXPECT_GT(colours.size(), 1000u) << "the skin's art";
}

}  // namespace
}  // namespace roadtest
