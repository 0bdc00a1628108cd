// The layered pop-up menu on the layer's windows: its items, look and per-pixel
// alpha, the hot item, choosing, hiding, the fade-in and its end.
#include <gtest/gtest.h>

#include "ctrls/layered_menu.h"
#include "skin/skin_loader.h"
#include "testing/lambda_callback.h"
#include "window_support.h"

namespace {

using namespace window_test;

// Item paper 2..146 x 3..23 and 23..43; the background is red at half alpha.
constexpr char kSkin[] =
    "menu\n{\n bg \"img/half.png\"\n itemheight 20\n margin \"2,3,4,5\"\n"
    " textcolor \"#102030\"\n hottextcolor \"#C00000\"\n hotcolor \"#00C000\"\n}\n";

class LayeredMenuTest : public testing::Test {
protected:
    void SetUp() override {
        gui_test::StartToolkit();
        skin::SkinLoader& skin = skin::SkinLoader::Instance();
        ASSERT_TRUE(skin.LoadInfo(kSkin));
        Gui::ImageBuffer half(3, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x) half[y][x] = Gui::MakeRGBA(128, 0, 0, 128);
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

    struct Chosen : Gui::Callback1Action<int> {
        explicit Chosen(std::vector<int>& ids) : ids(ids) {}
        void Execute(int id) override { ids.push_back(id); }
        std::vector<int>& ids;
    };

    HWND owner = nullptr;
    ctrls::LayeredMenu* menu = nullptr;
    std::vector<int> chosen;
};

TEST_F(LayeredMenuTest, PopupShowsAnOwnedLayeredTopmostWindowThatFadesInAndTakesTheFocus) {
    HWND hwnd = Open();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(GetWindow(hwnd, GW_OWNER), owner);
    const LONG ex = GetWindowLongW(hwnd, GWL_EXSTYLE);
    EXPECT_EQ(ex & (WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_NOACTIVATE),
              WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_NOACTIVATE);
    EXPECT_EQ(GetFocus(), hwnd);
    EXPECT_EQ(menu->GetAlpha(), 0);
    EXPECT_TRUE(menu->IsFading());
    ASSERT_TRUE(gui_test::RunLoopUntil([&] { return !menu->IsFading(); }));
    EXPECT_EQ(menu->GetAlpha(), 255);

    EXPECT_EQ(menu->GetItemRect(0), Gui::Rect(2, 3, 146, 23));
    EXPECT_EQ(menu->GetItemRect(1), Gui::Rect(2, 23, 146, 43));
    EXPECT_EQ(menu->GetItemText(1), L"关闭");
}

TEST_F(LayeredMenuTest, PixelsCarryTheirAlphaAndTheHotItemFollowsTheMouse) {
    HWND hwnd = Open();
    // Premultiplied: half-alpha red is 0x80800000; an opaque band is itself.
    EXPECT_EQ(PixelAt(148, 50), 0x80800000u);
    EXPECT_EQ(PixelAt(5, 15), 0x80800000u);
    const struct {
        int x, y, hot;
        uint32_t item0, item1;  // paper left of each item's text
    } rows[] = {
        {50, 30, 1, 0x80800000u, 0xFF00C000u},
        {50, 10, 0, 0xFF00C000u, 0x80800000u},
        {148, 58, -1, 0x80800000u, 0x80800000u},
    };
    for (const auto& row : rows) {
        // The pointer is really there: the toolkit's leave check looks.
        SetCursorPos(300 + row.x, 200 + row.y);
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(row.x, row.y));
        EXPECT_EQ(menu->GetHot(), row.hot) << row.x << "," << row.y;
        EXPECT_EQ(PixelAt(5, 5), row.item0) << row.hot;
        EXPECT_EQ(PixelAt(5, 40), row.item1) << row.hot;
    }
}

TEST_F(LayeredMenuTest, AClickChoosesAndHidesWhileFocusLossAndEscapeOnlyHide) {
    HWND thief = PlainWindow();
    const struct {
        const char* how;
        void (*act)(HWND menu, HWND thief);
        std::vector<int> chosen;
        bool visible;
    } rows[] = {
        {"click on the second item",
         [](HWND m, HWND) {
             SendMessageW(m, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 30));
             SendMessageW(m, WM_LBUTTONUP, 0, MAKELPARAM(60, 30));
         },
         {1},
         false},
        {"click on the margin",
         [](HWND m, HWND) {
             SendMessageW(m, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 50));
             SendMessageW(m, WM_LBUTTONUP, 0, MAKELPARAM(60, 50));
         },
         {},
         true},
        {"focus elsewhere", [](HWND, HWND t) { SetFocus(t); }, {}, false},
        {"escape", [](HWND m, HWND) { SendMessageW(m, WM_KEYDOWN, VK_ESCAPE, 0); }, {}, false},
    };
    for (const auto& row : rows) {
        chosen.clear();
        HWND hwnd = Open();
        row.act(hwnd, thief);
        EXPECT_EQ(chosen, row.chosen) << row.how;
        EXPECT_EQ(IsWindowVisible(hwnd) != FALSE, row.visible) << row.how;
        EXPECT_TRUE(menu->IsOpen()) << "hiding keeps the window: " << row.how;
        EXPECT_EQ(menu->GetHWND(), hwnd) << row.how;
    }
    DestroyWindow(thief);
}

TEST_F(LayeredMenuTest, PopupKeepsTheMenuOnTheWorkArea) {
    const Gui::Rect work = Gui::GetWorkArea();
    const struct {
        Gui::Rect at, expected;
    } rows[] = {
        {Gui::RectC(100, 100, 150, 60), Gui::RectC(100, 100, 150, 60)},
        {Gui::RectC(-40, -10, 150, 60), Gui::RectC(0, 0, 150, 60)},
        {Gui::RectC(work.right - 20, work.bottom - 5, 150, 60),
         Gui::RectC(work.right - 150, work.bottom - 60, 150, 60)},
    };
    for (const auto& row : rows) {
        HWND hwnd = Open(row.at);
        RECT r;
        GetWindowRect(hwnd, &r);
        EXPECT_EQ(Gui::Rect(r.left, r.top, r.right, r.bottom), row.expected);
    }
}

TEST_F(LayeredMenuTest, ClosingOrDestroyingAFadingMenuLeavesNoTimerOrWindow) {
    HWND hwnd = Open();
    menu->Close();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(menu->IsOpen());

    hwnd = Open();
    ASSERT_TRUE(menu->IsFading());
    delete menu;
    menu = nullptr;
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(Gui::Ctrl::GetWindowMap().count(hwnd), 0u);
    // The fade's frames would run within this time; nothing of the menu is left to run.
    gui_test::RunLoopFor(100);
}

}  // namespace
