// Buttons, check boxes and links under the mouse in a real window, with the demo
// skin's looks: what they show and when they act.
#include <string.h>

#include "ctrls/button.h"
#include "ctrls/link_ctrl.h"
#include "ctrls/option_ctrl.h"
#include "ctrls/static_text.h"
#include "ctrls_support.h"

namespace {

using ctrls::Button;
using ctrls_test::Canvas;
using Gui::Ctrl;
using Gui::Point;

using PushTest = ctrls_test::CtrlsTest;

TEST_F(PushTest, AButtonShowsItsStateAndActsOnlyOnAReleaseOverIt) {
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
        EXPECT_EQ(b.GetLook(), row.look) << row.steps;
        EXPECT_EQ(actions, row.actions) << row.steps;
        const bool held = row.enabled && strchr(row.steps, 'd') && !strchr(row.steps, 'u');
        EXPECT_EQ(Ctrl::GetCaptureCtrl() == &b, held) << row.steps;
        // Beside the caption the face is the look's own picture, pixel for pixel.
        EXPECT_EQ(Canvas(b).At(3, 22), ctrls_test::Rgb(style.look[row.look], 3, 22));
        Play("u", Point());
    }
}

TEST_F(PushTest, ACheckBoxTogglesOnAClick) {
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

TEST_F(PushTest, ALinkUnderTheMouseTakesItsHotFontAndTheHandAndActsOnAClick) {
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

}  // namespace
