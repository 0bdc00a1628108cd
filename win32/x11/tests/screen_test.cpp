// The layer's screen as a running program sees it (a probe in a process of its own, as the
// layer connects to one display per process) while the X screen changes under it: its
// size, the monitors RandR reports with the primary first, the work area the window
// manager publishes for the current desktop. The desktop is bare, so nothing but the
// server's own reports tells the program of a change.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "testing/child_process.h"
#include "testing/scoped_env.h"

// Xlib's macros last: they would rename what the headers above declare.
#include "testing/x_desktop.h"

using testing_support::XDesktop;

namespace {

TEST(Screen, TheProgramSeesTheXScreenAndFollowsItsChanges) {
    auto desktop = XDesktop::Start("1920x1080", false);
    if (!desktop) GTEST_SKIP() << "no Xvfb";
    testing_support::ChildProcess probe;
    {
        testing_support::ScopedEnv display("DISPLAY", desktop->name());
        ASSERT_TRUE(probe.Start(SCREEN_PROBE));
    }
    // What a window manager publishes: a work area per desktop, and the current one.
    auto publish = [&](std::vector<long> areas, long current) {
        Display* d = desktop->display();
        XChangeProperty(d, desktop->root(), XInternAtom(d, "_NET_WORKAREA", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(areas.data()),
                        static_cast<int>(areas.size()));
        XChangeProperty(d, desktop->root(), XInternAtom(d, "_NET_CURRENT_DESKTOP", False),
                        XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&current), 1);
        XSync(d, False);
    };
    const struct {
        std::function<void()> change;
        std::string request, answer;
    } steps[] = {
        {nullptr, "metrics",
         "screen 1920x1080 virtual 0,0 1920x1080 monitors 1 work 0,0,1920,1080 desktop "
         "0,0,1920,1080 dc 1920x1080"},
        {[&] { desktop->Resize(1600, 900); }, "metrics",
         "screen 1600x900 virtual 0,0 1600x900 monitors 1 work 0,0,1600,900 desktop 0,0,1600,900 "
         "dc 1600x900"},
        // The primary monitor on the right: the desktop window is its size from 0, 0.
        {[&] {
             desktop->SetMonitors({{800, 0, 800, 900}, {0, 0, 800, 900}});
         },
         "metrics",
         "screen 800x900 virtual 0,0 1600x900 monitors 2 work 800,0,1600,900 desktop 0,0,800,900 "
         "dc 800x900"},
        // A panel along the bottom on the second desktop, the current one.
        {[&] {
             publish({0, 0, 1600, 900, 0, 0, 1600, 868}, 1);
         },
         "monitor 0 899", R"(monitor 0,0,800,900 work 0,0,800,868 secondary \\.\DISPLAY2)"},
        {nullptr, "monitor 1599 0",
         R"(monitor 800,0,1600,900 work 800,0,1600,868 primary \\.\DISPLAY1)"},
        {nullptr, "monitor 1600 0", "none"},
        {[&] {
             publish({0, 0, 1600, 900, 0, 0, 1600, 868}, 0);
         },
         "metrics",
         "screen 800x900 virtual 0,0 1600x900 monitors 2 work 800,0,1600,900 desktop 0,0,800,900 "
         "dc 800x900"},
    };
    for (const auto& step : steps) {
        if (step.change) step.change();
        // Asked again while the desktop settles.
        std::string got;
        testing_support::WaitUntil(
            [&] {
                return probe.Send(step.request) && (got = probe.Expect("", 5000)) == step.answer;
            },
            10000, 20);
        EXPECT_EQ(got, step.answer) << step.request;
    }
}

}  // namespace
