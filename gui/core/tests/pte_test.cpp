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

TEST(Ptr, ReadsTheObjectItWasLastGivenUntilTheObjectIsDestroyed) {
    Widget b;
    b.value = 5;
    auto* w = new Widget;
    Gui::Ptr<Widget> p;
    EXPECT_EQ(p.Get(), nullptr);
    p = w;
    EXPECT_EQ(p.Get(), w);
    p = &b;
    EXPECT_EQ(p->value, 5);
    p = static_cast<Widget*>(nullptr);
    EXPECT_TRUE(p == nullptr);
    Offset o;
    Gui::Ptr<Offset> q = &o;
    EXPECT_EQ(q.Get(), &o);
    EXPECT_EQ(q->value, 7);

    { Gui::Ptr<Widget> dropped = w; }  // a record let go of is made anew
    Gui::Ptr<Widget> a = w, b2 = w, c = a;
    Widget copy = *w;  // watched on its own
    Gui::Ptr<Widget> pc = &copy;
    EXPECT_EQ(c.Get(), w);
    delete w;
    EXPECT_TRUE(a == nullptr && b2 == nullptr && c == nullptr);
    Gui::Ptr<Widget> d = a;  // a copy of a dead pointer is null
    EXPECT_EQ(d.Get(), nullptr);
    EXPECT_EQ(pc.Get(), &copy);
}

TEST(Ptr, HandlesMadeAndDroppedOnManyThreadsKeepTheCountRight) {
    Widget w;
    Gui::Ptr<Widget> keep = &w;
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                Gui::Ptr<Widget> p = &w, q = keep;
                if (p.Get() != &w || q.Get() != &w) ++wrong;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(keep.Get(), &w);
}

}  // namespace
