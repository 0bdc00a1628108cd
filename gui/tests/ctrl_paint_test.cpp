// Invalidation climbing to the window, and the paint walk on a back buffer.
#include <gtest/gtest.h>

#include "ctrl_support.h"
#include "draw_support.h"

namespace {

using ctrl_test::g_log;
using ctrl_test::Probe;
using ctrl_test::TopProbe;
using Gui::Color;
using Gui::Rect;
using Rects = std::vector<Rect>;

class CtrlPaint : public ::testing::Test {
protected:
    void SetUp() override {
        top.Add(parent.LeftPos(20, 40).TopPos(20, 40));
        parent.Add(child.LeftPos(5, 10).TopPos(5, 10));
        top.ClearRefreshPending();
        top.invalid.clear();
    }
    TopProbe top;
    Probe parent{"p"}, child{"k"};
};

TEST_F(CtrlPaint, AWholeRefreshWaitsForThePaintUnlessAlwaysRefreshed) {
    for (int i = 0; i < 2; ++i) child.Refresh();
    EXPECT_EQ(top.invalid, (Rects{Gui::RectC(25, 25, 10, 10)}));
    top.ClearRefreshPending();
    child.Refresh();
    EXPECT_EQ(top.invalid.size(), 2u);
    parent.SetAlwaysRefresh();
    for (int i = 0; i < 2; ++i) child.Refresh();
    EXPECT_EQ(top.invalid.size(), 4u);
}

TEST_F(CtrlPaint, OverPaintLetsARefreshReachThatFarOutsideTheView) {
    parent.overpaint = 3;
    parent.RefreshRect(Rect(-10, -10, 50, 50));
    EXPECT_EQ(top.invalid, (Rects{Rect(17, 17, 63, 63)}));
    RECT update = {};
    ASSERT_TRUE(GetUpdateRect(top.hwnd, &update, FALSE));
    EXPECT_EQ(Rect(update.left, update.top, update.right, update.bottom), Rect(17, 17, 63, 63));
}

TEST_F(CtrlPaint, NothingIsInvalidatedForHiddenControlsOrAClosedWindow) {
    void (*const hide[])(TopProbe&, Probe&, Probe&) = {
        [](TopProbe&, Probe&, Probe& k) { k.Hide(); },
        [](TopProbe&, Probe& p, Probe&) { p.Hide(); },
        [](TopProbe& t, Probe&, Probe&) { t.SetOpen(false); },
    };
    for (auto setup : hide) {
        setup(top, parent, child);
        top.invalid.clear();
        child.Refresh();
        child.RefreshFrame(0, 0, 5, 5);
        child.Refresh(1, 1, 2, 2);
        EXPECT_TRUE(top.invalid.empty());
        parent.Show();
        child.Show();
        top.SetOpen(true);
        top.ClearRefreshPending();
    }
}

TEST_F(CtrlPaint, ChildrenPaintInOrderClippedToTheirParent) {
    Probe over("o"), outside("x"), thin("t");
    parent.Add(over.LeftPos(10, 40).TopPos(10, 10));  // reaches 10 past the parent
    parent.Add(thin.LeftPos(0, 0).TopPos(0, 10));
    top.Add(outside.LeftPos(150, 10).TopPos(0, 10));
    parent.fill = Color(0, 0, 0xFF);
    child.fill = Color(0xFF, 0, 0);
    over.fill = Color(0, 0xFF, 0);
    Gui::BackDraw back;
    back.Create(200, 100);
    back.DrawRect(0, 0, 200, 100, Gui::Black());
    g_log.clear();
    top.CtrlPaint(back, Rect(0, 0, 100, 100));
    EXPECT_EQ(g_log, (std::vector<std::string>{"top:paint", "p:paint", "k:paint", "o:paint"}));
    test::Surface s(200, 100, 0);
    Gui::Draw target(s.dc());
    back.Put(target, 0, 0);
    // "k" alone, "o" over "k", the parent's last column, clipped away, the parent.
    EXPECT_EQ(std::vector<uint32_t>(
                  {s.rgb(26, 26), s.rgb(32, 32), s.rgb(59, 32), s.rgb(60, 32), s.rgb(21, 59)}),
              std::vector<uint32_t>({0xFF0000, 0x00FF00, 0x00FF00, 0x000000, 0x0000FF}));
}

}  // namespace
