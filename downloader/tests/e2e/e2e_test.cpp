// The whole program as a person meets it: the real downloader, with the companions it
// carries, on a private X desktop (Xvfb, openbox, a tray), driven only through X input,
// against the demo platform, in a private home. What it shows is read off the screen and
// checked against the layer's own dump of the window; what it did, from its log, the
// platform's request log and the files it leaves. Each step's screenshot and dump are kept
// in ARTEFACT_DIR/<test>/.
#include <png.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <thread>

#include "testing/program_fixture.h"
#include "testing/child_process.h"

// Xlib's macros last: they would rename what the headers above declare.
#include "testing/x_desktop.h"

namespace program_test {
namespace {

using namespace std::chrono_literals;
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
bool Poll(const std::function<bool()>& done) { return testing_support::WaitUntil(done, 30000, 20); }

// A window-sized PNG as opaque pixels; empty unless it reads whole (a dump may be half
// written).
Pixels ReadPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_BGRA;
    Pixels pixels(size_t(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) ||
        pixels.size() != size_t(kWidth) * kHeight || image.width != kWidth)
        return {};
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

class E2ETest : public ProgramTest {
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
        ProgramTest::SetUp();
        for (const auto& [name, value] :
             {std::pair<const char*, std::string>{"DISPLAY", x_->name()},
              {"WIN32_NO_DISPLAY", ""},
              {"WIN32_PAINT_DUMP_DIR", dir_.folder("dump")},
              {"WIN32_X11_LOG", dir_.file("x11.log")}})
            SetEnv(name, value);
        program_path_ = Install(PROGRAM_PATH, "downloader");
    }

    // A copy of the program without a desktop folder chooser on its PATH: the layer's own
    // picker is the one driven here.
    bool Start(testing_support::ChildProcess& copy) {
        testing_support::ScopedEnv path("PATH", PathWithoutChoosers());
        return copy.Start(program_path_);
    }

    // Starts the program and waits for its window on the screen, ready to start (or in
    // another state): a desktop window of its size that the window manager framed.
    void Launch(int state = 3) {
        ASSERT_TRUE(Start(program_));
        window_ = Shown("演示游戏 下载器");
        ASSERT_TRUE(window_);
        ASSERT_TRUE(AwaitLog(L"下载界面状态：" + std::to_wstring(state)));
        Window root, frame, *kids = nullptr;
        unsigned n = 0;
        XQueryTree(x_->display(), window_, &root, &frame, &kids, &n);
        if (kids) XFree(kids);
        XWindowAttributes a{};
        XGetWindowAttributes(x_->display(), window_, &a);
        EXPECT_EQ(std::make_tuple(frame != root, a.width, a.height),
                  std::make_tuple(true, kWidth, kHeight));
        // The pointer rests in a corner, over nothing of the program's.
        ASSERT_EQ(x_->Run({"xdotool", "mousemove", "0", "0"}), 0);
    }

    // Waits for a line of the program's log with the text, after the line awaited before.
    bool AwaitLog(const std::wstring& text) {
        return Poll([&] {
            const std::vector<std::wstring> lines = LogLines();
            for (size_t i = log_at_; i < lines.size(); ++i)
                if (lines[i].find(text) != std::wstring::npos) return log_at_ = i + 1, true;
            return false;
        });
    }

    // The window shown with this title, once there is one; 0 after the time-out.
    Window Shown(const std::string& title) {
        Window w = 0;
        Poll([&] {
            FILE* p = popen(("xdotool search --onlyvisible --name '^" + title + "$'").c_str(), "r");
            const bool found = p && fscanf(p, "%lu", &w) == 1;
            if (p) pclose(p);
            return found;
        });
        return w;
    }
    bool Viewable(Window w) {
        XWindowAttributes a{};
        return XGetWindowAttributes(x_->display(), w, &a) && a.map_state == IsViewable;
    }
    Pixels Shot() {
        const auto [x, y] = x_->Origin(window_);
        return x_->Screen(x, y, kWidth, kHeight);
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
        const auto [left, top] = x_->Origin(w);
        ASSERT_EQ(x_->Run({"xdotool", "mousemove", std::to_string(left + x),
                           std::to_string(top + y), "click", std::to_string(button)}),
                  0);
    }

    // The big button, once the window's click gate (one counted click a second) lets it.
    void Press(const std::wstring& key) {
        std::this_thread::sleep_until(counted_ + 1200ms);
        Click(window_, kBigButton[0], kBigButton[1]);
        ASSERT_TRUE(AwaitLog(L"点击：mainwnd." + key)) << "the click did not count";
        counted_ = std::chrono::steady_clock::now();
    }

    // The end of a download: the installer ran from the save folder, the program quit, the
    // platform heard of the start, the download and its end, in order.
    void ExpectInstalledAndQuit(const std::string& folder) {
        ASSERT_TRUE(AwaitLog(L"下载界面状态：9"));
        Step("complete", {kStatus, kPercent}, true);
        EXPECT_TRUE(Poll([&] {
            return ReadAll(dir_.file("installer.log"))
                       .find("\"C:\\" + folder + "\\demo_setup.exe\"") != std::string::npos;
        }));
        EXPECT_EQ(program_.Wait(), 0);
        std::string saved = "c/" + folder + "/demo_setup.exe";
        std::replace(saved.begin(), saved.end(), '\\', '/');
        EXPECT_TRUE(ReadAll(dir_.file(saved)) == payload_);
        std::vector<int> statuses;
        for (const std::string& q : Reports())
            statuses.push_back(std::stoi(q.substr(q.find("&status=") + 8)));
        EXPECT_EQ(statuses, (std::vector<int>{7, 8, 9, 10}));
    }

    testing_support::XDesktop* x_ = nullptr;
    std::unique_ptr<testing_support::XDesktop::Helper> tray_;
    testing_support::ChildProcess program_;
    std::string program_path_, artefacts_;
    Pixels last_;  // the last step's screenshot
    Window window_ = 0;
    size_t log_at_ = 0;
    int steps_ = 0;
    std::chrono::steady_clock::time_point counted_;
};

TEST_F(E2ETest, DownloadsPausesResumesThenStartsTheInstallerAndQuits) {
    Serve(Installer(8 << 20));
    ASSERT_TRUE(server_.control("rate=400000"));  // 20 s for the file: paused long before
    Launch();
    // The idle window, as the committed picture has it (within a few pixels of text).
    const Pixels golden = ReadPng(GOLDEN_PATH);
    ASSERT_FALSE(golden.empty()) << "no " << GOLDEN_PATH;
    Step("ready", {}, false, &golden);
    Press(L"start");
    ASSERT_TRUE(AwaitLog(L"下载界面状态：6"));
    Step("downloading", {kBar, kSize, kSpeed, kPercent, kStatus});
    Step("progress", {kBar, kSize, kPercent});
    Press(L"pause");
    ASSERT_TRUE(AwaitLog(L"下载界面状态：8"));
    Step("paused", {kStatus, kSpeed});
    ASSERT_TRUE(server_.control("rate=0"));
    Press(L"resume");
    ExpectInstalledAndQuit("KeltoGames\\DemoGame");
}

TEST_F(E2ETest, TheFolderDialogMovesTheSaveFolderAndAServerFaultOffersRetryWhichEndsThere) {
    Serve(Installer(1 << 20));
    ASSERT_TRUE(server_.control("fail=404:1"));
    dir_.folder("c/Elsewhere");
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
    WritePng(artefacts_ + "/picker.png", x_->Screen(0, 0, 1280, 800), 1280);
    ASSERT_EQ(x_->Run({"xdotool", "key", "Tab", "type", "C:\\Elsewhere"}), 0);
    ASSERT_EQ(x_->Run({"xdotool", "key", "Return"}), 0);
    ASSERT_TRUE(AwaitLog(L"更改下载目录：C:\\Elsewhere"));
    Step("folder changed", {kFolder});
    Press(L"start");
    ASSERT_TRUE(AwaitLog(L"下载界面状态：10"));
    Step("failed", {kStatus});
    Press(L"retry");
    ExpectInstalledAndQuit("Elsewhere\\DemoGame");
}

TEST_F(E2ETest, TheWindowDragsComesToTheFrontOnASecondStartAndHidesToTheTrayWhoseMenuEndsIt) {
    Serve(Installer(1 << 20));
    Launch();
    Step("ready");
    const auto [left, top] = x_->Origin(window_);
    // Moves queued faster than the window follows them: the last one decides.
    ASSERT_EQ(x_->Run({"xdotool", "mousemove", std::to_string(left + 300), std::to_string(top + 16),
                       "mousedown", "1", "mousemove", std::to_string(left + 330),
                       std::to_string(top + 30), "mousemove", std::to_string(left + 420),
                       std::to_string(top + 106), "mouseup", "1"}),
              0);
    EXPECT_TRUE(Poll([&] { return x_->Origin(window_) == std::make_pair(left + 120, top + 90); }));
    Step("dragged");
    // Another program's window over it.
    Display* d = x_->display();
    const auto [wx, wy] = x_->Origin(window_);
    Window cover = XCreateSimpleWindow(d, x_->root(), wx - 40, wy - 40, kWidth + 80, kHeight + 80,
                                       0, 0, 0x336699);
    XSizeHints hints{};
    hints.flags = USPosition;
    XSetWMNormalHints(d, cover, &hints);
    XMapRaised(d, cover);
    XFlush(d);
    ASSERT_TRUE(Poll([&] { return x_->Screen(wx + 300, wy + 140, 1, 1) == Pixels{0x336699}; }));
    testing_support::ChildProcess second;
    ASSERT_TRUE(Start(second));
    EXPECT_EQ(second.Wait(), 0);
    Step("in front");
    XDestroyWindow(d, cover);
    XFlush(d);
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
    const auto [x, y] = x_->Origin(icon);
    ASSERT_TRUE(
        Poll([&] { return x_->Screen(x + cx - 8, y + cy - 45, 1, 1) == Pixels{0xFFFFFF}; }));
    WritePng(artefacts_ + "/menu.png", x_->Screen(x + cx - 150, y + cy - 60, 150, 60), 150);
    Click(icon, cx - 75, cy - 17);
    EXPECT_EQ(program_.Wait(), 0);
}

// The program on desktops of its own, each ended under it as a logout ends it.
class SessionEndTest : public E2ETest {
protected:
    void SetUp() override {
        E2ETest::SetUp();
        if (!IsSkipped() && !HasFatalFailure()) NewDesktop();
    }
    // A fresh desktop: the display of the program's next start.
    void NewDesktop() {
        own_ = testing_support::XDesktop::Start();
        ASSERT_TRUE(own_);
        x_ = own_.get();
        SetEnv("DISPLAY", own_->name());
    }
    // Bytes of the partial file that the engine's record vouches for; 0 without one.
    uint64_t Committed() {
        std::istringstream record(ReadAll(dir_.file("store/demo.task")));
        for (std::string line; std::getline(record, line);)
            if (line.rfind("committed=", 0) == 0) return std::stoull(line.substr(10));
        return 0;
    }
    std::unique_ptr<testing_support::XDesktop> own_;
};

TEST_F(SessionEndTest, TheProgramEndsWithItsDesktopOrOnSigtermKeepingItsDownloadAndStartsAgain) {
    SetEnv("GDL_ENGINE_CHECKPOINT_KIB", "256");
    Serve(Installer(8 << 20));
    ASSERT_TRUE(server_.control("rate=400000"));
    uint64_t kept = 0;
    for (const bool logout : {true, false}) {
        SCOPED_TRACE(logout ? "the X server ends" : "SIGTERM");
        Launch(kept ? 4 : 3);  // the window on a new desktop, going on from the record
        Press(kept ? L"continue" : L"start");
        ASSERT_TRUE(Poll([&] { return Committed() > kept; }));
        kept = Committed();
        if (logout)
            own_->EndServer();
        else
            kill(program_.pid(), SIGTERM);
        EXPECT_EQ(program_.Wait(), 0);  // within the wait's bound, not never
        NewDesktop();
    }
    Launch(4);
    Pixels shot = Shot();
    std::sort(shot.begin(), shot.end());
    EXPECT_GT(std::unique(shot.begin(), shot.end()) - shot.begin(), 50) << "a blank window";
    EXPECT_GE(Committed(), kept);
}

}  // namespace
}  // namespace program_test
