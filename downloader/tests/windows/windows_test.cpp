// The main window and the tray icon over the client core of the fixture (its engine
// scripted), on the layer's windows without a display: what the window shows in each
// download state, its buttons, the managers that show and hide it, the tray icon and its
// menu. The menu's close ends the client for good (its quit flag stays set), so that test
// comes last: tests of one file run in the order written.
#include <shellapi.h>
#include <win32_debug.h>

#include "ctrls/button.h"
#include "ctrls/progress_ctrl.h"
#include "downloader/instance_wnd_manager.h"
#include "downloader/main_wnd_manager.h"
#include "downloader/tray_manager.h"
#include "downloader/ui/click_gate.h"
#include "downloader/ui/main_wnd.h"
#include "gui/timer.h"
#include "support/client_fixture.h"
#include "testing/lambda_callback.h"

namespace clienttest {
namespace {

using downloader::MainWnd;

template <class T, class F>
void Each(Gui::Ctrl* parent, F f) {
    for (Gui::Ctrl* c = parent->GetFirstChild(); c; c = c->GetNext()) {
        if (auto* t = dynamic_cast<T*>(c); t && c->IsVisible()) f(t);
        Each<T>(c, f);
    }
}

class WindowTest : public ClientTest {
protected:
    MainWnd* Wnd() { return base::GetRegisteredObject<MainWnd>(); }
    HWND Hwnd() { return GetMainWndManager()->GetMainWndHandle(); }
    // Where a control is in the window.
    Gui::Rect Place(Gui::Ctrl* c) {
        Gui::Rect r = c->GetScreenRect();
        r.Offset(-Wnd()->GetRect().left, -Wnd()->GetRect().top);
        return r;
    }
    ctrls::Button* ButtonOf(const std::wstring& label) {
        ctrls::Button* found = nullptr;
        Each<ctrls::Button>(&Wnd()->GetRoot(),
                            [&](auto* b) { found = b->GetLabel() == label ? b : found; });
        return found;
    }
    std::wstring TextAt(int x, int y) {
        std::wstring text;
        Each<ctrls::StaticText>(&Wnd()->GetRoot(), [&](auto* t) {
            if (Place(t).Contains(Gui::Point(x, y))) text = t->GetText();
        });
        return text;
    }
    // "<captioned buttons, + enabled, - disabled>|<status line>|<size>|<percent>|<bar>".
    std::wstring View() {
        std::wstring view;
        Each<ctrls::Button>(&Wnd()->GetRoot(), [&](auto* b) {
            if (!b->GetLabel().empty()) view += b->GetLabel() + (b->IsEnabled() ? L"+ " : L"- ");
        });
        Each<ctrls::ProgressCtrl>(&Wnd()->GetRoot(), [&](auto* p) { bar_ = p; });
        return view + L"|" + TextAt(25, 192) + L"|" + TextAt(25, 230) + L"|" + TextAt(435, 230) +
               L"|" + std::to_wstring(bar_->Get());
    }
    // A press and release in the window's middle of the control, as the mouse makes them.
    void Click(HWND hwnd, Gui::Point at) {
        RECT r;
        GetWindowRect(hwnd, &r);
        SetCursorPos(r.left + at.x, r.top + at.y);
        BYTE keys[256] = {};
        for (UINT m : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}) {
            keys[VK_LBUTTON] = m == WM_LBUTTONDOWN ? 0x80 : 0;  // as the real button would be
            SetKeyboardState(keys);
            SendMessageW(hwnd, m, m == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(at.x, at.y));
        }
        SetCursorPos(0, 0);
    }
    void Click(const std::wstring& label) {
        ctrls::Button* b = ButtonOf(label);
        ASSERT_TRUE(b) << base::WideToUtf8(label);
        const Gui::Rect r = Place(b);
        Click(Hwnd(), Gui::Point((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    }
    // The window's pixels, 0xRRGGBB.
    std::vector<uint32_t> Pixels() {
        BITMAPINFO bi = {{sizeof(BITMAPINFOHEADER), 600, -279, 1, 32}};
        void* bits = nullptr;
        HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bmp);
        PrintWindow(Hwnd(), dc, PW_CLIENTONLY);
        std::vector<uint32_t> out(static_cast<uint32_t*>(bits),
                                  static_cast<uint32_t*>(bits) + 600 * 279);
        for (uint32_t& p : out) p &= 0xFFFFFF;
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bmp);
        return out;
    }
    static uint32_t Rgb(const Gui::Image& img, int x, int y) {
        const Gui::RGBA p = img[y][x];
        return p.r << 16 | p.g << 8 | p.b;
    }
    HWND TrayOwner(UINT* id) {
        std::istringstream log(testing_support::ReadAll(getenv("WIN32_TRAY_LOG")));
        std::string event, owner;
        log >> event >> owner >> *id;
        return reinterpret_cast<HWND>(std::stoull(owner, nullptr, 16));
    }
    // The visible windows owned by owner.
    std::vector<HWND> Owned(HWND owner) {
        std::vector<HWND> found;
        for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT))
            if (IsWindowVisible(h) && GetWindow(h, GW_OWNER) == owner) found.push_back(h);
        return found;
    }
    void ShowClientWithTray() {
        SetEnv("WIN32_TRAY_LOG", dir_.file("tray"));
        StartClient();
        GetInstanceWndManager()->Create();
        GetMainWndManager()->CreateMainWnd();
        GetTrayManager()->AddIcon();
        owner_ = TrayOwner(&id_);
    }
    bool Shown() { return IsWindowVisible(Hwnd()) != FALSE; }
    void RightClickMenuItem(int item) {
        ASSERT_TRUE(Win32TrayClick(owner_, id_, WM_RBUTTONUP));
        ASSERT_TRUE(Pump([&] { return Owned(owner_).size() == 1; }));
        Click(Owned(owner_)[0], Gui::Point(60, 17 + 26 * item));
    }

    ctrls::ProgressCtrl* bar_ = nullptr;
    HWND owner_ = nullptr;
    UINT id_ = 0;
};

TEST(ClickGate, CountsAClickOnlyWhenTheIntervalHasPassedSinceTheLastCounted) {
    downloader::ClickGate gate;
    const struct {
        DWORD now, interval;
        bool counted;
    } clicks[] = {{0xFFFFFF00, 1000, true},
                  {0x2E8, 1000, false},
                  {0x2E9, 1000, true},
                  {0x2E9 + 2000, 2000, false},
                  {0x2E9 + 2001, 2000, true}};
    for (const auto& c : clicks) EXPECT_EQ(gate.Pass(c.now, c.interval), c.counted) << c.now;
}

TEST_F(WindowTest, EachDownloadStateShowsItsButtonStatusProgressAndFolderChoice) {
    const struct {
        const char* setup;  // "taken": no engine; "hold<slot>": that engine call waits
        Answer find, query;
        int32_t start;
        std::vector<Answer> progress;
        std::vector<std::pair<int, const wchar_t*>> clicks;  // in that state, that button
        int state;
        std::wstring view;
    } rows[] = {
        {"taken", {}, {}, 0, {}, {}, 0, L"开始下载- 更改目录- 打开目录+ |下载模块失效||0%|0"},
        {"hold1", {}, {}, 0, {}, {}, 1, L"开始下载- 更改目录+ 打开目录+ |正在查询下载记录…||0%|0"},
        {"hold1",
         kEarlier,
         {},
         0,
         {},
         {},
         2,
         L"继续下载- 更改目录- 打开目录+ |正在查询下载记录…|大小：1.0KB/4.0KB|25%|2500"},
        {"",
         {},
         {0, 0, 4096},
         0,
         {},
         {},
         3,
         L"开始下载+ 更改目录+ 打开目录+ |准备就绪，点击“开始下载”|大小：0B/4.0KB|0%|0"},
        {"",
         kEarlier,
         {0, 0, 4096, 1024},
         0,
         {},
         {},
         4,
         L"继续下载+ 更改目录- 打开目录+ "
         L"|上次下载尚未完成，点击“继续下载”|大小：1.0KB/4.0KB|25%|2500"},
        {"hold3",
         {},
         {0, 0, 4096},
         0,
         {},
         {{3, L"开始下载"}},
         5,
         L"暂停下载- 更改目录- 打开目录+ |正在连接下载服务器…|大小：0B/4.0KB|0%|0"},
        {"",
         {},
         {0, 0, 4096},
         0,
         {kRunning},
         {{3, L"开始下载"}},
         6,
         L"暂停下载+ 更改目录- 打开目录+ |正在下载…|大小：1.0KB/4.0KB|25%|2500"},
        {"",
         {},
         {0, 0, 4096},
         0,
         {kAllIn},
         {{3, L"开始下载"}},
         7,
         L"暂停下载- 更改目录- 打开目录+ |下载完成，正在校验文件…|大小：4.0KB/4.0KB|100%|10000"},
        {"",
         {},
         {0, 0, 4096},
         0,
         {kRunning},
         {{3, L"开始下载"}, {6, L"暂停下载"}},
         8,
         L"继续下载+ 更改目录- 打开目录+ |下载已暂停|大小：1.0KB/4.0KB|25%|2500"},
        {"",
         kEarlierDone,
         {},
         0,
         {},
         {},
         9,
         L"立即安装+ 更改目录- 打开目录+ |下载完成，点击“立即安装”|大小：4.0KB/4.0KB|100%|10000"},
        {"", {}, {7}, 0, {}, {}, 10, L"重试+ 更改目录- 打开目录+ |下载状态检查失败错误码：7||0%|0"},
        {"",
         {},
         {0, 0, 4096},
         5,
         {},
         {{3, L"开始下载"}},
         11,
         L"重新下载+ 更改目录- 打开目录+ |下载文件检查出错|大小：0B/4.0KB|0%|0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.state);
        const std::string tmp = dir_.file("tmp" + std::to_string(row.state)), setup = row.setup;
        mkdir(tmp.c_str(), 0700);
        SetEnv("TMPDIR", tmp);
        if (setup == "taken") mkdir((tmp + "/Dravon.dll").c_str(), 0700);
        ResetScript();
        Script& s = TheScript();
        s.find = row.find, s.query = row.query, s.start = row.start;
        s.progress.assign(row.progress.begin(), row.progress.end());
        s.hold_slot = setup.rfind("hold", 0) == 0 ? setup[4] - '0' : -1;
        s.holding = true;
        StartClient();
        GetMainWndManager()->CreateMainWnd();
        DWORD clicked = GetTickCount() - 2000;
        for (const auto& [state, label] : row.clicks) {
            // Once the window shows the state; the big buttons count one click a second.
            ASSERT_TRUE(Pump([&, label = label] {
                ctrls::Button* b = ButtonOf(label);
                return GetDownloadManager()->GetState() == state && b && b->IsEnabled() &&
                       GetTickCount() - clicked > 1000;
            }));
            Click(label);
            clicked = GetTickCount();
        }
        const auto shows = [&] {
            ctrls::Button* b = ButtonOf(row.view.substr(0, row.view.find_first_of(L"+-")));
            return View() == row.view && b && b->GetLook() != ctrls::Button::HOT;
        };
        EXPECT_TRUE(Pump(shows));
        EXPECT_EQ(GetDownloadManager()->GetState(), row.state);
        EXPECT_EQ(View(), row.view);
        // Painted: the big button's face in its look, the bar's block or groove.
        ctrls::Button* big = ButtonOf(row.view.substr(0, row.view.find_first_of(L"+-")));
        ASSERT_TRUE(Pump([&] { return !GetUpdateRect(Hwnd(), nullptr, FALSE); }));
        const std::vector<uint32_t> px = Pixels();
        EXPECT_EQ(px[212 * 600 + 463], Rgb(big->GetStyle().look[big->IsEnabled() ? 0 : 3], 3, 22));
        const ctrls::ProgressCtrl::Style& bar = bar_->GetStyle();
        EXPECT_EQ(px[211 * 600 + 22], Rgb(bar_->Get() ? bar.block : bar.bg, 2, 5));
        s.holding = false;
        EndClient();
    }
}

TEST_F(WindowTest, MessageBoxesAreOwnedByTheWindowAndCaptionedWithTheGamesName) {
    SetEnv("WIN32_DIALOG_WINDOWS", "1");
    StartClient();
    GetMainWndManager()->CreateMainWnd();
    bool owner_disabled = false;
    Gui::SetTimeCallback(50, testing_support::Do([&] {
                             std::vector<HWND> boxes = Owned(Hwnd());
                             owner_disabled = !IsWindowEnabled(Hwnd());
                             if (boxes.size() == 1) SendMessageW(boxes[0], WM_COMMAND, IDOK, 0);
                         }));
    EXPECT_EQ(GetMainWndManager()->MessageBox(L"下载盘无读写权限", L""), IDOK);
    EXPECT_TRUE(owner_disabled);
    EXPECT_EQ(Record("WIN32_DIALOG_LOG", 1), std::vector<std::string>{"演示游戏"});
}

TEST_F(WindowTest, CloseHidesAndTheInstanceWindowTrayAndMenuShowAgain) {
    ShowClientWithTray();
    EXPECT_TRUE(Shown()) << "shown at once";
    EXPECT_TRUE(panel_.progress.empty()) << "the download work waits for the next timer pass";
    ASSERT_TRUE(Pump([] { return GetDownloadManager()->GetState() == downloader::ReadyToStart; }));
    HWND instance = GetInstanceWndManager()->GetHwnd();
    const std::function<void()> shows[] = {
        [&] { PostMessageW(instance, 0x9401, 0, 0); },
        [&] { Win32TrayClick(owner_, id_, WM_LBUTTONUP); },
        [&] { RightClickMenuItem(0); },
    };
    for (const auto& show : shows) {
        SendMessageW(Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_TRUE(Pump([&] { return !Shown(); }));
        EXPECT_TRUE(IsWindow(Hwnd()) && base::GetController()->HasObject<MainWnd>());
        show();
        EXPECT_TRUE(Pump([&] { return Shown(); }));
    }
    // A second right click replaces the menu the first left behind.
    ASSERT_TRUE(Win32TrayClick(owner_, id_, WM_RBUTTONUP));
    ASSERT_TRUE(Win32TrayClick(owner_, id_, WM_RBUTTONUP));
    Pump([] { return false; }, 200);
    EXPECT_EQ(Owned(owner_).size(), 1u);
    EXPECT_EQ(testing_support::ReadAll(getenv("WIN32_TRAY_LOG")).find("tip=演示游戏下载器") !=
                  std::string::npos,
              true);
}

TEST_F(WindowTest, TheFolderAndTheLinksOpenWhatTheyName) {
    SetEnv("WIN32_FOLDER_ANSWER", "C:\\Games\\");
    StartClient();
    GetMainWndManager()->CreateMainWnd();
    ASSERT_TRUE(Pump([] { return GetDownloadManager()->GetState() == downloader::ReadyToStart; }));
    Click(L"更改目录");
    EXPECT_EQ(TextAt(100, 260), L"C:\\Games\\DemoGame");
    EXPECT_EQ(Record("WIN32_DIALOG_LOG", 2),
              std::vector<std::string>{"请选择游戏安装包的保存位置"});
    Click(Hwnd(), Gui::Point(480, 260));  // 官方网站
    Click(Hwnd(), Gui::Point(300, 100));  // the title art
    Click(L"打开目录");
    const std::string home = base::WideToUtf8(GetConfigManager()->GetDomainUrl());
    EXPECT_EQ(Record("WIN32_SHELL_LOG", 1), (std::vector<std::string>{home, home, "C:\\Games"}));
}

TEST_F(WindowTest, TheMenusCloseEndsTheProgram) {
    ShowClientWithTray();
    ASSERT_TRUE(Pump([] { return GetDownloadManager()->GetState() == downloader::ReadyToStart; }));
    HWND instance = GetInstanceWndManager()->GetHwnd();
    RightClickMenuItem(1);
    EXPECT_EQ(Win32TrayIconCount(nullptr), 0u);
    EXPECT_FALSE(IsWindow(instance));
    EXPECT_TRUE(Pump([&] { return quit_; }));
}

}  // namespace
}  // namespace clienttest
