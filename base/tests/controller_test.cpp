#include "base/controller.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using Events = std::vector<std::string>;
Events g_events;

class TestController : public base::Controller {
public:
    bool Start(const std::wstring&) override { return true; }
};

// An object of the kind that notes its end; Id tells the classes apart.
template <class Kind, int Id, bool kReleaseFirst = false>
struct Noted : Kind {
    Noted() { ++alive; }
    ~Noted() override { --alive, g_events.push_back(name); }
    bool NeedReleaseFirst() { return kReleaseFirst; }  // overrides it for logic objects
    static inline int alive = 0;
    static inline const char* name = "";
};
using Counting = Noted<base::LogicObject, 1>;
using Other = Noted<base::LogicObject, 2>;
using Pools = Noted<base::LogicObject, 3, true>;
using Late = Noted<base::LogicObject, 4>;
using MainWindow = Noted<base::UIObject, 5>;
using Prompt = Noted<base::UIObject, 6>;

// Asks for another object from its destructor, as a manager shutting down might.
template <class Wanted>
struct NeedsOnExit : base::LogicObject {
    ~NeedsOnExit() override {
        g_events.push_back(base::GetRegisteredObject<Wanted>() ? "saw it" : "none");
    }
};

TEST(ControllerTest, EachClassHasOneInstanceMadeOnItsFirstRequest) {
    Counting::name = "counting", Late::name = "late", MainWindow::name = "window";
    base::SetController(nullptr);
    EXPECT_EQ(base::GetRegisteredObject<Counting>(), nullptr);
    EXPECT_FALSE(base::HasUIObject(base::TypeId<MainWindow>()) ||
                 base::RemoveUIObject(base::TypeId<MainWindow>()));
    {
        TestController controller;
        base::SetController(&controller);
        EXPECT_FALSE(controller.HasObject<Counting>() || Counting::alive);
        base::LogicObject* first = controller.GetObject<Counting>();
        EXPECT_EQ(std::make_tuple(controller.GetObject<Counting>(),
                                  base::GetRegisteredObject<Counting>(), Counting::alive),
                  std::make_tuple(first, first, 1));
        EXPECT_NE(controller.GetObject<Other>(), first);

        const int id = base::TypeId<MainWindow>();
        base::UIObject* window = controller.GetObject<MainWindow>();
        EXPECT_TRUE(base::HasUIObject(id));
        EXPECT_FALSE(base::RemoveUIObject(base::TypeId<Prompt>()) || base::RemoveUIObject(987654));
        EXPECT_EQ(controller.GetUIObjectTable()->FindObject(id), window);
        EXPECT_TRUE(base::RemoveUIObject(id));
        EXPECT_EQ(MainWindow::alive, 0);
        EXPECT_FALSE(base::HasUIObject(id) || base::RemoveUIObject(id));
        controller.GetObject<MainWindow>();  // made anew
        EXPECT_EQ(MainWindow::alive, 1);

        base::ObjectTable table;  // an object under a taken id is deleted
        auto* kept = new Other;
        ASSERT_EQ(table.AddObject(7, kept), kept);
        g_events.clear();
        EXPECT_EQ(table.AddObject(7, new Late), nullptr);
        EXPECT_EQ(g_events, Events{"late"});
        EXPECT_TRUE(table.FindObject(7) == kept && table.FindObject(8) == nullptr);
    }
    EXPECT_EQ(base::GetController(), nullptr);  // a destroyed controller is no longer set
}

TEST(ControllerTest, ReleaseGoesWindowsFirstReleasersThenTheRestNewestFirstMakingNothing) {
    Counting::name = "counting", Pools::name = "pools", Late::name = "late";
    MainWindow::name = "window", Prompt::name = "prompt";
    g_events.clear();
    {
        TestController c;
        c.GetObject<Counting>(), c.GetObject<Pools>(), c.GetObject<MainWindow>();
        c.GetObject<Late>(), c.GetObject<Prompt>();
    }
    // Ids follow first requests only when this test runs alone; order among the rest is
    // therefore checked through the ids themselves.
    const bool prompt_first = base::TypeId<Prompt>() > base::TypeId<MainWindow>();
    const bool late_first = base::TypeId<Late>() > base::TypeId<Counting>();
    EXPECT_EQ(
        g_events,
        (Events{prompt_first ? "prompt" : "window", prompt_first ? "window" : "prompt", "pools",
                late_first ? "late" : "counting", late_first ? "counting" : "late"}));

    // Destructors run while the older objects are still there, but nothing new is made
    // for them, windows included, once the release has begun.
    Other::name = "other";
    g_events.clear();
    auto* controller = new TestController;
    base::SetController(controller);
    controller->GetObject<Other>();
    controller->GetObject<NeedsOnExit<Other>>();
    ASSERT_LT(base::TypeId<Other>(), base::TypeId<NeedsOnExit<Other>>());
    delete controller;
    for (bool window : {false, true}) {
        controller = new TestController;
        base::SetController(controller);
        if (window) controller->GetObject<MainWindow>();
        window ? (void)controller->GetObject<NeedsOnExit<MainWindow>>()
               : (void)controller->GetObject<NeedsOnExit<Counting>>();
        delete controller;
    }
    EXPECT_EQ(g_events, (Events{"saw it", "other", "none", "window", "none"}));
    EXPECT_EQ(Counting::alive, 0);
}

}  // namespace
