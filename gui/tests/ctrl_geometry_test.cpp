// Logical positions turned into rectangles, the layout pass and screen rectangles.
#include <gtest/gtest.h>

#include "ctrl_support.h"

namespace {

using ctrl_test::g_log;
using ctrl_test::Probe;
using ctrl_test::TopProbe;
using Gui::Ctrl;
using Gui::Rect;

TEST(CtrlGeometry, PositionsBecomeRectanglesInTheParentsView) {
    const struct {
        int parent_width;
        void (*place)(Ctrl&);
        int left, right;
    } rows[] = {
        {300, [](Ctrl& c) { c.HSizePos(10, 20); }, 10, 280},
        {25, [](Ctrl& c) { c.HSizePos(10, 20); }, 10, 10},  // extent -5 clamps to 0
        {100, [](Ctrl& c) { c.RightPos(5, 20); }, 75, 95},
        {100, [](Ctrl& c) { c.HCenterPos(21, 0); }, 39, 60},  // 79 / 2 rounds toward zero
        {100, [](Ctrl& c) { c.HCenterPos(21, 3); }, 42, 63},
        {100, [](Ctrl& c) { c.LeftPos(-4, 10); }, -4, 6},
        // Edges stay within GDI's coordinate range, so sums of them cannot overflow.
        {100, [](Ctrl& c) { c.LeftPos(-0x40000000, 0x3FFFFFFF); }, -(1 << 27), -1},
        {0x3FFFFFFF, [](Ctrl& c) { c.HSizePos(-0x40000000, -0x40000000); }, -(1 << 27), 1 << 27},
    };
    for (const auto& row : rows) {
        Probe parent, child;
        parent.SetRect(0, 0, row.parent_width, 50);
        parent.Add(child);
        row.place(child);
        child.VSizePos(5, 5);
        EXPECT_EQ(child.GetRect(), Rect(row.left, 5, row.right, 45)) << row.parent_width;
    }
}

TEST(CtrlGeometry, ChildrenArePlacedAgainOnlyWhenTheSizeChangesOrWhenForced) {
    Probe parent("p"), child("k");
    parent.SetRect(0, 0, 100, 100);
    parent.Add(child.HSizePos(10, 10).VSizePos(10, 10));
    g_log.clear();
    parent.SyncLayout(1);
    EXPECT_EQ(g_log, (std::vector<std::string>{"p:layout"}));
    g_log.clear();
    parent.SyncLayout(2);
    EXPECT_EQ(g_log, (std::vector<std::string>{"k:layout", "p:layout"}));
    g_log.clear();
    parent.SetRect(0, 0, 60, 100);
    EXPECT_EQ(child.GetRect(), Rect(10, 10, 50, 90));
    EXPECT_EQ(g_log, (std::vector<std::string>{"k:layout", "p:layout"}));
}

// Right after the window's first refresh, before any paint.
TEST(CtrlGeometry, MovingAChildInvalidatesItsOldAndNewAreaOnce) {
    TopProbe top;
    Probe child;
    top.Add(child.LeftPos(10, 20).TopPos(10, 20));
    top.invalid.clear();
    child.LeftPos(50, 20);
    EXPECT_EQ(top.invalid, (std::vector<Rect>{Rect(10, 10, 30, 30), Rect(50, 10, 70, 30)}));
    top.invalid.clear();
    child.LeftPos(50, 20);
    EXPECT_TRUE(top.invalid.empty());
}

// The outermost control of an open window moves its window and follows what the
// window says; without a window it is placed in the work area. Screen rectangles
// count the window's position once.
TEST(CtrlGeometry, OutermostControlsFollowTheirWindowOrTheWorkArea) {
    Probe loose;
    loose.RightPos(10, 100).BottomPos(0, 40);
    const Rect work = Gui::GetWorkArea();
    EXPECT_EQ(loose.GetRect(),
              Rect(work.Width() - 110, work.Height() - 40, work.Width() - 10, work.Height()));
    TopProbe top(Gui::RectC(100, 50, 200, 100));
    Probe child, inner;
    top.Add(child.LeftPos(10, 50).TopPos(20, 30));
    child.Add(inner.LeftPos(40, 30).TopPos(5, 5));
    EXPECT_EQ(child.GetScreenRect(), Gui::RectC(110, 70, 50, 30));
    EXPECT_EQ(inner.GetScreenRect(), Gui::RectC(150, 75, 30, 5));
    EXPECT_EQ(inner.GetVisibleScreenRect(), Gui::RectC(150, 75, 10, 5));  // cut by its parent
    top.SetRect(300, 60, 150, 80);
    RECT w = {};
    GetWindowRect(top.hwnd, &w);
    EXPECT_EQ(Rect(w.left, w.top, w.right, w.bottom), Gui::RectC(300, 60, 150, 80));
    EXPECT_EQ(top.GetRect(), Gui::RectC(100, 50, 200, 100));
    top.SetWndRect(Gui::RectC(300, 60, 150, 80));
    EXPECT_EQ(top.GetScreenRect(), Gui::RectC(300, 60, 150, 80));
    EXPECT_EQ(child.GetScreenRect(), Gui::RectC(310, 80, 50, 30));
}

}  // namespace
