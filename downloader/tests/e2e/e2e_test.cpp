// The whole program as a person meets it: the real downloader, with the companions it
// carries, on a private X desktop (Xvfb, openbox, a tray), driven only through X input,
// against the demo platform, in a private home. What it shows is read off the screen and
// compared with the committed pictures in golden/; what it did, from what the platform
// sent and was told, the installer's record and the files it leaves.
//
// E2E_REWRITE_GOLDEN=1 rewrites the pictures instead: each step keeps what the screen shows
// once the program's log names the step's state and the picture has held still. Each
// step's screenshot is kept in ARTEFACT_DIR/<test>/.
#include <png.h>

#include <chrono>
#include <climits>
#include <functional>
#include <sstream>
#include <thread>

#include "testing/child_process.h"
#include "testing/program_fixture.h"

// Xlib's macros last: they would rename what the headers above declare.
#include "testing/x_desktop.h"

namespace program_test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The payload is the demo installer grown to a size no build reaches; the download
// stalls at a quarter until the client leaves.
constexpr size_t kPayloadSize = 8 << 20, kStallAt = 2 << 20;
constexpr int kWidth = 600, kHeight = 279;
constexpr int kBigButton[] = {520, 212}, kChangeFolder[] = {332, 260}, kMinimiseBox[] = {550, 16},
              kCloseBox[] = {580, 16};

struct Picture {
    int width = 0;
    std::vector<uint32_t> pixels;  // 0xRRGGBB, row by row
    int height() const { return width ? int(pixels.size()) / width : 0; }
    uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

// What a step expects: its golden picture, the state the log names for it (0: none) and
// how long the picture holds still before it is rewritten.
struct Look {
    const char* name;
    int state;
    int hold_ms = 1500;
};
const Look kReady{"ready", 3}, kDownloading{"downloading", 6}, kPaused{"paused", 8},
    kFailed{"failed", 10}, kComplete{"complete", 9, 300}, kMessageBox{"message_box", 0},
    kTrayMenu{"tray_menu", 0};

// Anti-aliasing may change a pixel by this much per channel, or draw an edge a pixel aside;
// a tile of 16 x 16 pixels may differ beyond that in this many.
constexpr int kGap = 40, kTile = 16, kStraysPerTile = 4;

bool Rewriting() { return getenv("E2E_REWRITE_GOLDEN") && *getenv("E2E_REWRITE_GOLDEN"); }

// A condition polled every 20 ms (a loaded machine is slow, never stuck).
bool Poll(const std::function<bool()>& done, int ms = 30000) {
    return testing_support::WaitUntil(done, ms, 20);
}

Picture ReadPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_BGRA;
    Picture p{int(image.width), std::vector<uint32_t>(size_t(image.width) * image.height)};
    if (!png_image_finish_read(&image, nullptr, p.pixels.data(), 0, nullptr)) return {};
    for (uint32_t& pixel : p.pixels) pixel &= 0xFFFFFF;
    return p;
}

void WritePng(const std::string& path, Picture p) {
    if (p.pixels.empty()) return;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = p.width;
    image.height = p.height();
    image.format = PNG_FORMAT_BGRA;
    for (uint32_t& pixel : p.pixels) pixel |= 0xFF000000;
    png_image_write_to_file(&image, path.c_str(), 0, p.pixels.data(), 0, nullptr);
}

int ChannelGap(uint32_t a, uint32_t b) {
    int gap = 0;
    for (int shift = 0; shift < 24; shift += 8)
        gap = std::max(gap, std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)));
    return gap;
}

// Whether a's pixel has nothing within kGap around the same place in b.
bool Strays(const Picture& a, const Picture& b, int x, int y) {
    for (int by = std::max(y - 1, 0); by <= std::min(y + 1, b.height() - 1); ++by)
        for (int bx = std::max(x - 1, 0); bx <= std::min(x + 1, b.width - 1); ++bx)
            if (ChannelGap(a.at(x, y), b.at(bx, by)) <= kGap) return false;
    return true;
}

// The most pixels of one tile that stray either way; pictures of other sizes are further
// apart than any.
int WorstTile(const Picture& a, const Picture& b) {
    if (a.width != b.width || a.pixels.size() != b.pixels.size() || a.pixels.empty())
        return INT_MAX;
    const int columns = (a.width + kTile - 1) / kTile;
    std::vector<int> tiles(size_t(columns) * ((a.height() + kTile - 1) / kTile));
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width; ++x)
            if (a.at(x, y) != b.at(x, y) && (Strays(a, b, x, y) || Strays(b, a, x, y)))
                worst = std::max(worst, ++tiles[size_t(y / kTile) * columns + x / kTile]);
    return worst;
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
    void SetUp() override { SetUpOn(testing_support::XDesktop::Get(), false); }

    // The program on the desktop with a tray at the bottom right of a monitor, in a panel
    // that the work area leaves out when asked.
    void SetUpOn(testing_support::XDesktop* desktop, bool panel, const char* monitor = "0") {
        x_ = desktop;
        if (!x_ || !testing_support::OnPath("xdotool") || !testing_support::OnPath("trayer"))
            GTEST_SKIP() << "Xvfb, openbox, xdotool or trayer is missing";
        const std::string dock = panel ? "true" : "false";
        tray_ = std::make_unique<testing_support::XDesktop::Helper>(
            *x_,
            std::vector<std::string>{"trayer", "--edge", "bottom", "--align", "right",
                                     "--widthtype", "request", "--height", "32", "--SetDockType",
                                     dock, "--SetPartialStrut", dock, "--monitor", monitor},
            "_NET_SYSTEM_TRAY_S0");
        ASSERT_TRUE(tray_->ready());
        const int height = DisplayHeight(x_->display(), 0);
        ASSERT_TRUE(!panel || Poll([&] { return x_->WorkArea()[3] == height - 32; }));
        // Windows of the program come and go while they are read: errors are answers.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        artefacts_ = std::string(ARTEFACT_DIR "/") +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(artefacts_);
        std::filesystem::create_directories(artefacts_);
        ProgramTest::SetUp();
        SetEnv("DISPLAY", x_->name());
        SetEnv("WIN32_NO_DISPLAY", "");
        SetEnv("WIN32_X11_LOG", dir_.file("x11.log"));
        program_path_ = Install(PROGRAM_PATH, "downloader");
        Serve(Installer(kPayloadSize));
        ASSERT_EQ(payload_.size(), kPayloadSize) << "the demo installer outgrew the payload";
    }

    // A copy of the program without a desktop folder chooser on its PATH: the layer's own
    // picker is the one driven here.
    bool Start(testing_support::ChildProcess& copy) {
        testing_support::ScopedEnv path("PATH", PathWithoutChoosers());
        return copy.Start(program_path_);
    }

    // Starts the program and waits for its window, showing `look` (unless null). That the
    // window manager manages it the minimising shows.
    ::testing::AssertionResult Launch(const Look* look = &kReady) {
        if (!Start(program_) || !(window_ = Shown("演示游戏 下载器")))
            return ::testing::AssertionFailure() << "no window";
        return look ? Shows(*look) : ::testing::AssertionSuccess();
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
    // The program's newest pop-up on the screen (the topmost window the window manager
    // leaves alone), of this width when given, once there is one; 0 after the time-out.
    Window Popup(int width = 0) {
        Window found = 0;
        Poll([&] {
            Window root, parent, *kids = nullptr;
            unsigned n = 0;
            XQueryTree(x_->display(), x_->root(), &root, &parent, &kids, &n);
            for (unsigned i = 0; i < n; ++i) {
                XWindowAttributes a{};
                if (XGetWindowAttributes(x_->display(), kids[i], &a) && a.override_redirect &&
                    a.map_state == IsViewable && (!width || a.width == width))
                    found = kids[i];
            }
            if (kids) XFree(kids);
            return found != 0;
        });
        return found;
    }
    bool Viewable(Window w) {
        XWindowAttributes a{};
        return XGetWindowAttributes(x_->display(), w, &a) && a.map_state == IsViewable;
    }
    // What the screen shows where the window is.
    Picture Shot(Window w) {
        XWindowAttributes a{};
        if (!XGetWindowAttributes(x_->display(), w, &a)) return {};
        const auto [x, y] = x_->Origin(w);
        return {a.width, x_->Screen(x, y, a.width, a.height)};
    }

    // Waits until the window looks as the step's golden picture has it; a window that goes
    // meanwhile fails at once. Rewriting, writes the picture instead.
    ::testing::AssertionResult Shows(const Look& look, Window w = 0) {
        w = w ? w : window_;
        const std::string golden = std::string(GOLDEN_DIR "/") + look.name + ".png";
        const Picture want = ReadPng(golden);
        if (want.pixels.empty() && !Rewriting())
            return ::testing::AssertionFailure() << "no " << golden;
        Picture shot, still;
        auto since = Clock::now();
        bool gone = false;
        const bool seen = Poll([&] {
            if (!Viewable(w)) return gone = true;
            shot = Shot(w);
            if (!Rewriting()) return WorstTile(shot, want) <= kStraysPerTile;
            if (shot.pixels != still.pixels) still = shot, since = Clock::now();
            return (!look.state || Contains(LogLines(), L"下载界面状态：" +
                                                            std::to_wstring(look.state) + L"\r")) &&
                   Clock::now() - since >= std::chrono::milliseconds(look.hold_ms);
        });
        char step[16];
        snprintf(step, sizeof step, "/%02d-", ++steps_);
        const std::string kept = artefacts_ + step + look.name + ".png";
        WritePng(kept, shot);
        if (seen && !gone && Rewriting()) WritePng(golden, shot);
        if (seen && !gone) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << look.name
               << (gone ? ": the window went before it showed " : ": the screen differs from ")
               << golden << " (up to " << WorstTile(shot, want) << " pixels a tile; see " << kept
               << ")";
    }

    // Clicks there, then (unless the pointer must stay) rests it in the screen's corner,
    // over nothing of the program's, so that nothing captured is hot.
    bool Click(Window w, int x, int y, int button = 1, bool stay = false) {
        const auto [left, top] = x_->Origin(w);
        std::vector<std::string> argv{
            "xdotool", "mousemove",           std::to_string(left + x), std::to_string(top + y),
            "click",   std::to_string(button)};
        if (!stay) argv.insert(argv.end(), {"mousemove", "0", "0"});
        return x_->Run(argv) == 0;
    }

    // The big button, once the window's click gate (one counted click a second) lets it, and
    // the look it leads to.
    ::testing::AssertionResult Press(const Look* then = nullptr) {
        std::this_thread::sleep_until(counted_ + 1200ms);
        if (!Click(window_, kBigButton[0], kBigButton[1]))
            return ::testing::AssertionFailure() << "no click";
        counted_ = Clock::now();
        if (!then) return ::testing::AssertionSuccess();
        auto shown = Shows(*then);
        counted_ = Clock::now();  // the program has taken the click by now
        return shown;
    }

    // The platform sent this much in all and is sending this many bodies now.
    bool ServedOnly(int64_t sent, int bodies, int ms = 10000) {
        using Traffic = demo::DemoServer::Traffic;
        return Poll([&] { return server_.traffic() == Traffic{sent, bodies}; }, ms);
    }

    // The end of a download: the installer ran from the save folder, the program quit, the
    // file is there whole, and the platform sent it once and heard of the start, the
    // download and its end, in order.
    void ExpectInstalledAndQuit(const std::string& folder) {
        EXPECT_TRUE(Poll([&] {
            return ReadAll(dir_.file("installer.log"))
                       .find("\"C:\\" + folder + "\\demo_setup.exe\"") != std::string::npos;
        }));
        EXPECT_EQ(program_.Wait(), 0);
        std::string saved = "c/" + folder + "/demo_setup.exe";
        std::replace(saved.begin(), saved.end(), '\\', '/');
        EXPECT_TRUE(ReadAll(dir_.file(saved)) == payload_);
        EXPECT_FALSE(std::filesystem::exists(dir_.file(saved + ".part")));
        EXPECT_TRUE(ServedOnly(kPayloadSize, 0));
        EXPECT_EQ(Statuses(), (std::vector<int>{7, 8, 9, 10}));
    }

    testing_support::XDesktop* x_ = nullptr;
    std::unique_ptr<testing_support::XDesktop::Helper> tray_;
    testing_support::ChildProcess program_;
    std::string program_path_, artefacts_;
    Window window_ = 0;
    int steps_ = 0;
    Clock::time_point counted_;
};

TEST_F(E2ETest, DownloadsPausesResumesThenStartsTheInstallerAndQuits) {
    ASSERT_TRUE(server_.control("stall-at=" + std::to_string(kStallAt)));
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(Press(&kDownloading));
    EXPECT_TRUE(ServedOnly(kStallAt, 1, 0));
    ASSERT_TRUE(Press(&kPaused));
    // The engine let go of the stalled body, kept what it had, and asks for nothing more.
    EXPECT_TRUE(ServedOnly(kStallAt, 0));
    const std::string part = dir_.file("c/KeltoGames/DemoGame/demo_setup.exe.part");
    EXPECT_TRUE(Poll([&] { return ReadAll(part) == payload_.substr(0, kStallAt); }));
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(ServedOnly(kStallAt, 0, 0));
    ASSERT_TRUE(Press(&kComplete));
    ExpectInstalledAndQuit("KeltoGames\\DemoGame");
}

TEST_F(E2ETest, TheFolderDialogMovesTheSaveFolderAndAServerFaultOffersRetryWhichEndsThere) {
    ASSERT_TRUE(server_.control("fail=404:1"));
    dir_.folder("c/Elsewhere");
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(Click(window_, kChangeFolder[0], kChangeFolder[1]));
    // The layer's picker, modal, with the keyboard: to its folder line, a path, Enter.
    const Window picker = Popup();
    ASSERT_TRUE(picker);
    WritePng(artefacts_ + "/picker.png", Shot(picker));
    ASSERT_EQ(x_->Run({"xdotool", "key", "Tab", "type", "C:\\Elsewhere"}), 0);
    ASSERT_EQ(x_->Run({"xdotool", "key", "Return"}), 0);
    ASSERT_TRUE(Poll([&] { return !Viewable(picker); }));
    ASSERT_TRUE(Press(&kFailed));
    ASSERT_TRUE(Press());
    ExpectInstalledAndQuit("Elsewhere\\DemoGame");
}

TEST_F(E2ETest, TheWindowMinimisesDragsComesToTheFrontAndHidesToTheTrayWhoseMenuEndsIt) {
    // A drive too full for the download: the start is refused in a message box.
    SetEnv("WIN32_DRIVES", "C=" + dir_.folder("c") + ":fixed:free=1000000;Z=/:remote");
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(Press());
    const Window box = Popup();
    ASSERT_TRUE(box);
    ASSERT_TRUE(Shows(kMessageBox, box));
    ASSERT_EQ(x_->Run({"xdotool", "key", "Return"}), 0);
    ASSERT_TRUE(Poll([&] { return !Viewable(box); }));
    EXPECT_TRUE(ServedOnly(0, 0, 0));

    const Window icon = Shown("演示游戏下载器");  // named by its tooltip
    ASSERT_TRUE(icon);
    XWindowAttributes a{};
    XGetWindowAttributes(x_->display(), icon, &a);
    const int cx = a.width / 2, cy = a.height / 2;
    // Minimised, the window manager hides it; the tray brings it back.
    ASSERT_TRUE(Click(window_, kMinimiseBox[0], kMinimiseBox[1]));
    const long hidden = XInternAtom(x_->display(), "_NET_WM_STATE_HIDDEN", False);
    auto minimised = [&] {
        bool hid = false;
        for (long i = 0, atom; (atom = x_->Property(window_, "_NET_WM_STATE", i)) != -1; ++i)
            hid |= atom == hidden;
        return hid && !Viewable(window_) && x_->Property(window_, "WM_STATE") == IconicState;
    };
    ASSERT_TRUE(Poll(minimised));
    ASSERT_TRUE(Click(icon, cx, cy));
    ASSERT_TRUE(Poll([&] { return x_->Property(window_, "WM_STATE") == NormalState; }));
    ASSERT_TRUE(Shows(kReady));
    EXPECT_FALSE(minimised());

    // Moves queued faster than the window follows them: the last one decides.
    const auto [left, top] = x_->Origin(window_);
    ASSERT_EQ(x_->Run({"xdotool", "mousemove", std::to_string(left + 300), std::to_string(top + 16),
                       "mousedown", "1", "mousemove", std::to_string(left + 330),
                       std::to_string(top + 30), "mousemove", std::to_string(left + 420),
                       std::to_string(top + 106), "mouseup", "1"}),
              0);
    EXPECT_TRUE(Poll([&] { return x_->Origin(window_) == std::make_pair(left + 120, top + 90); }));
    ASSERT_EQ(x_->Run({"xdotool", "mousemove", "0", "0"}), 0);
    // Another program's window over it; a second start brings it to the front.
    Display* d = x_->display();
    Window cover =
        XCreateSimpleWindow(d, x_->root(), left + 80, top + 50, 760, 440, 0, 0, 0x336699);
    XSizeHints hints{};
    hints.flags = USPosition;
    XSetWMNormalHints(d, cover, &hints);
    XMapRaised(d, cover);
    XFlush(d);
    ASSERT_TRUE(Poll([&] {
        return x_->Screen(left + 420, top + 230, 1, 1) == std::vector<uint32_t>{0x336699};
    }));
    testing_support::ChildProcess second;
    ASSERT_TRUE(Start(second));
    EXPECT_EQ(second.Wait(), 0);
    ASSERT_TRUE(Shows(kReady));
    XDestroyWindow(d, cover);
    XFlush(d);

    // Closed, it hides to the tray, which shows it again; the tray's menu ends it.
    ASSERT_TRUE(Click(window_, kCloseBox[0], kCloseBox[1]));
    ASSERT_TRUE(Poll([&] { return !Viewable(window_); }));
    ASSERT_TRUE(Click(icon, cx, cy));
    ASSERT_TRUE(Poll([&] { return Viewable(window_); }));
    ASSERT_TRUE(Shows(kReady));
    // The menu opens where the pointer is when the click is taken.
    ASSERT_TRUE(Click(icon, cx, cy, 3, true));
    const Window menu = Popup();
    ASSERT_TRUE(menu);
    ASSERT_EQ(x_->Run({"xdotool", "mousemove", "0", "0"}), 0);
    ASSERT_TRUE(Shows(kTrayMenu, menu));
    XGetWindowAttributes(d, menu, &a);
    ASSERT_TRUE(Click(menu, a.width / 2, a.height * 3 / 4));  // 关闭, the second row
    EXPECT_EQ(program_.Wait(), 0);
}

// On desktops of other sizes and with two monitors (the primary on the left, the tray on
// the right), with the tray in a panel: the window opens centred on the primary monitor's
// work area, and the tray menu beside the icon, its corner at the pointer, above the panel.
struct Screen {
    const char* size;
    std::vector<XRectangle> monitors;  // the primary first; none: the whole screen
};
void PrintTo(const Screen& s, std::ostream* out) { *out << s.size; }

class E2EScreenTest : public E2ETest, public ::testing::WithParamInterface<Screen> {
protected:
    void SetUp() override {
        desktop_ = testing_support::XDesktop::Start(GetParam().size);
        if (desktop_ && !GetParam().monitors.empty()) desktop_->SetMonitors(GetParam().monitors);
        SetUpOn(desktop_.get(), true, GetParam().monitors.empty() ? "0" : "1");
    }
    void TearDown() override {
        program_.Kill();
        tray_.reset();
        E2ETest::TearDown();
    }
    std::unique_ptr<testing_support::XDesktop> desktop_;
};

TEST_P(E2EScreenTest, TheWindowOpensCentredOnThePrimaryMonitorAndTheTrayMenuBesideTheIcon) {
    ASSERT_TRUE(Launch());
    const int width = DisplayWidth(x_->display(), 0), height = DisplayHeight(x_->display(), 0);
    const int bottom = height - 32;  // of the work area, above the panel
    const XRectangle primary = GetParam().monitors.empty()
                                   ? XRectangle{0, 0, ushort(width), ushort(height)}
                                   : GetParam().monitors.front();
    EXPECT_EQ(x_->Origin(window_),
              std::make_pair(primary.x + (primary.width - kWidth) / 2, (bottom - kHeight) / 2));
    const Window icon = Shown("演示游戏下载器");
    ASSERT_TRUE(icon);
    XWindowAttributes a{};
    XGetWindowAttributes(x_->display(), icon, &a);
    ASSERT_TRUE(Click(icon, a.width / 2, a.height / 2, 3, true));
    const int pointer_x = x_->Origin(icon).first + a.width / 2;
    const Window menu = Popup(150);
    ASSERT_TRUE(menu);
    // Its corner at the pointer, above the panel (its size: 150 x 60).
    EXPECT_EQ(x_->Origin(menu), std::make_pair(pointer_x - 150, bottom - 60));
    WritePng(artefacts_ + "/screen.png", Picture{width, x_->Screen(0, 0, width, height)});
    // Once drawn, its second item, 关闭, ends the program.
    const auto [mx, my] = x_->Origin(menu);
    ASSERT_TRUE(Poll(
        [&] { return x_->Screen(mx + 142, my + 15, 1, 1) == std::vector<uint32_t>{0xFFFFFF}; }));
    ASSERT_TRUE(Click(menu, 75, 43));
    EXPECT_EQ(program_.Wait(), 0);
}

INSTANTIATE_TEST_SUITE_P(Screens, E2EScreenTest,
                         ::testing::Values(Screen{"1920x1080", {}}, Screen{"1024x768", {}},
                                           Screen{"2560x1024",
                                                  {{0, 0, 1280, 1024}, {1280, 0, 1280, 1024}}}));

// The program on desktops of its own, each ended under it as a logout ends it.
class SessionEndTest : public E2ETest {
protected:
    void SetUp() override {
        E2ETest::SetUp();
        if (!IsSkipped() && !HasFatalFailure()) NewDesktop();
    }
    // A fresh desktop: the display of the program's next start.
    void NewDesktop() {
        own_ = testing_support::XDesktop::Start("1280x800");
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
    // A new start's window has come to "continue" (the log of every start is one file).
    bool ContinueShown() {
        return Poll([&] {
            int n = 0;
            for (const auto& line : LogLines()) n += line.find(L"下载界面状态：4\r") != line.npos;
            return n > continued_ ? (continued_ = n, true) : false;
        });
    }
    std::unique_ptr<testing_support::XDesktop> own_;
    int continued_ = 0;
};

TEST_F(SessionEndTest, TheProgramEndsWithItsDesktopOrOnSigtermKeepingItsDownloadAndStartsAgain) {
    SetEnv("GDL_ENGINE_CHECKPOINT_KIB", "256");
    Serve(Installer(8 << 20));
    ASSERT_TRUE(server_.control("rate=400000"));
    uint64_t kept = 0;
    for (const bool logout : {true, false}) {
        SCOPED_TRACE(logout ? "the X server ends" : "SIGTERM");
        // The window on a new desktop, going on from the record.
        ASSERT_TRUE(Launch(kept ? nullptr : &kReady));
        ASSERT_TRUE(!kept || ContinueShown());
        ASSERT_TRUE(Press());
        ASSERT_TRUE(Poll([&] { return Committed() > kept; }));
        kept = Committed();
        if (logout)
            own_->EndServer();
        else
            kill(program_.pid(), SIGTERM);
        EXPECT_EQ(program_.Wait(), 0);  // within the wait's bound, not never
        NewDesktop();
    }
    ASSERT_TRUE(Launch(nullptr));
    ASSERT_TRUE(ContinueShown());
    std::vector<uint32_t> shot = Shot(window_).pixels;
    std::sort(shot.begin(), shot.end());
    EXPECT_GT(std::unique(shot.begin(), shot.end()) - shot.begin(), 50) << "a blank window";
    EXPECT_GE(Committed(), kept);
}

}  // namespace
}  // namespace program_test
