// The window chrome of the demo skin on a real layer window: what it paints, where
// a press drags the window, and what its boxes ask of the window.
#include <gtest/gtest.h>

#include "ctrls/system_panel.h"
#include "ctrls_support.h"

namespace {

using Gui::Ctrl;
using Gui::Point;

class SystemPanelTest : public ctrls_test::SkinLoaded, public ::testing::Test {
protected:
    SystemPanelTest() {
        EXPECT_TRUE(ctrls_test::Skin().GetStyle("mainwnd.sys", style));
        panel.SetStyle(style);
        root.Add(panel.SizePos());
    }
    Point WindowAt() {
        RECT r;
        GetWindowRect(root.hwnd, &r);
        return Point(r.left, r.top);
    }

    ctrls_test::Root root;  // at 100, 100
    ctrls::SystemPanel::Style style;
    ctrls::SystemPanel panel;
};

TEST_F(SystemPanelTest, TheTitleAreaDragsTheWindowAndTheBoxesPostTheirCommands) {
    const struct {
        Point press, pointer_moves;
        Point window;
        WPARAM command;  // 0: none posted
    } rows[] = {
        {{50, 10}, {30, 20}, {130, 120}, 0},          {{300, 31}, {-90, 500}, {10, 600}, 0},
        {{50, 40}, {30, 20}, {100, 100}, 0},  // below the title area
        {{550, 16}, {0, 0}, {100, 100}, SC_MINIMIZE}, {{580, 16}, {0, 0}, {100, 100}, SC_CLOSE},
        {{580, 16}, {0, 100}, {100, 100}, 0},  // dragged off the box before the release
    };
    for (const auto& row : rows) {
        SetWindowPos(root.hwnd, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SetCursorPos(100 + row.press.x, 100 + row.press.y);
        root.Mouse(Ctrl::LEFTDOWN, row.press);
        const bool drags = row.window != Point(100, 100);
        EXPECT_EQ(panel.IsDragging(), drags);
        SetCursorPos(100 + row.press.x + row.pointer_moves.x,
                     100 + row.press.y + row.pointer_moves.y);
        // A window that moves with the pointer keeps it over the same point of it.
        const Point at(row.press.x + (drags ? 0 : row.pointer_moves.x),
                       row.press.y + (drags ? 0 : row.pointer_moves.y));
        root.Mouse(Ctrl::MOUSEMOVE, at);
        root.Mouse(Ctrl::LEFTUP, at);
        SetCursorPos(700, 700);
        root.Mouse(Ctrl::MOUSEMOVE, at);
        EXPECT_EQ(WindowAt(), row.window) << row.press.x << "," << row.press.y;
        MSG msg;
        const bool posted = PeekMessageW(&msg, root.hwnd, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE);
        EXPECT_EQ(posted ? msg.wParam : 0, row.command) << row.press.x << "," << row.press.y;
    }
}

TEST_F(SystemPanelTest, ItPaintsTheSkinsBackgroundIconTitleAndBoxes) {
    const ctrls_test::Canvas painted(panel);
    for (Point p : {Point(300, 250), Point(3, 100), Point(599, 278)})
        EXPECT_EQ(painted.At(p.x, p.y), ctrls_test::Rgb(style.wndbg, p.x, p.y));
    EXPECT_EQ(painted.At(style.iconpos.x + 8, style.iconpos.y + 8),
              ctrls_test::Rgb(style.icon, 8, 8));
    const Gui::Rect title =
        painted.Ink(ctrls_test::Rgb(style.wndbg, 100, 4), Gui::Rect(style.titlepos.x, 2, 200, 30));
    EXPECT_NEAR(title.left, style.titlepos.x, 1);
    EXPECT_EQ(panel.GetTitle(), L"演示游戏 下载器");
    EXPECT_EQ(panel.MinBox().GetRect(), Gui::RectC(536, 4, 28, 24));
    EXPECT_EQ(panel.CloseBox().GetRect(), Gui::RectC(566, 4, 28, 24));
}

}  // namespace
