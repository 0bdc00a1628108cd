// The whole program as a person meets it: the real downloader, with the companions it
// carries, on a private X desktop (Xvfb, openbox, a tray), driven only through X input,
// against the demo platform, in a private home. What it shows is read off the screen and
// checked against the layer's own dump of the window; what it did, from its log, the
// platform's request log and the files it leaves. Each step's screenshot and dump are kept
// in ARTEFACT_DIR/<test>/.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "testing/child_process.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "tools/demo-server/testing/demo_server_process.h"

// Xlib's macros last: they would rename what the headers above declare.
#include <X11/Xutil.h>

#include "testing/x_desktop.h"

namespace e2etest {
namespace {

using namespace std::chrono_literals;
using testing_support::ReadAll;
using Pixels = std::vector<uint32_t>;  // 0xRRGGBB, row by row

constexpr int kWidth = 600, kHeight = 279;

struct Box {
    int left, top, right, bottom;
};
// Window places from the skin: the texts that change, the bar, what the tests click.
constexpr Box kStatus{20, 184, 330, 200}, kSpeed{330, 184, 440, 200}, kSize{20, 222, 330, 238},
    kPercent{330, 222, 440, 238}, kFolder{74, 252, 292, 268}, kBar{20, 206, 440, 216};
constexpr Box kTexts[] = {kStatus, kSpeed, kSize, kPercent, kFolder};
constexpr int kBigButton[] = {520, 212}, kChangeFolder[] = {332, 260}, kCloseBox[] = {580, 16};

// A condition polled every 20 ms for up to 30 s (a loaded machine is slow, never stuck).
bool Poll(const std::function<bool()>& done, int timeout_ms = 30000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;; std::this_thread::sleep_for(20ms))
        if (done())
            return true;
        else if (std::chrono::steady_clock::now() > end)
            return false;
}

// A PNG as opaque pixels; empty unless it reads whole (a dump may be half written).
Pixels ReadPng(const std::string& path, int width = kWidth, int height = kHeight) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    Pixels pixels(size_t(image.width) * image.height);
    image.format = PNG_FORMAT_BGRA;
    if (int(image.width) != width || int(image.height) != height) {
        png_image_free(&image);
        return {};
    }
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    for (uint32_t& p : pixels) p &= 0xFFFFFF;
    return pixels;
}

void WritePng(const std::string& path, Pixels pixels, int width = kWidth) {
    if (pixels.empty()) return;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = pixels.size() / width;
    image.format = PNG_FORMAT_BGRA;
    for (uint32_t& p : pixels) p |= 0xFF000000;
    png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr);
}

int ChannelGap(uint32_t a, uint32_t b) {
    int gap = 0;
    for (int shift = 0; shift < 24; shift += 8)
        gap = std::max(gap, std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)));
    return gap;
}

// Pixels of a window-sized picture inside the box that differ by more than `gap`.
int Differences(const Pixels& a, const Pixels& b, Box box, int gap = 0) {
    int count = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            count += ChannelGap(a[y * kWidth + x], b[y * kWidth + x]) > gap;
    return count;
}

// The screen shows what the layer painted: the same pixels outside the texts, and each
// text within a few pixels (anti-aliased edges are all a renderer may differ in).
bool SameAsDump(const Pixels& shot, const Pixels& dump) {
    if (shot.size() != dump.size() || shot.empty()) return false;
    Pixels outside = shot;
    for (const Box& t : kTexts) {
        if (Differences(shot, dump, t) > (t.right - t.left) * (t.bottom - t.top) / 50) return false;
        for (int y = t.top; y < t.bottom; ++y)
            std::copy_n(&dump[y * kWidth + t.left], t.right - t.left,
                        &outside[y * kWidth + t.left]);
    }
    return outside == dump;
}

// The folders of PATH that hold no desktop folder chooser.
std::string PathWithoutChoosers() {
    std::string kept, path = getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin";
    for (size_t start = 0, end; start <= path.size(); start = end + 1) {
        end = std::min(path.find(':', start), path.size());
        const std::string dir = path.substr(start, end - start);
        if (access((dir + "/zenity").c_str(), F_OK) && access((dir + "/kdialog").c_str(), F_OK))
            kept += (kept.empty() ? "" : ":") + dir;
    }
    return kept;
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, p)) out += buffer;
        pclose(p);
    }
    return out;
}

class E2ETest : public ::testing::Test {
protected:
    void SetUp() override {
        x_ = testing_support::XDesktop::Get();
        if (!x_ || !testing_support::OnPath("xdotool") || !testing_support::OnPath("trayer"))
            GTEST_SKIP() << "Xvfb, openbox, xdotool or trayer is missing";
        tray_ = std::make_unique<testing_support::XDesktop::Helper>(
            *x_,
            std::vector<std::string>{"trayer", "--edge", "bottom", "--align", "right",
                                     "--widthtype", "request", "--height", "32", "--SetDockType",
                                     "false", "--SetPartialStrut", "false"},
            "_NET_SYSTEM_TRAY_S0");
        ASSERT_TRUE(tray_->ready());
        // Windows of the program come and go while they are read: errors are answers.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        artefacts_ = std::string(ARTEFACT_DIR "/") +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(artefacts_);
        std::filesystem::create_directories(artefacts_);
        for (const char* sub :
             {"tmp", "data", "config", "cache", "state", "run", "c", "www", "bin", "dump"})
            mkdir(dir_.file(sub).c_str(), 0700);
        ASSERT_TRUE(server_.start(dir_.file("www"), dir_.file("server.log")));
        const std::pair<const char*, std::string> settings[] = {
            {"DISPLAY", x_->name()},
            {"WIN32_NO_DISPLAY", ""},
            {"HOME", dir_.path()},
            {"TMPDIR", dir_.file("tmp")},
            {"XDG_DATA_HOME", dir_.file("data")},
            {"XDG_CONFIG_HOME", dir_.file("config")},
            {"XDG_CACHE_HOME", dir_.file("cache")},
            {"XDG_STATE_HOME", dir_.file("state")},
            {"XDG_RUNTIME_DIR", dir_.file("run")},
            {"WIN32_DRIVES", "C=" + dir_.file("c") + ":fixed:free=10000000000000;Z=/:remote"},
            {"WIN32_HTTP_PORT_MAP", "80=" + std::to_string(server_.port())},
            {"WIN32_PAINT_DUMP_DIR", dir_.file("dump")},
            {"WIN32_X11_LOG", dir_.file("x11.log")},
            {"GDL_ENGINE_FILE", dir_.file("engine.ini")},
            {"DEMO_INSTALLER_RECORD", dir_.file("installer.log")},
        };
        for (const auto& [name, value] : settings)
            env_.push_back(std::make_unique<testing_support::ScopedEnv>(name, value));
        program_path_ = dir_.file("bin/downloader");
        ASSERT_TRUE(testing_support::WriteAll(program_path_, ReadAll(PROGRAM_PATH)));
        chmod(program_path_.c_str(), 0700);
        ASSERT_TRUE(testing_support::WriteAll(dir_.file("bin/log.ini"), "[log]\r\nlevel=1\r\n"));
    }

    // The demo installer grown to `size` bytes (it still runs) as the game's installer,
    // named truthfully by the engine file.
    void Serve(size_t size) {
        payload_ = ReadAll(DEMO_PAYLOAD_PATH);
        payload_.resize(std::max(size, payload_.size()), 'x');
        ASSERT_TRUE(testing_support::WriteAll(dir_.file("www/demo_setup.exe"), payload_));
        const std::string md5 = Output("md5sum " + dir_.file("www/demo_setup.exe")).substr(0, 32);
        ASSERT_TRUE(testing_support::WriteAll(dir_.file("engine.ini"),
                                              "[demo]\nurl=" + server_.url("/demo_setup.exe") +
                                                  "\nsize=" + std::to_string(payload_.size()) +
                                                  "\nmd5=" + md5 + "\nfile=demo_setup.exe\n"));
    }

    // A copy of the program without a desktop folder chooser on its PATH: the layer's own
    // picker is the one driven here.
    bool Start(testing_support::ChildProcess& copy) {
        testing_support::ScopedEnv path("PATH", PathWithoutChoosers());
        return copy.Start(program_path_);
    }

    // Starts the program and waits for its window on the screen, ready to start.
    void Launch() {
        ASSERT_TRUE(Start(program_));
        window_ = Shown("演示游戏 下载器");
        ASSERT_TRUE(window_);
        ASSERT_TRUE(AwaitLog(u"下载界面状态：3"));
        // The pointer rests in a corner, over nothing of the program's.
        ASSERT_EQ(x_->Run({"xdotool", "mousemove", "0", "0"}), 0);
    }

    // Waits for the text in the program's log after what was awaited before.
    bool AwaitLog(const std::u16string& text) {
        const std::string needle(reinterpret_cast<const char*>(text.data()), text.size() * 2);
        return Poll([&] {
            std::string log;  // UTF-16LE, each file opening with its byte-order mark
            for (const auto& f : std::filesystem::directory_iterator(dir_.file("bin")))
                if (f.path().filename().string().rfind("demo_downloader_log_", 0) == 0)
                    log += ReadAll(f.path());
            for (size_t at = log.find(needle, log_at_); at != std::string::npos;
                 at = log.find(needle, at + 1))
                if (at % 2 == 0) return log_at_ = at + needle.size(), true;
            return false;
        });
    }

    // The window shown with this title, once there is one; 0 after the time-out.
    Window Shown(const std::string& title) {
        Window w = 0;
        Poll([&] {
            const std::string found =
                Output("xdotool search --onlyvisible --name '^" + title + "$'");
            return sscanf(found.c_str(), "%lu", &w) == 1;
        });
        return w;
    }
    bool Viewable(Window w) {
        XWindowAttributes a{};
        return XGetWindowAttributes(x_->display(), w, &a) && a.map_state == IsViewable;
    }
    std::pair<int, int> Origin(Window w) {
        int x = 0, y = 0;
        Window child;
        XTranslateCoordinates(x_->display(), w, x_->root(), 0, 0, &x, &y, &child);
        return {x, y};
    }
    Pixels Screen(int left, int top, int width, int height) {
        XImage* image =
            XGetImage(x_->display(), x_->root(), left, top, width, height, AllPlanes, ZPixmap);
        Pixels pixels;
        for (int i = 0; image && i < width * height; ++i)
            pixels.push_back(XGetPixel(image, i % width, i / width) & 0xFFFFFF);
        if (image) XDestroyImage(image);
        return pixels;
    }
    Pixels Shot() {
        const auto [x, y] = Origin(window_);
        return Screen(x, y, kWidth, kHeight);
    }
    // The layer's latest dump of the main window (the one of its size).
    Pixels Dump() {
        for (const auto& f : std::filesystem::directory_iterator(dir_.file("dump")))
            if (Pixels p = ReadPng(f.path()); !p.empty()) return p;
        return {};
    }

    // Waits until the screen shows what the layer painted, with the boxes changed since the
    // last step (and close to `like`); keeps both pictures. A program that may end meanwhile
    // (`may_end`) leaves its last dump alone.
    void Step(const std::string& name, std::initializer_list<Box> changed = {},
              bool may_end = false, const Pixels* like = nullptr) {
        Pixels shot, dump;
        const bool same = Poll([&] {
            if (may_end && !Viewable(window_)) return shot.clear(), true;
            shot = Shot();
            dump = Dump();
            return SameAsDump(shot, dump) &&
                   (!like || Differences(shot, *like, {0, 0, kWidth, kHeight}, 24) <= 150) &&
                   std::all_of(changed.begin(), changed.end(),
                               [&](Box b) { return Differences(shot, last_, b) > 0; });
        });
        char base[16];
        snprintf(base, sizeof base, "/%02d-", ++steps_);
        WritePng(artefacts_ + base + name + ".png", shot);
        WritePng(artefacts_ + base + name + "-dump.png", dump);
        EXPECT_TRUE(same) << name
                          << ": the screen is not what the layer painted, or not as expected (see "
                          << artefacts_ << ")";
        if (!shot.empty()) last_ = shot;
    }

    void Click(Window w, int x, int y, int button = 1) {
        const auto [left, top] = Origin(w);
        ASSERT_EQ(x_->Run({"xdotool", "mousemove", std::to_string(left + x),
                           std::to_string(top + y), "click", std::to_string(button)}),
                  0);
    }

    // The big button, once the window's click gate (one counted click a second) lets it.
    void Press(const std::u16string& key) {
        std::this_thread::sleep_until(counted_ + 1200ms);
        Click(window_, kBigButton[0], kBigButton[1]);
        ASSERT_TRUE(AwaitLog(u"点击：mainwnd." + key)) << "the click did not count";
        counted_ = std::chrono::steady_clock::now();
    }

    // The end of a download: the installer ran from the save folder, the program quit, the
    // platform heard of the start, the download and its end, in order.
    void ExpectInstalledAndQuit(const std::string& folder, const std::vector<int>& reports) {
        ASSERT_TRUE(AwaitLog(u"下载界面状态：9"));
        Step("complete", {kStatus, kPercent}, true);
        EXPECT_TRUE(Poll([&] { return !ReadAll(dir_.file("installer.log")).empty(); }));
        EXPECT_NE(ReadAll(dir_.file("installer.log")).find("\"" + folder + "\\demo_setup.exe\""),
                  std::string::npos);
        EXPECT_EQ(program_.Wait(), 0);
        std::string saved = dir_.file("c/" + folder.substr(3) + "/demo_setup.exe");
        std::replace(saved.begin(), saved.end(), '\\', '/');
        EXPECT_TRUE(ReadAll(saved) == payload_);
        std::vector<int> statuses;
        for (const demo::LoggedRequest& r : server_.requests())
            if (size_t at = r.query.find("&status="); at != std::string::npos)
                statuses.push_back(std::stoi(r.query.substr(at + 8)));
        // The end and the installer's start go out together: either may arrive first.
        if (statuses.size() > 1 && statuses.back() == 9)
            std::swap(statuses.back(), statuses.end()[-2]);
        EXPECT_EQ(statuses, reports);
    }

    testing_support::XDesktop* x_ = nullptr;
    std::unique_ptr<testing_support::XDesktop::Helper> tray_;
    testing_support::TempDir dir_;
    demo::DemoServer server_;
    std::vector<std::unique_ptr<testing_support::ScopedEnv>> env_;
    testing_support::ChildProcess program_;
    std::string program_path_, payload_, artefacts_;
    Pixels last_;  // the last step's screenshot
    Window window_ = 0;
    size_t log_at_ = 0;
    int steps_ = 0;
    std::chrono::steady_clock::time_point counted_;
};

TEST_F(E2ETest, DownloadsPausesResumesThenStartsTheInstallerAndQuits) {
    Serve(8 << 20);
    ASSERT_TRUE(server_.control("rate=400000"));  // 20 s for the file: paused long before
    Launch();
    // The idle window, as the committed picture has it (within a few pixels of text).
    const Pixels golden = ReadPng(GOLDEN_PATH);
    ASSERT_FALSE(golden.empty()) << "no " << GOLDEN_PATH;
    Step("ready", {}, false, &golden);
    Press(u"start");
    ASSERT_TRUE(AwaitLog(u"下载界面状态：6"));
    Step("downloading", {kBar, kSize, kSpeed, kPercent, kStatus});
    Step("progress", {kBar, kSize, kPercent});
    Press(u"pause");
    ASSERT_TRUE(AwaitLog(u"下载界面状态：8"));
    Step("paused", {kStatus, kSpeed});
    ASSERT_TRUE(server_.control("rate=0"));
    Press(u"resume");
    ExpectInstalledAndQuit("C:\\KeltoGames\\DemoGame", {7, 8, 9, 10});
}

TEST_F(E2ETest, AServerFaultOffersRetryWhichFinishesTheDownload) {
    Serve(1 << 20);
    ASSERT_TRUE(server_.control("fail=404:1"));
    Launch();
    Step("ready");
    Press(u"start");
    ASSERT_TRUE(AwaitLog(u"下载界面状态：10"));
    Step("failed", {kStatus});
    Press(u"retry");
    ExpectInstalledAndQuit("C:\\KeltoGames\\DemoGame", {7, 8, 9, 10});
}

TEST_F(E2ETest, ClosingHidesToTheTrayWhichShowsTheWindowAndItsMenuEndsTheProgram) {
    Serve(1 << 20);
    Launch();
    Step("ready");
    Click(window_, kCloseBox[0], kCloseBox[1]);
    ASSERT_TRUE(Poll([&] { return !Viewable(window_) && !SameAsDump(Shot(), Dump()); }));
    const Window icon = Shown("演示游戏下载器");  // named by its tooltip
    ASSERT_TRUE(icon);
    XWindowAttributes a{};
    XGetWindowAttributes(x_->display(), icon, &a);
    const int cx = a.width / 2, cy = a.height / 2;
    Click(icon, cx, cy);
    ASSERT_TRUE(Poll([&] { return Viewable(window_); }));
    Step("shown again");
    // The menu opens with its lower right corner at the pointer: 关闭 is its second row.
    Click(icon, cx, cy, 3);
    const auto [x, y] = Origin(icon);
    ASSERT_TRUE(Poll([&] { return Screen(x + cx - 8, y + cy - 45, 1, 1) == Pixels{0xFFFFFF}; }));
    WritePng(artefacts_ + "/menu.png", Screen(x + cx - 150, y + cy - 60, 150, 60), 150);
    Click(icon, cx - 75, cy - 17);
    EXPECT_EQ(program_.Wait(), 0);
}

TEST_F(E2ETest, TheTitleBarDragsTheWindowWithThePointerAtOnce) {
    Serve(1 << 20);
    Launch();
    Step("ready");
    const auto [x, y] = Origin(window_);
    // Moves queued faster than the window follows them: the last one decides.
    ASSERT_EQ(
        x_->Run({"xdotool", "mousemove", std::to_string(x + 300), std::to_string(y + 16),
                 "mousedown", "1", "mousemove", std::to_string(x + 330), std::to_string(y + 30),
                 "mousemove", std::to_string(x + 420), std::to_string(y + 106), "mouseup", "1"}),
        0);
    EXPECT_TRUE(Poll([&] { return Origin(window_) == std::make_pair(x + 120, y + 90); }));
    Step("dragged");
}

TEST_F(E2ETest, ASecondStartBringsTheFirstWindowToTheFrontAndLeaves) {
    Serve(1 << 20);
    Launch();
    Step("ready");
    // Another program's window over it.
    Display* d = x_->display();
    const auto [x, y] = Origin(window_);
    Window cover = XCreateSimpleWindow(d, x_->root(), x - 40, y - 40, kWidth + 80, kHeight + 80, 0,
                                       0, 0x336699);
    XSizeHints hints{};
    hints.flags = USPosition;
    XSetWMNormalHints(d, cover, &hints);
    XMapRaised(d, cover);
    XFlush(d);
    ASSERT_TRUE(Poll([&] { return Screen(x + 300, y + 140, 1, 1) == Pixels{0x336699}; }));
    testing_support::ChildProcess second;
    ASSERT_TRUE(Start(second));
    EXPECT_EQ(second.Wait(), 0);
    Step("in front");
    XDestroyWindow(d, cover);
    XFlush(d);
}

TEST_F(E2ETest, TheFolderDialogMovesTheSaveFolderWhereTheDownloadLands) {
    Serve(1 << 20);
    mkdir(dir_.file("c/Elsewhere").c_str(), 0700);
    Launch();
    Step("ready");
    Click(window_, kChangeFolder[0], kChangeFolder[1]);
    // The layer's picker, modal, with the keyboard: to its folder line, a path, Enter.
    Window focus = 0;
    ASSERT_TRUE(Poll([&] {
        int revert;
        XGetInputFocus(x_->display(), &focus, &revert);
        XWindowAttributes a{};  // a pop-up of the program's
        return focus > PointerRoot && XGetWindowAttributes(x_->display(), focus, &a) &&
               a.override_redirect && a.map_state == IsViewable;
    }));
    WritePng(artefacts_ + "/picker.png", Screen(0, 0, 1280, 800), 1280);
    ASSERT_EQ(x_->Run({"xdotool", "key", "Tab", "type", "C:\\Elsewhere"}), 0);
    ASSERT_EQ(x_->Run({"xdotool", "key", "Return"}), 0);
    ASSERT_TRUE(AwaitLog(u"更改下载目录：C:\\Elsewhere"));
    Step("folder changed", {kFolder});
    Press(u"start");
    ExpectInstalledAndQuit("C:\\Elsewhere\\DemoGame", {7, 8, 9, 10});
}

}  // namespace
}  // namespace e2etest
