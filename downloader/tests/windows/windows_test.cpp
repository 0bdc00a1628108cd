// The main window and the tray icon over the fixture's client core (its engine scripted),
// on the layer's windows without a display. The menu's close ends the client for good (its
// quit flag stays set), so the test that chooses it comes last: tests run as written.
#include <win32_debug.h>

#include <algorithm>
#include <set>

#include "ctrls/button.h"
#include "ctrls/progress_ctrl.h"
#include "base/string_util.h"
#include "skin/skin_loader.h"
#include "ctrls/static_text.h"
#include "ctrls/link_ctrl.h"
#include "downloader/instance_wnd_manager.h"
#include "downloader/main_wnd_manager.h"
#include "downloader/tray_manager.h"
#include "downloader/ui/click_gate.h"
#include "downloader/ui/main_wnd.h"
#include "gui/raster.h"
#include "gui/timer.h"
#include "support/client_fixture.h"
#include "testing/lambda_callback.h"

namespace clienttest {
namespace {

class WindowTest : public ClientTest {
protected:
    Gui::Ctrl* Root() { return &base::GetRegisteredObject<downloader::MainWnd>()->GetRoot(); }
    HWND Hwnd() { return GetMainWndManager()->GetMainWndHandle(); }
    bool Shown() { return IsWindowVisible(Hwnd()) != FALSE; }
    // The visible (or all) controls of a kind under c, in the order they paint.
    template <class T>
    void Each(const std::function<void(T*)>& f, bool hidden_too = false, Gui::Ctrl* c = nullptr) {
        for (c = (c ? c : Root())->GetFirstChild(); c; c = c->GetNext()) {
            if (auto* t = dynamic_cast<T*>(c); t && (hidden_too || c->IsVisible())) f(t);
            Each(f, hidden_too, c);
        }
    }
    // The control of a kind at a place of the window that passes `is` (hidden ones too).
    template <class T>
    T* At(Gui::Rect r, const std::function<bool(T*)>& is = nullptr) {
        const Gui::Rect s = Root()->GetScreenRect();
        r = Gui::OffsetRect(r, s.left, s.top);
        T* found = nullptr;
        Each<T>([&](T* t) { found = t->GetScreenRect() == r && (!is || is(t)) ? t : found; }, true);
        return found;
    }
    std::wstring TextAt(int x, int y) {
        std::wstring text;
        const Gui::Rect r = Root()->GetScreenRect();
        const Gui::Point at(r.left + x, r.top + y);
        Each<ctrls::StaticText>([&](auto* t) {
            if (t->GetScreenRect().Contains(at))
                text += (text.empty() ? L"" : L" over ") + t->GetText();
        });
        return text;
    }
    // "<captioned buttons, + acting, - not>|<status line>|<size>|<percent>|<bar>"; the first
    // button is the big one.
    std::wstring View() {
        std::wstring view;
        Each<ctrls::Button>([&](auto* b) {
            if (b->GetLabel().empty()) return;
            big_ = view.empty() ? b : big_;
            view += b->GetLabel() + (b->IsEnabled() ? L"+ " : L"- ");
        });
        Each<ctrls::ProgressCtrl>([&](auto* p) { bar_ = p; });
        return view + L"|" + TextAt(25, 192) + L"|" + TextAt(25, 230) + L"|" + TextAt(435, 230) +
               L"|" + std::to_wstring(bar_->Get());
    }
    // A press at a point of a window and its release there (or at another point), with the
    // button state a real one has; the pointer then leaves, unless it stays.
    void Click(HWND hwnd, int x, int y, int up_x = -1, int up_y = -1, bool stay = false) {
        RECT r;
        GetWindowRect(hwnd, &r);
        if (up_x < 0) up_x = x, up_y = y;
        const std::tuple<UINT, int, int, BYTE> steps[] = {{WM_MOUSEMOVE, x, y, 0},
                                                          {WM_LBUTTONDOWN, x, y, 0x80},
                                                          {WM_MOUSEMOVE, up_x, up_y, 0x80},
                                                          {WM_LBUTTONUP, up_x, up_y, 0}};
        BYTE keys[256] = {};
        for (const auto& [message, at_x, at_y, button] : steps) {
            SetCursorPos(r.left + at_x, r.top + at_y);
            keys[VK_LBUTTON] = button;
            SetKeyboardState(keys);
            SendMessageW(hwnd, message, button ? MK_LBUTTON : 0, MAKELPARAM(at_x, at_y));
        }
        if (!stay) SetCursorPos(0, 0);
    }
    // A pixel of an image as 0xRRGGBB (none outside it); of the window as the layer dumps it.
    static uint32_t Rgb(const Gui::Image& i, int x, int y) {
        if (x >= i.GetSize().cx || y >= i.GetSize().cy) return 0xFF000000;
        return i[y][x].r << 16 | i[y][x].g << 8 | i[y][x].b;
    }
    uint32_t PixelAt(int x, int y) {
        const std::wstring shot = L"Z:" + base::Utf8ToWide(dir_.file("shot.png").c_str());
        Win32DumpWindowPng(Hwnd(), shot.c_str());
        return Rgb(Gui::Raster::LoadAnyFile(shot.c_str()), x, y);
    }
    std::vector<HWND> Owned(HWND owner) {  // visible: the tray's menus, the window's boxes
        std::vector<HWND> found;
        for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT))
            if (IsWindowVisible(h) && GetWindow(h, GW_OWNER) == owner) found.push_back(h);
        return found;
    }
    // Two right clicks: the second replaces the menu of the first, so one shows.
    // The menu is 150 x 60 with its lower right corner at the pointer.
    void MenuItem(int item) {
        SetCursorPos(400, 300);
        for (int i = 0; i < 2; ++i) ASSERT_TRUE(Win32TrayClick(owner_, id_, WM_RBUTTONUP));
        ASSERT_TRUE(Pump([&] { return Owned(owner_).size() == 1; }));
        RECT r;
        GetWindowRect(Owned(owner_)[0], &r);
        EXPECT_EQ(std::make_tuple(r.left, r.top, r.right, r.bottom),
                  std::make_tuple(250, 240, 400, 300));
        Click(Owned(owner_)[0], 60, 17 + 26 * item);
    }

    ctrls::Button* big_ = nullptr;
    ctrls::ProgressCtrl* bar_ = nullptr;
    HWND owner_ = nullptr;
    UINT id_ = 0;
};

TEST(ClickGate, CountsAClickOnlyWhenTheIntervalHasPassedSinceTheLastCounted) {
    downloader::ClickGate g;  // the first click, then across the tick counter's wrap
    EXPECT_EQ(std::vector<bool>({g.Pass(0xFFFFFF00, 1000), g.Pass(0x2E8, 1000), g.Pass(0x2E9, 1000),
                                 g.Pass(0xAB9, 2000), g.Pass(0xABA, 2000)}),
              std::vector<bool>({true, false, true, false, true}));
}

TEST_F(WindowTest, EachDownloadStateShowsItsButtonStatusProgressAndFolderChoice) {
    // The engine call (by slot) that waits while the row is read (-2: no tools), the engine's
    // answers, the states once shown the big button is clicked in, and what the window shows.
    // clang-format off
    const std::tuple<int, Answer, Answer, int32_t, Answer, std::vector<int>, std::wstring> rows[] = {
        {-2, {}, {}, 0, {}, {}, L"开始下载- 更改目录- 打开目录+ |正在准备下载组件…||0%|0"},
        {1, {}, {}, 0, {}, {}, L"开始下载- 更改目录+ 打开目录+ |正在查询下载记录…||0%|0"},
        {1, kEarlier, {}, 0, {}, {}, L"继续下载- 更改目录- 打开目录+ |正在查询下载记录…|大小：1.0KB/4.0KB|25%|2500"},
        {-1, {}, Answer{0, 0, 4096}, 0, {}, {}, L"开始下载+ 更改目录+ 打开目录+ |准备就绪，点击“开始下载”|大小：0B/4.0KB|0%|0"},
        {-1, kEarlier, kEarlier, 0, {}, {}, L"继续下载+ 更改目录- 打开目录+ |上次下载尚未完成，点击“继续下载”|大小：1.0KB/4.0KB|25%|2500"},
        {3, {}, Answer{0, 0, 4096}, 0, {}, {3}, L"暂停下载- 更改目录- 打开目录+ |正在连接下载服务器…|大小：0B/4.0KB|0%|0"},
        {-1, {}, Answer{0, 0, 4096}, 0, kRunning, {3}, L"暂停下载+ 更改目录- 打开目录+ |正在下载…|大小：1.0KB/4.0KB|25%|2500"},
        {-1, {}, Answer{0, 0, 4096}, 0, kAllIn, {3}, L"暂停下载- 更改目录- 打开目录+ |下载完成，正在校验文件…|大小：4.0KB/4.0KB|100%|10000"},
        {-1, {}, Answer{0, 0, 4096}, 0, kRunning, {3, 6}, L"继续下载+ 更改目录- 打开目录+ |下载已暂停|大小：1.0KB/4.0KB|25%|2500"},
        {-1, kEarlierDone, {}, 0, {}, {}, L"立即安装+ 更改目录- 打开目录+ |下载完成，点击“立即安装”|大小：4.0KB/4.0KB|100%|10000"},
        {-1, {}, {7}, 0, {}, {}, L"重试+ 更改目录- 打开目录+ |下载状态检查失败错误码：7||0%|0"},
        {-1, {}, Answer{0, 0, 4096}, 5, {}, {3}, L"重新下载+ 更改目录- 打开目录+ |下载文件检查出错|大小：0B/4.0KB|0%|0"},
    };
    // clang-format on
    for (int state = 0; state < 12; ++state) {
        SCOPED_TRACE(state);
        if (state) SetUp();  // each row a client of its own
        const auto& [hold, find, query, start, progress, clicks, view] = rows[state];
        if (hold == -2) SetEnv("WIN32_DRIVES", Drives("", ";R=" + dir_.file("tmp") + ":fixed:ro"));
        Script& s = TheScript();
        s.find = find, s.query = query, s.start = start, s.progress = {progress};
        s.hold_slot = hold, s.holding = true;
        StartClient();
        GetMainWndManager()->CreateMainWnd();
        DWORD clicked = GetTickCount() - 2000;
        for (int at : clicks) {
            // Once the state shows, its big button (first) acting; one click a second counts.
            ASSERT_TRUE(Pump([&] {
                return GetDownloadManager()->GetState() == at && View().find(L"+") < 6 &&
                       GetTickCount() - clicked > 1000;
            }));
            // Enter presses it too.
            at == 6 ? void(SendMessageW(Hwnd(), WM_KEYDOWN, VK_RETURN, 0))
                    : Click(Hwnd(), 520, 212);
            clicked = GetTickCount();
        }
        std::set<int> bars;  // every position the bar showed on the way
        EXPECT_TRUE(Pump([&] {
            const bool done = View() == view && big_->GetLook() != ctrls::Button::HOT &&
                              !GetUpdateRect(Hwnd(), nullptr, FALSE);
            bars.insert(bar_->Get());
            return done;
        }));
        ASSERT_EQ(View(), view);
        EXPECT_EQ(TextAt(100, 260),
                  find.path.empty() ? L"C:\\KeltoGames\\DemoGame" : L"C:\\Old\\DemoGame");
        // An earlier or running download's progress glides there, as the skin asks; a
        // finished one's is set at once.
        const int end = bar_->Get();
        const auto between =
            std::count_if(bars.begin(), bars.end(), [&](int b) { return b > 0 && b < end; });
        EXPECT_TRUE(state == 2 || state == 6 ? between > 1 : state != 9 || between == 0);
        // Painted: the big button's face in its look, the bar's block or its groove.
        EXPECT_EQ(PixelAt(463, 212), Rgb(big_->GetStyle().look[big_->IsEnabled() ? 0 : 3], 3, 22));
        const ctrls::ProgressCtrl::Style& bar = bar_->GetStyle();
        EXPECT_EQ(PixelAt(22, 211), Rgb(bar_->Get() ? bar.block : bar.bg, 2, 5));
        s.holding = false;
        TearDown();
    }
}

// The state swaps the big button for another in the same place: under a pointer that
// stays, the new one shows its hot look at once, and the old one is left cold.
TEST_F(WindowTest, TheButtonSwappedInUnderAStillPointerIsHotAtOnce) {
    TheScript().query = Answer{0, 0, 4096};
    TheScript().progress = {kRunning};
    StartClient();
    GetMainWndManager()->CreateMainWnd();
    ASSERT_TRUE(Pump([] { return GetDownloadManager()->GetState() == downloader::ReadyToStart; }));
    ctrls::Button* start = nullptr;
    ASSERT_TRUE(Pump([&] { return View().find(L"开始下载+") == 0 && (start = big_); }));
    Click(Hwnd(), 520, 212, -1, -1, true);
    EXPECT_TRUE(Pump(
        [&] { return View().find(L"暂停下载+") == 0 && big_->GetLook() == ctrls::Button::HOT; }));
    EXPECT_NE(start->GetLook(), ctrls::Button::HOT);
    SetCursorPos(0, 0);
}

// What the skin gives the window's buttons (place, font, caption and looks; some show in no
// state the end-to-end pictures take) and its links (their cold and hot looks) reaches them.
TEST_F(WindowTest, TheWindowTakesWhatTheSkinSaysOfEachControl) {
    StartClient();
    GetMainWndManager()->CreateMainWnd();
    skin::SkinLoader& skin = skin::SkinLoader::Instance();
    for (std::string key : {"start", "continue", "pause", "resume", "retry", "restart", "install",
                            "changedir", "opendir"}) {
        key = "mainwnd." + key;
        ctrls::ButtonStyle style;
        Gui::Font font;
        std::string label;
        ASSERT_TRUE(skin.GetStyle(key, style) && skin.GetRealisedFont(key + ".font", font) &&
                    skin.GetString(key + ".text", label));
        const auto* b = At<ctrls::Button>(  // the big ones share a place
            Gui::RectC(style.posx[0], style.posy[0], style.posx[1], style.posy[1]),
            [&](auto* b) { return b->GetLabel() == base::Utf8ToWide(label.c_str()); });
        ASSERT_TRUE(b) << key;
        EXPECT_EQ(std::make_tuple(b->GetFont(), b->GetStyle().look[2].GetSerialId(),
                                  b->GetStyle().textcolor[3], b->GetStyle().pressoffset),
                  std::make_tuple(font, style.look[2].GetSerialId(), style.textcolor[3],
                                  style.pressoffset))
            << key;
    }
    for (std::string key : {"link_home", "link_news"}) {
        key = "mainwnd." + key;
        Gui::Rect r;
        ctrls::LinkStyle style;
        Gui::Color hot;
        ASSERT_TRUE(skin.GetRect(key + ".rect", r) && skin.GetStyle(key, style) &&
                    skin.GetColor(key + ".hotcolor", hot));
        auto* link = At<ctrls::LinkCtrl<ctrls::StaticText>>(r);
        ASSERT_TRUE(link) << key;
        EXPECT_EQ(std::make_tuple(link->GetFont(), link->GetInk()),
                  std::make_tuple(style.textfont0, style.textcolor));
        link->MouseEnter(Gui::Point(), 0);
        EXPECT_EQ(std::make_tuple(link->GetFont(), link->GetInk()),
                  std::make_tuple(style.textfont1, hot));
        link->MouseLeave();
    }
}

// Last: the menu's close ends the client for good.
TEST_F(WindowTest, ClosingHidesTheWindowWhichShowsAgainOwnsWhatItAsksAndTheMenuEndsIt) {
    SetEnv("WIN32_TRAY_LOG", dir_.file("tray"));
    StartClient();
    GetInstanceWndManager()->Create();
    GetMainWndManager()->CreateMainWnd();
    GetTrayManager()->AddIcon();
    unsigned long owner = 0;  // the first line: "add <owner> <id> ..."
    sscanf(testing_support::ReadAll(dir_.file("tray")).c_str(), "add %lx %u", &owner, &id_);
    owner_ = reinterpret_cast<HWND>(owner);
    EXPECT_TRUE(Shown());
    EXPECT_TRUE(panel_.progress.empty()) << "the download work waits for the next timer pass";
    ASSERT_TRUE(Pump([] { return GetDownloadManager()->GetState() == downloader::ReadyToStart; }));
    const std::function<void()> shows[] = {
        [&] { PostMessageW(GetInstanceWndManager()->GetHwnd(), 0x9401, 0, 0); },
        [&] { Win32TrayClick(owner_, id_, WM_LBUTTONUP); },
        [&] { MenuItem(0); },
    };
    // Closed, or minimised behind another window: each way back restores it in front.
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 9, 9, nullptr,
                                 nullptr, nullptr, nullptr);
    for (const auto& show : shows) {
        SendMessageW(Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_TRUE(Pump([&] { return !Shown(); }));
        EXPECT_TRUE(IsWindow(Hwnd()) && base::GetController()->HasObject<downloader::MainWnd>());
        show();
        EXPECT_TRUE(Pump([&] { return Shown(); }));
        ShowWindow(Hwnd(), SW_MINIMIZE);
        SetForegroundWindow(other);
        show();
        EXPECT_TRUE(Pump([&] { return !IsIconic(Hwnd()) && GetForegroundWindow() == Hwnd(); }));
    }
    DestroyWindow(other);
    // The title art opens its page only for a press and a release on it.
    Click(Hwnd(), 300, 100, 300, 240);
    Click(Hwnd(), 300, 240, 300, 100);
    EXPECT_TRUE(Record("WIN32_SHELL_LOG", 1).empty());
    // The folder picker, the home link, the title art, the folder, the news link; a quick
    // second click opens a page once.
    SetEnv("WIN32_FOLDER_ANSWER", "C:\\Games\\");
    for (int x : {332, 480, 0, 0, 406, 550, 550}) Click(Hwnd(), x ? x : 300, x ? 260 : 100);
    EXPECT_EQ(TextAt(100, 260), L"C:\\Games\\DemoGame");
    // A folder too long for its line keeps its drive and the game's folder.
    GetConfigManager()->SetDownloadPath(L"C:\\Games\\" + std::wstring(40, L'x'), true);
    EXPECT_EQ(TextAt(100, 260), L"C:\\...\\DemoGame");
    // A drive root is taken as it is and the download starts there; a folder too long for
    // a path is refused with a word, the chosen one staying.
    for (const std::string& pick : {std::string("C:\\"), "C:\\" + std::string(260, 'x')}) {
        SetEnv("WIN32_FOLDER_ANSWER", pick);
        Pump([] { return false; }, 1100);  // the button counts a click a second
        Click(Hwnd(), 332, 260);
    }
    EXPECT_EQ(TextAt(100, 260), L"C:\\DemoGame");
    Click(Hwnd(), 520, 212);
    EXPECT_TRUE(Pump([] { return GetDownloadManager()->GetState() == downloader::Downloading; }));
    EXPECT_TRUE(testing_support::Exists(dir_.file("c/DemoGame")));
    const std::string home = base::WideToUtf8(GetConfigManager()->GetDomainUrl());
    const std::string news = base::WideToUtf8(GetConfigManager()->GetNewsPagesUrl());
    EXPECT_EQ(Record("WIN32_SHELL_LOG", 1),
              (std::vector<std::string>{home, home, "C:\\Games", news}));
    // A message box: the window is its disabled owner, the game's name its caption.
    SetEnv("WIN32_DIALOG_WINDOWS", "1");
    bool owner_disabled = false;
    Gui::SetTimeCallback(50, testing_support::Do([&] {
                             owner_disabled = !IsWindowEnabled(Hwnd());
                             for (HWND box : Owned(Hwnd())) SendMessageW(box, WM_COMMAND, IDOK, 0);
                         }));
    EXPECT_EQ(GetMainWndManager()->MessageBox(L"下载盘无读写权限", L""), IDOK);
    EXPECT_TRUE(owner_disabled);
    EXPECT_EQ(Record("WIN32_DIALOG_LOG", 1),
              (std::vector<std::string>{"", "", "", "演示游戏", "演示游戏"}));
    EXPECT_EQ(Record("WIN32_DIALOG_LOG", 2)[0], "请选择游戏安装包的保存位置");
    EXPECT_NE(Record("WIN32_DIALOG_LOG", 2)[3].find("路径过长"), std::string::npos);
    HWND instance = GetInstanceWndManager()->GetHwnd();
    MenuItem(1);
    EXPECT_TRUE(GetClientManager()->IsQuitting());
    EXPECT_FALSE(Win32TrayIconCount(nullptr) || IsWindow(instance));
    Pump([] { return false; }, 1200);  // the poll after the release, the quit
    EXPECT_TRUE(panel_.errors.empty()) << "an ending program reports no failing engine";
}

}  // namespace
}  // namespace clienttest
