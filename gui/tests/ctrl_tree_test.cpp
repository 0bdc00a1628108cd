// The child list, removal, destruction, visibility and the window map.
#include <gtest/gtest.h>

#include <algorithm>

#include "ctrl_support.h"

namespace {

using ctrl_test::g_log;
using ctrl_test::Probe;
using ctrl_test::Rogue;
using ctrl_test::TopProbe;
using Gui::Ctrl;
using Gui::Rect;
using Log = std::vector<std::string>;

std::string Order(const Ctrl& parent) {
    std::string s;
    for (Ctrl* c = parent.GetFirstChild(); c; c = c->GetNext()) s += static_cast<Probe*>(c)->name;
    for (Ctrl* c = parent.GetLastChild(); c; c = c->GetPrev()) s += static_cast<Probe*>(c)->name;
    return s;
}

class CtrlTree : public ::testing::Test {
protected:
    void SetUp() override {
        for (Probe* c : {&a, &b, &c}) top.Add(c->LeftPos(0, 10).TopPos(0, 10));
        top.ClearRefreshPending();  // as after a paint
        top.invalid.clear();
        g_log.clear();
    }

public:
    TopProbe top;
    Probe a{"a"}, b{"b"}, c{"c"};
};

TEST_F(CtrlTree, ReinsertingInTheSameParentOnlyReorders) {
    top.AddChild(&c);  // already last
    top.AddChildBefore(&c, &a);
    EXPECT_EQ(Order(top), "cabbac");
    EXPECT_TRUE(top.invalid.empty());
    EXPECT_EQ(g_log, (Log{"c:cancel", "c:cancel"}));  // leaving and arriving, no re-layout
    top.AddChild(&top);                               // a control never holds itself or an ancestor
    a.AddChild(&top);
    EXPECT_EQ(Order(top), "cabbac");
}

TEST_F(CtrlTree, MovingToAnotherParentRefreshesTheOldAreaAndCancelsTheSubtree) {
    Probe other("o"), grandchild("g");
    top.Add(other.LeftPos(50, 30).TopPos(0, 30));
    b.Add(grandchild);
    b.LeftPos(20, 10);
    top.ClearRefreshPending();
    top.invalid.clear();
    g_log.clear();
    other.Add(b);
    EXPECT_EQ(Order(top), "acooca");
    EXPECT_EQ(b.GetParent(), &other);
    EXPECT_EQ(top.invalid.front(), Rect(20, 0, 30, 10));
    EXPECT_EQ(top.invalid.back(), Rect(70, 0, 80, 10));  // its new place inside "o"
    EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "g:cancel"), 2);
    EXPECT_EQ(g_log.front(), "b:cancel");
    top.RemoveChild(&grandchild);  // not its child
    EXPECT_EQ(grandchild.GetParent(), &b);
}

TEST_F(CtrlTree, RemovingTheControlUnderTheMouseSendsItTheLeave) {
    Probe g("g");
    c.Add(g.SizePos());
    top.Press(Ctrl::MOUSEMOVE, Gui::Point(15, 5));  // over nothing but the window
    top.Press(Ctrl::MOUSEMOVE, Gui::Point(5, 5));
    EXPECT_EQ(Ctrl::GetMouseCtrl(), &g);
    g_log.clear();
    top.invalid.clear();
    top.RemoveChild(&c);  // the parent of the control under the mouse
    EXPECT_EQ(g_log, (Log{"c:cancel", "g:cancel", "g:30@0,0"}));
    EXPECT_EQ(Ctrl::GetMouseCtrl(), nullptr);
    EXPECT_EQ(top.invalid, (std::vector<Rect>{Rect(0, 0, 10, 10)}));
}

TEST_F(CtrlTree, DestroyingAControlUnlinksItWithoutCallingAnything) {
    auto *middle = new Probe("m"), *kid = new Probe("k");
    top.AddChildBefore(middle, &b);
    middle->Add(*kid);
    g_log.clear();
    top.invalid.clear();
    delete middle;
    EXPECT_EQ(Order(top), "abccba");
    EXPECT_EQ(kid->GetParent(), nullptr);
    EXPECT_TRUE(g_log.empty() && top.invalid.empty());
    a.Add(*kid);
    EXPECT_EQ(Order(a), "kk");
    delete kid;
    EXPECT_EQ(a.GetFirstChild(), nullptr);
}

TEST_F(CtrlTree, HandlersMayDestroyOrMoveControlsWhileTheTreeIsWalked) {
    Gui::BackDraw back;
    back.Create(200, 100);
    using Walk = void (*)(CtrlTree&, Gui::Draw&, Rogue&);
    const struct {
        const char* on;
        Walk walk;
        const char* seen;  // by the control after it, if any; none: it was moved meanwhile
    } rows[] = {
        {"cancel", [](CtrlTree& t, Gui::Draw&, Rogue&) { t.top.RemoveChild(&t.a); }, "g:cancel"},
        {"layout", [](CtrlTree& t, Gui::Draw&, Rogue&) { t.a.LeftPos(0, 20); }, "g:layout"},
        {"layout", [](CtrlTree&, Gui::Draw&, Rogue& r) { r.LeftPos(0, 5); }, ""},
        {"paint", [](CtrlTree& t, Gui::Draw& w, Rogue&) { t.top.CtrlPaint(w, Rect(0, 0, 99, 99)); },
         "g:paint"},
        {"cancel", [](CtrlTree& t, Gui::Draw&, Rogue& r) { r.to = &t.b, t.c.Add(r); }, nullptr},
        {"cancel",
         [](CtrlTree& t, Gui::Draw&, Rogue& r) { r.to = &t.b, t.b.LeftPos(0, 30), t.a.Add(r); },
         nullptr},
    };
    for (const auto& row : rows) {
        Rogue* r = new Rogue;
        Probe g("g");
        a.Add(r->SizePos()).Add(g.SizePos());
        g_log.clear();
        r->on = row.on;
        row.walk(*this, back, *r);
        EXPECT_EQ(a.GetFirstChild(), &g) << row.on;
        if (row.seen) {
            EXPECT_TRUE(!*row.seen || std::count(g_log.begin(), g_log.end(), row.seen)) << row.on;
        } else {
            EXPECT_EQ(r->GetRect(), Rect(r->GetParent()->GetSize()));  // placed in it
            EXPECT_EQ(b.GetFirstChild(), nullptr);
            delete r;
        }
        top.Add(a.LeftPos(0, 10));
    }
}

TEST_F(CtrlTree, ShowingAndHidingRefreshOnlyOnAChange) {
    b.Show(true);
    EXPECT_TRUE(top.invalid.empty());
    b.Hide();
    EXPECT_EQ(top.invalid, (std::vector<Rect>{Rect(0, 0, 10, 10)}));
    b.Add(a);
    EXPECT_TRUE(!a.IsVisible() && a.IsShown());
    EXPECT_TRUE(a.GetHWND() == nullptr && top.GetHWND() == top.hwnd);
}

TEST_F(CtrlTree, TheWindowMapForgetsAWindowWhenItIsDestroyed) {
    auto& map = Ctrl::GetWindowMap();
    ASSERT_EQ(map.count(top.hwnd), 1u);
    EXPECT_EQ(map[top.hwnd].Get(), &top);
    DestroyWindow(top.hwnd);
    EXPECT_EQ(map.count(top.hwnd), 0u);
    EXPECT_FALSE(top.IsOpen() || top.GetHWND());
    b.Refresh();
    EXPECT_TRUE(top.invalid.empty());
}

}  // namespace
