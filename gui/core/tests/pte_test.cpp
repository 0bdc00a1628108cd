#include "gui/core/pte.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Widget : Gui::Pte<Widget> {
    int value = 42;
};

// The watched part is not at the start of the object.
struct Base {
    virtual ~Base() = default;
    long long pad = 1;
};
struct Offset : Base, Gui::Pte<Offset> {
    int value = 7;
};

TEST(Ptr, ReadsTheObjectWhileItLives) {
    Widget w;
    Gui::Ptr<Widget> p = &w;
    EXPECT_EQ(p.Get(), &w);
    EXPECT_EQ(p->value, 42);
    EXPECT_TRUE(p == &w);
}

TEST(Ptr, NullPtrReadsNull) {
    Gui::Ptr<Widget> p;
    EXPECT_EQ(p.Get(), nullptr);
    Gui::Ptr<Widget> q = static_cast<Widget*>(nullptr);
    EXPECT_TRUE(q == nullptr);
}

TEST(Ptr, AllHandlesReadNullOnceTheObjectIsDestroyed) {
    auto* w = new Widget;
    Gui::Ptr<Widget> a = w, b = w;
    Gui::Ptr<Widget> c = a;
    delete w;
    EXPECT_EQ(a.Get(), nullptr);
    EXPECT_EQ(b.Get(), nullptr);
    EXPECT_EQ(c.Get(), nullptr);
    Gui::Ptr<Widget> d = a;  // a copy of a dead pointer is null
    EXPECT_EQ(d.Get(), nullptr);
}

TEST(Ptr, ConvertsBackAcrossTheBasePosition) {
    Offset o;
    Gui::Ptr<Offset> p = &o;
    EXPECT_EQ(p.Get(), &o);
    EXPECT_EQ(p->value, 7);
}

TEST(Ptr, AssigningAnotherObjectFollowsIt) {
    Widget a, b;
    b.value = 5;
    Gui::Ptr<Widget> p = &a;
    p = &b;
    EXPECT_EQ(p->value, 5);
    p = static_cast<Widget*>(nullptr);
    EXPECT_EQ(p.Get(), nullptr);
}

TEST(Ptr, ReleasingAllHandlesOfALiveObjectLetsANewPtrWatchIt) {
    Widget w;
    { Gui::Ptr<Widget> p = &w; }
    Gui::Ptr<Widget> q = &w;
    EXPECT_EQ(q.Get(), &w);
}

TEST(Ptr, ACopiedObjectIsWatchedOnItsOwn) {
    auto* a = new Widget;
    Gui::Ptr<Widget> pa = a;
    Widget b = *a;
    Gui::Ptr<Widget> pb = &b;
    delete a;
    EXPECT_EQ(pa.Get(), nullptr);
    EXPECT_EQ(pb.Get(), &b);
}

TEST(Ptr, HandlesMadeAndDroppedOnManyThreadsKeepTheCountRight) {
    Widget w;
    Gui::Ptr<Widget> keep = &w;
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                Gui::Ptr<Widget> p = &w;
                Gui::Ptr<Widget> q = keep;
                if (p.Get() != &w || q.Get() != &w) ++wrong;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(keep.Get(), &w);
}

}  // namespace
