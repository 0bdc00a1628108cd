// The controls in a real window with the demo skin's looks: buttons, check boxes and
// links under the mouse (what they show and when they act), texts placed and shortened,
// the progress bar's block, and the window chrome (what it paints, where a press drags
// the window, what its boxes ask of it).
#include <string.h>

#include "base/string_util.h"
#include "ctrls/button.h"
#include "ctrls/link_ctrl.h"
#include "ctrls/option_ctrl.h"
#include "ctrls/progress_ctrl.h"
#include "ctrls/static_text.h"
#include "ctrls/system_panel.h"
#include "ctrls/text_place.h"
#include "ctrls_support.h"

namespace {

using ctrls::Button;
using ctrls::StaticText;
using ctrls_test::Canvas;
using Gui::Ctrl;
using Gui::Point;
using ControlsTest = ctrls_test::CtrlsTest;

TEST_F(ControlsTest, AButtonShowsItsStateAndActsOnlyOnAReleaseOverIt) {
    const struct {
        const char* steps;
        bool enabled;
        Button::Look look;
        int actions;
    } rows[] = {
        {"e", true, Button::HOT, 0},         {"ed", true, Button::PRESSED, 0},
        {"edu", true, Button::HOT, 1},       {"edo", true, Button::NORMAL, 0},
        {"edou", true, Button::NORMAL, 0},   {"edoeu", true, Button::HOT, 1},
        {"edu", false, Button::DISABLED, 0},
    };
    ctrls::ButtonStyle style;
    ASSERT_TRUE(ctrls_test::GetStyle("mainwnd.start", style));
    for (const auto& row : rows) {
        Button b;
        root.Add(b.SetStyle(style).LeftPos(460, 120).TopPos(190, 44));
        b.Enable(row.enabled);
        b.WhenAction = counter;
        actions = 0;
        Play(row.steps, Point(500, 200));
        EXPECT_EQ(std::make_pair(b.GetLook(), actions), std::make_pair(row.look, row.actions))
            << row.steps;
        const bool held = row.enabled && strchr(row.steps, 'd') && !strchr(row.steps, 'u');
        EXPECT_EQ(Ctrl::GetCaptureCtrl() == &b, held) << row.steps;
        // Beside the caption the face is the look's own picture, pixel for pixel.
        EXPECT_EQ(Canvas(b).At(3, 22), ctrls_test::Rgb(style.look[row.look], 3, 22));
        Play("u", Point());
    }
}

TEST_F(ControlsTest, ACheckBoxTogglesOnAClick) {
    ctrls::OptionCtrl o;
    root.Add(o.SetLabel(L"开机启动").LeftPos(10, 100).TopPos(10, 20));
    o.WhenAction = counter;
    for (bool checked : {true, false, true}) {
        Play("edu", Point(15, 20));
        EXPECT_EQ(o.Get(), checked);
    }
    Play("edoue", Point(15, 20));
    EXPECT_EQ(actions, 3);
    const Gui::Image& box = o.GetStyle().pressed[ctrls::OptionCtrl::HOT];
    const Canvas painted(o);  // the box 3 pixels down: the checked one's tick and hot edge
    EXPECT_EQ(painted.At(5, 11), ctrls_test::Rgb(box, 5, 8));
    EXPECT_EQ(painted.At(0, 9), ctrls_test::Rgb(box, 0, 6));
}

TEST_F(ControlsTest, ALinkUnderTheMouseTakesItsHotFontAndTheHandAndActsOnAClick) {
    ctrls::LinkCtrl<ctrls::StaticText> link;
    ctrls::LinkStyle style;
    ASSERT_TRUE(ctrls_test::GetStyle("mainwnd.link_home", style));
    root.Add(link.SetStyle(style).SetText(L"官方网站").LeftPos(464, 48).TopPos(252, 16));
    link.WhenAction = counter;
    Play("e", Point(470, 260));
    EXPECT_TRUE(link.GetFont().IsUnderline());
    EXPECT_EQ(link.GetFont(), style.textfont1);
    EXPECT_EQ(root.Mouse(Ctrl::CURSORIMAGE, Point(470, 260)).GetSerialId(),
              Gui::Image::Hand().GetSerialId());
    Play("dudou", Point(470, 260));
    EXPECT_EQ(actions, 1) << "the second press was released elsewhere";
    EXPECT_EQ(link.GetFont(), style.textfont0);
}

TEST(TextPlaceTest, ALineSitsByTheSkinsAlignNumbers) {
    const Gui::Rect r(10, 20, 210, 36);
    const int x[] = {92, 10, 174, 92};  // align 0 centre, 1 left, 2 right, any other centre
    for (int align = 0; align < 4; ++align)
        EXPECT_EQ(ctrls::PlaceText(r, Gui::Size(36, 12), align), Gui::Point(x[align], 22));
    EXPECT_EQ(ctrls::PlaceText(r, Gui::Size(36, 12), 2, 1), Gui::Point(174, 20)) << "top";
}

TEST_F(ControlsTest, ATextTooWideEndsInDotsUntilThereIsRoom) {
    StaticText t;
    const std::wstring path = L"D:\\KeltoGames\\DemoGame\\下载";
    t.SetText(path).SetRect(0, 0, 60, 16);
    const std::wstring shown = t.GetShownText();
    EXPECT_EQ(path.substr(0, shown.size() - 3) + L"...", shown);
    EXPECT_LE(base::GetTextWidth(shown, t.GetFont()), 60);
    t.SetRect(0, 0, 400, 16);
    EXPECT_EQ(t.GetShownText(), path);
}

TEST_F(ControlsTest, AProgressBlockCoversThePartDoneAndRepaintsOnlyWhenItGrows) {
    ctrls::ProgressCtrl bar;
    root.Add(bar.LeftPos(20, 420).TopPos(206, 10));
    const struct {
        int pos, total, got, width;
        bool repaint;
    } rows[] = {{-5, 10000, 0, 0, false},        {1, 10000, 1, 0, false},
                {24, 10000, 24, 1, true},        {2500, 10000, 2500, 105, true},
                {2510, 10000, 2510, 105, false}, {12000, 10000, 10000, 420, true},
                {3, 0, 1, 420, false},           {1, 4, 1, 105, true}};
    for (const auto& row : rows) {
        root.invalid.clear();
        bar.Set(row.pos, row.total);
        root.ClearRefreshPending();
        EXPECT_EQ(std::make_tuple(bar.Get(), bar.GetBlockWidth(), !root.invalid.empty()),
                  std::make_tuple(row.got, row.width, row.repaint))
            << row.pos;
        // The standard block's face, inside its one-pixel edge, spans the width.
        EXPECT_EQ(Canvas(bar).Count(Gui::RectC(0, 5, 420, 1), 0x06B025),
                  std::max(row.width - 2, 0));
    }
}

TEST_F(ControlsTest, ItPaintsTheSkinsChromeDragsByTheTitleAndPostsTheBoxesCommands) {
    ctrls::SystemPanel::Style style;
    ASSERT_TRUE(ctrls_test::GetStyle("mainwnd.sys", style));
    ctrls::SystemPanel panel;
    root.Add(panel.SetStyle(style).SizePos());
    const Canvas painted(panel);
    for (Point p : {Point(300, 250), Point(3, 100), Point(599, 278)})
        EXPECT_EQ(painted.At(p.x, p.y), ctrls_test::Rgb(style.wndbg, p.x, p.y));
    EXPECT_EQ(painted.At(18, 16), ctrls_test::Rgb(style.icon, 8, 8)) << "the icon at 10, 8";
    const Gui::Rect title(style.titlepos.x, 0, 200, 30);
    EXPECT_GT(painted.Count(title, 0xE8ECF2), 20);
    EXPECT_EQ(Canvas(panel.SetTitle(L"")).Count(title, 0xE8ECF2), 0);
    EXPECT_EQ(std::make_pair(panel.MinBox().GetRect(), panel.CloseBox().GetRect()),
              std::make_pair(Gui::RectC(536, 4, 28, 24), Gui::RectC(566, 4, 28, 24)));
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
        // The pointer's latest position runs ahead of the events: the events count.
        SetCursorPos(700, 700);
        root.Mouse(Gui::Ctrl::LEFTDOWN, row.press);
        EXPECT_EQ(panel.IsDragging(), row.drags);
        const Point d = row.pointer_moves;
        const Point at(row.press.x + d.x, row.press.y + d.y);
        root.Mouse(Gui::Ctrl::MOUSEMOVE, at);
        // A window that moved with the pointer keeps it over the same point of it.
        const Point up = row.drags ? row.press : at;
        root.Mouse(Gui::Ctrl::LEFTUP, up);
        root.Mouse(Gui::Ctrl::MOUSEMOVE, Point(up.x + 5, up.y + 5));
        RECT r;
        GetWindowRect(root.hwnd, &r);
        EXPECT_EQ(Point(r.left, r.top), row.drags ? Point(100 + d.x, 100 + d.y) : Point(100, 100));
        MSG msg;
        const bool posted = PeekMessageW(&msg, root.hwnd, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE);
        EXPECT_EQ(posted ? msg.wParam : 0, row.command) << row.press.x << "," << row.press.y;
    }
}

}  // namespace
