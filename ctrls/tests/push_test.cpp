// Buttons, check boxes and links under the mouse, in a real window with the demo
// skin's looks: what they show and when they act.
#include <gtest/gtest.h>

#include "ctrls/button.h"
#include "ctrls/link_ctrl.h"
#include "ctrls/option_ctrl.h"
#include "ctrls/static_text.h"
#include "ctrls_support.h"
#include "testing/lambda_callback.h"

namespace {

using ctrls::Button;
using ctrls_test::Canvas;
using ctrls_test::Root;
using Gui::Ctrl;
using Gui::Point;

struct Step {
    int event;
    Point at;
};

TEST(PushTest, AButtonShowsItsStateAndActsOnlyOnAReleaseOverIt) {
    ctrls_test::LoadDemoSkin();
    const Point in(500, 200), out(300, 50);
    const Step enter{Ctrl::MOUSEMOVE, in}, down{Ctrl::LEFTDOWN, in}, up{Ctrl::LEFTUP, in},
        leave{Ctrl::MOUSEMOVE, out};
    const struct {
        std::vector<Step> steps;
        bool enabled;
        Button::Look look;
        int actions;
    } rows[] = {
        {{enter}, true, Button::HOT, 0},
        {{enter, down}, true, Button::PRESSED, 0},
        {{enter, down, up}, true, Button::HOT, 1},
        {{enter, down, leave}, true, Button::NORMAL, 0},
        {{enter, down, leave, {Ctrl::LEFTUP, out}}, true, Button::NORMAL, 0},
        {{enter, down, leave, enter, up}, true, Button::HOT, 1},
        {{enter, down, up}, false, Button::DISABLED, 0},
    };
    for (const auto& row : rows) {
        Root root;
        Button b;
        ctrls::ButtonStyle style;
        ASSERT_TRUE(ctrls_test::Skin().GetStyle("mainwnd.start", style));
        b.SetStyle(style).LeftPos(460, 120).TopPos(190, 44);
        root.Add(b);
        b.Enable(row.enabled);
        int actions = 0;
        b.WhenAction = testing_support::Do([&] { ++actions; });
        bool held = false;  // capture lasts from the press to the release
        for (const Step& s : row.steps) {
            root.Mouse(s.event, s.at);
            held = s.event == Ctrl::LEFTDOWN || (held && s.event != Ctrl::LEFTUP);
        }
        EXPECT_EQ(b.GetLook(), row.look) << &row - rows;
        EXPECT_EQ(actions, row.actions) << &row - rows;
        EXPECT_EQ(Ctrl::GetCaptureCtrl() == &b, held && row.enabled);
        // Beside the caption the face is the look's own picture, pixel for pixel.
        EXPECT_EQ(Canvas(b).At(3, 22), ctrls_test::Rgb(style.look[row.look], 3, 22));
    }
}

TEST(PushTest, TheCaptionIsCentredAndMovesByThePressOffset) {
    ctrls_test::LoadDemoSkin();
    Root root;
    Button b;
    b.SetLabel(L"Km").LeftPos(10, 80).TopPos(10, 30);
    root.Add(b);
    root.Mouse(Ctrl::MOUSEMOVE, Point(50, 25));
    const Gui::Rect hot = Canvas(b).Ink(0xE5F1FB, Gui::Rect(1, 1, 79, 29));
    EXPECT_NEAR((hot.left + hot.right) / 2.0, 40, 1.5);
    EXPECT_NEAR((hot.top + hot.bottom) / 2.0, 15, 3);
    root.Mouse(Ctrl::LEFTDOWN, Point(50, 25));
    Gui::Rect pressed = Canvas(b).Ink(0xCCE4F7, Gui::Rect(1, 1, 79, 29));
    pressed.Offset(-1, -1);
    EXPECT_EQ(pressed, hot);
}

TEST(PushTest, ACheckBoxTogglesOnAClickWhenEnabled) {
    ctrls_test::LoadDemoSkin();
    Root root;
    ctrls::OptionCtrl o;
    o.SetLabel(L"开机启动").LeftPos(10, 100).TopPos(10, 20);
    root.Add(o);
    int actions = 0;
    o.WhenAction = testing_support::Do([&] { ++actions; });
    for (bool expected : {true, false, true}) {
        root.Mouse(Ctrl::LEFTDOWN, Point(15, 20));
        root.Mouse(Ctrl::LEFTUP, Point(15, 20));
        EXPECT_EQ(o.Get(), expected);
    }
    EXPECT_EQ(actions, 3);
    const Gui::Image& box = o.GetStyle().pressed[ctrls::OptionCtrl::HOT];
    const Canvas painted(o);  // the box is 3 pixels down: the tick and the hot edge
    EXPECT_EQ(painted.At(5, 11), ctrls_test::Rgb(box, 5, 8));
    EXPECT_EQ(painted.At(0, 9), ctrls_test::Rgb(box, 0, 6));
    o.Disable();
    root.Mouse(Ctrl::LEFTDOWN, Point(15, 20));
    root.Mouse(Ctrl::LEFTUP, Point(15, 20));
    EXPECT_TRUE(o.Get());
    EXPECT_EQ(actions, 3);
}

TEST(PushTest, ALinkUnderTheMouseTakesItsHotFontAndTheHandAndActsOnAClick) {
    ctrls_test::LoadDemoSkin();
    Root root;
    ctrls::LinkCtrl<ctrls::StaticText> link;
    ctrls::LinkStyle style;
    ASSERT_TRUE(ctrls_test::Skin().GetStyle("mainwnd.link_home", style));
    link.SetStyle(style).SetText(L"官方网站");
    root.Add(link.LeftPos(464, 48).TopPos(252, 16));
    int actions = 0;
    link.WhenAction = testing_support::Do([&] { ++actions; });
    EXPECT_EQ(link.GetFont(), style.textfont0);
    EXPECT_EQ(link.GetInk(), style.textcolor);

    root.Mouse(Ctrl::MOUSEMOVE, Point(470, 260));
    EXPECT_TRUE(link.GetFont().IsUnderline());
    EXPECT_EQ(link.GetFont(), style.textfont1);
    EXPECT_EQ(root.Mouse(Ctrl::CURSORIMAGE, Point(470, 260)).GetSerialId(),
              Gui::Image::Hand().GetSerialId());
    root.Mouse(Ctrl::LEFTDOWN, Point(470, 260));
    root.Mouse(Ctrl::LEFTUP, Point(475, 262));
    EXPECT_EQ(actions, 1);
    root.Mouse(Ctrl::LEFTDOWN, Point(470, 260));
    root.Mouse(Ctrl::MOUSEMOVE, Point(300, 100));
    root.Mouse(Ctrl::LEFTUP, Point(300, 100));
    EXPECT_EQ(actions, 1) << "released elsewhere";
    EXPECT_EQ(link.GetFont(), style.textfont0);
}

}  // namespace
