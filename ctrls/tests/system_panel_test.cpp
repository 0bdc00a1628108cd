// The window chrome of the demo skin on a real layer window: what it paints, where
// a press drags the window, and what its boxes ask of the window.
#include "ctrls/system_panel.h"
#include "ctrls_support.h"

namespace {

using Gui::Point;

using SystemPanelTest = ctrls_test::CtrlsTest;

TEST_F(SystemPanelTest, ItPaintsTheSkinsChromeDragsByTheTitleAndPostsTheBoxesCommands) {
    ctrls::SystemPanel::Style style;
    ASSERT_TRUE(ctrls_test::GetStyle("mainwnd.sys", style));
    ctrls::SystemPanel panel;
    root.Add(panel.SetStyle(style).SizePos());
    const ctrls_test::Canvas painted(panel);
    for (Point p : {Point(300, 250), Point(3, 100), Point(599, 278)})
        EXPECT_EQ(painted.At(p.x, p.y), ctrls_test::Rgb(style.wndbg, p.x, p.y));
    EXPECT_EQ(painted.At(18, 16), ctrls_test::Rgb(style.icon, 8, 8)) << "the icon at 10, 8";
    const Gui::Rect title(style.titlepos.x, 0, 200, 30);
    EXPECT_GT(painted.Count(title, 0xE8ECF2), 20);
    EXPECT_EQ(ctrls_test::Canvas(panel.SetTitle(L"")).Count(title, 0xE8ECF2), 0);
    EXPECT_EQ(panel.MinBox().GetRect(), Gui::RectC(536, 4, 28, 24));
    EXPECT_EQ(panel.CloseBox().GetRect(), Gui::RectC(566, 4, 28, 24));
    const struct {
        Point press, pointer_moves;
        bool drags;
        WPARAM command;  // 0: none posted
    } rows[] = {
        {{50, 10}, {30, 20}, true, 0},        {{300, 31}, {-90, 500}, true, 0},
        {{50, 40}, {30, 20}, false, 0},       {{550, 16}, {0, 0}, false, SC_MINIMIZE},
        {{580, 16}, {0, 0}, false, SC_CLOSE}, {{580, 16}, {0, 100}, false, 0},
    };
    for (const auto& row : rows) {
        SetWindowPos(root.hwnd, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SetCursorPos(100 + row.press.x, 100 + row.press.y);
        root.Mouse(Gui::Ctrl::LEFTDOWN, row.press);
        EXPECT_EQ(panel.IsDragging(), row.drags);
        const Point d = row.pointer_moves;
        SetCursorPos(100 + row.press.x + d.x, 100 + row.press.y + d.y);
        // A window that moves with the pointer keeps it over the same point of it.
        const Point at(row.press.x + (row.drags ? 0 : d.x), row.press.y + (row.drags ? 0 : d.y));
        root.Mouse(Gui::Ctrl::MOUSEMOVE, at);
        root.Mouse(Gui::Ctrl::LEFTUP, at);
        SetCursorPos(700, 700);
        root.Mouse(Gui::Ctrl::MOUSEMOVE, at);
        RECT r;
        GetWindowRect(root.hwnd, &r);
        EXPECT_EQ(Point(r.left, r.top), row.drags ? Point(100 + d.x, 100 + d.y) : Point(100, 100));
        MSG msg;
        const bool posted = PeekMessageW(&msg, root.hwnd, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE);
        EXPECT_EQ(posted ? msg.wParam : 0, row.command) << row.press.x << "," << row.press.y;
    }
}

}  // namespace
