// The tray's pieces on the layer's windows. The icon through the layer's notification-
// area stand-in; the layered pop-up menu: its items, per-pixel alpha, the hot item,
// choosing, hiding, placement, the fade-in and its end.
#include <gtest/gtest.h>

#include <shellapi.h>
#include <win32_debug.h>

#include "ctrls/layered_menu.h"
#include "ctrls/tray_icon.h"
#include "skin/skin_loader.h"
#include "skin/skin_manager.h"
#include "testing/lambda_callback.h"
#include "testing/scoped_env.h"
#include "window_support.h"

namespace {

using namespace window_test;

// Items 2..146 x 3..23 and 23..43 over a red background at half alpha.
constexpr char kSkin[] =
    "big_ft { Height 20 }\nmenu\n{\n bg \"img/half.png\"\n itemheight 20\n margin \"2,3,4,5\"\n"
    " font \"@big_ft\"\n textcolor \"#0000C0\"\n hottextcolor \"#C00000\"\n"
    " hotcolor \"#00C000\"\n}\n";
constexpr uint32_t kBack = 0x80800000u, kHot = 0xFF00C000u;  // premultiplied

struct Chosen : Gui::Callback1Action<int> {
    explicit Chosen(std::vector<int>& ids) : ids(ids) {}
    void Execute(int id) override { ids.push_back(id); }
    std::vector<int>& ids;
};

class LayeredMenuTest : public testing::Test {
protected:
    void SetUp() override {
        skin::SkinLoader& skin = skin::SkinLoader::Instance();
        ASSERT_TRUE(skin.LoadInfo(kSkin));
        skin.SetFontCallback(&downloader::SkinManager::CreateFont);
        Gui::ImageBuffer half(3, 3);
        std::fill(half.Begin(), half.Begin() + 9, Gui::MakeRGBA(128, 0, 0, 128));
        skin.AddImage("img/half.png", Gui::Image(half));
        owner = PlainWindow();
        menu = new ctrls::LayeredMenu;
        menu->NoActivate();
        menu->WhenSelect = Gui::Callback1<int>(new Chosen(chosen));
        EXPECT_EQ(menu->AddItem(L"打开下载器", Gui::Color(0x33, 0x33, 0x33)), 0);
        EXPECT_EQ(menu->AddItem(L"关闭", Gui::Color()), 1);
    }
    void TearDown() override {
        delete menu;
        DestroyWindow(owner);
        skin::SkinLoader::Instance().Clear();
    }
    HWND Open(Gui::Rect at = Gui::RectC(300, 200, 150, 60)) {
        menu->Popup(at, owner);
        return menu->GetHWND();
    }
    uint32_t PixelAt(int x, int y) {
        EXPECT_TRUE(gui_test::RunLoopUntil([&] { return !menu->IsRedrawPending(); }));
        return Snapshot(menu->GetHWND(), 150, 60)[y * 150 + x];
    }
    // The rows of an item that show text near the colour (0xRRGGBB, opaque).
    int Inked(int item, uint32_t rgb) {
        const std::vector<uint32_t> px = Snapshot(menu->GetHWND(), 150, 60);
        const Gui::Rect r = menu->GetItemRect(item);
        int rows = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            bool inked = false;
            for (int x = r.left; x < r.right; ++x)
                inked |= px[y * 150 + x] >> 24 == 0xFF &&
                         testing_support::NearRgb(px[y * 150 + x], rgb, 0x30);
            rows += inked;
        }
        return rows;
    }

    HWND owner = nullptr;
    ctrls::LayeredMenu* menu = nullptr;
    std::vector<int> chosen;
};

TEST_F(LayeredMenuTest, PopupFadesInAnOwnedTopmostWindowWithPerPixelAlphaAndAHotItem) {
    const auto at = [](int x, int y) { return Gui::RectC(x, y, 150, 60); };
    // The monitors (the primary first), the pointer, where the menu is asked for and where it
    // shows, kept on the pointer's monitor.
    const char* two = "1280x800,1024x768+1280+0";
    const std::tuple<const char*, POINT, Gui::Rect, Gui::Rect> rows[] = {
        {"1280x800", {0, 0}, at(300, 200), at(300, 200)},
        {"1280x800", {0, 0}, at(-40, -10), at(0, 0)},
        {"1280x800", {1270, 790}, at(1260, 795), at(1130, 740)},
        {two, {2300, 760}, at(2200, 700), at(2154, 700)},
        {two, {1275, 5}, at(1200, -20), at(1130, 0)}};
    for (const auto& [monitors, pointer, asked, placed] : rows) {
        testing_support::ScopedEnv screen("WIN32_SCREEN", monitors);
        SetCursorPos(pointer.x, pointer.y);
        HWND hwnd = Open(asked);
        RECT r;
        GetWindowRect(hwnd, &r);
        const LONG ex = WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW;
        EXPECT_EQ(
            std::make_tuple(Gui::Rect(r.left, r.top, r.right, r.bottom), IsWindowVisible(hwnd),
                            GetWindow(hwnd, GW_OWNER), GetWindowLongW(hwnd, GWL_EXSTYLE) & ex,
                            GetFocus(), menu->GetAlpha()),
            std::make_tuple(placed, TRUE, owner, ex, hwnd, 0));
        ASSERT_TRUE(gui_test::RunLoopUntil([&] { return !menu->IsFading(); }));
        EXPECT_EQ(menu->GetAlpha(), 255);
    }
    EXPECT_EQ(menu->GetItemRect(1), Gui::Rect(2, 23, 146, 43));

    // Pixels carry their alpha; the hot item follows the mouse.
    HWND hwnd = Open();
    // Text in the item's colour, the skin's without one, the hot colour while hot.
    // The pointer, the hot item, the paper left of each item's text, each item's ink.
    const std::tuple<int, int, int, uint32_t, uint32_t, uint32_t, uint32_t> moves[] = {
        {50, 30, 1, kBack, kHot, 0x333333, 0xC00000},
        {50, 10, 0, kHot, kBack, 0xC00000, 0x0000C0},
        {148, 58, -1, kBack, kBack, 0x333333, 0x0000C0},
        {50, 30, 1, kBack, kHot, 0x333333, 0xC00000},
        {-10, 30, -1, kBack, kBack, 0x333333, 0x0000C0},  // the pointer left the menu
    };
    for (const auto& [x, y, hot, paper0, paper1, ink0, ink1] : moves) {
        SetCursorPos(300 + x, 200 + y);  // the toolkit's leave check looks
        if (x >= 0) SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        gui_test::RunLoopFor(30);
        EXPECT_EQ(std::make_tuple(menu->GetHot(), PixelAt(5, 5), PixelAt(5, 40), Inked(0, ink0) > 0,
                                  Inked(1, ink1) > 0),
                  std::make_tuple(hot, paper0, paper1, true, true))
            << x << "," << y;
    }
    EXPECT_GE(Inked(0, 0x333333), 14) << "in the skin's font of 20 pixels";
}

TEST_F(LayeredMenuTest, AClickChoosesAndHidesFocusLossAndEscapeHideAndCloseDestroys) {
    HWND thief = PlainWindow(), menu_hwnd = nullptr;
    // Two messages sent at (x, y), none: the focus goes to another window; then what was
    // chosen and whether the menu shows.
    const std::tuple<UINT, UINT, WPARAM, int, int, std::vector<int>, bool> rows[] = {
        {WM_LBUTTONDOWN, WM_LBUTTONUP, 0, 60, 30, {1}, false},
        {WM_LBUTTONDOWN, WM_LBUTTONUP, 0, 60, 50, {}, true},  // on the margin
        {WM_KEYDOWN, 0, VK_ESCAPE, 0, 0, {}, false},
        {0, 0, 0, 0, 0, {}, false},
    };
    for (const auto& [first, second, wparam, x, y, ids, visible] : rows) {
        chosen.clear();
        menu_hwnd = Open();
        if (!first) SetFocus(thief);
        for (UINT m : {first, second})
            if (m) SendMessageW(menu_hwnd, m, wparam, MAKELPARAM(x, y));
        EXPECT_EQ(std::make_tuple(chosen, IsWindowVisible(menu_hwnd) != FALSE, menu->GetHWND()),
                  std::make_tuple(ids, visible, menu_hwnd));  // hidden, not destroyed
    }
    // From no item Down takes the first and Up the last, both wrap round; Enter chooses.
    menu->AddItem(L"第三项", Gui::Color());
    const std::tuple<std::vector<WPARAM>, int, std::vector<int>> keys[] = {
        {{VK_DOWN}, 0, {}},          {{VK_UP}, 2, {}},
        {{VK_DOWN, VK_DOWN}, 1, {}}, {{VK_UP, VK_UP}, 1, {}},
        {{VK_UP, VK_DOWN}, 0, {}},   {{VK_DOWN, VK_UP}, 2, {}},
        {{VK_RETURN}, -1, {}},       {{VK_UP, VK_RETURN}, 2, {2}},
    };
    for (const auto& [pressed, hot, ids] : keys) {
        chosen.clear(), Open();
        for (WPARAM vk : pressed) SendMessageW(menu_hwnd, WM_KEYDOWN, vk, 0);
        EXPECT_EQ(std::make_tuple(menu->GetHot(), chosen, IsWindowVisible(menu_hwnd) != FALSE),
                  std::make_tuple(hot, ids, ids.empty()));
    }
    DestroyWindow(thief);
    menu->Close();
    EXPECT_FALSE(IsWindow(menu_hwnd) || menu->IsOpen());
    // Destroyed while fading: no window, map entry or frame timer of it is left.
    menu_hwnd = Open();
    ASSERT_TRUE(menu->IsFading());
    delete menu;
    menu = nullptr;
    EXPECT_FALSE(IsWindow(menu_hwnd) || Gui::Ctrl::GetWindowMap().count(menu_hwnd));
    gui_test::RunLoopFor(100);
}

WIN32_TRAY_ICON_STATE State(const ctrls::TrayIcon& icon) {
    WIN32_TRAY_ICON_STATE s = {};
    EXPECT_TRUE(Win32TrayIconState(icon.GetHWND(), icon.GetId(), &s));
    return s;
}

TEST(TrayIcon, AddsChangesHidesShowsAndRemovesItselfAndTakesClicks) {
    gui_test::StartToolkit();
    auto* icon = new ctrls::TrayIcon;
    ctrls::TrayIcon second;
    HWND hwnd = icon->GetHWND();
    EXPECT_EQ(second.GetId(), icon->GetId() + 1);
    EXPECT_TRUE(hwnd != second.GetHWND() && !IsWindowVisible(hwnd));
    EXPECT_EQ(Gui::Ctrl::GetWindowMap().count(hwnd), 1u);
    EXPECT_EQ(State(*icon).callback_message + (State(*icon).flags & 7u), 0x807u);

    Gui::ImageBuffer b(16, 16);
    std::fill(b.Begin(), b.Begin() + 256, Gui::MakeRGBA(200, 0, 0, 255));
    const WIN32_TRAY_ICON_STATE s =
        State(icon->SetIcon(Gui::Image(b)).SetTooltip(L"演示游戏下载器"));
    EXPECT_TRUE(std::wstring(s.tip) == L"演示游戏下载器" && s.icon);
    EXPECT_NE(State(icon->SetIcon(Gui::Image::Arrow())).icon, s.icon);
    delete icon;
    EXPECT_FALSE(Win32TrayIconCount(hwnd) || IsWindow(hwnd) ||
                 Gui::Ctrl::GetWindowMap().count(hwnd));

    for (const auto& [show, tip] :
         {std::pair(false, L"hidden"), {false, L"still"}, {true, L"back"}, {true, L"on"}}) {
        second.Show(show);
        second.SetTooltip(tip);
        EXPECT_EQ(Win32TrayIconCount(second.GetHWND()), show ? 1u : 0u);
        EXPECT_TRUE(!show || std::wstring(State(second).tip) == tip) << tip;
    }
    int left = 0, right = 0;
    second.WhenLeftClick = testing_support::Do([&] { ++left; });
    second.WhenRightClick = testing_support::Do([&] { ++right; });
    // clang-format off
    const std::tuple<UINT, int, int, bool> clicks[] = {  // the last names another icon
        {WM_LBUTTONUP, 1, 0, false}, {WM_RBUTTONUP, 1, 1, false}, {WM_LBUTTONDOWN, 1, 1, false},
        {WM_RBUTTONUP, 1, 2, false}, {WM_LBUTTONUP, 1, 2, true}};
    // clang-format on
    for (const auto& [button, lefts, rights, another_icon] : clicks) {
        if (another_icon)
            PostMessageW(second.GetHWND(), 0x800, second.GetId() + 1, button);
        else
            ASSERT_TRUE(Win32TrayClick(second.GetHWND(), second.GetId(), button));
        MSG msg;
        while (PeekMessageW(&msg, second.GetHWND(), 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        EXPECT_EQ(std::make_pair(left, right), std::make_pair(lefts, rights)) << button;
    }
}

}  // namespace
