// The layer's screen as a running program sees it (a probe in a process of its own, as
// the layer connects to one display per process) while the X screen changes under it:
// the monitors RandR reports, the primary first, and so the screen's size, and the work
// area the window manager publishes for the current desktop. The desktop is bare, so
// only the server's own reports tell the program of a change.
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
    // The primary monitor on the right: the screen is its size, the desktop window too,
    // from 0, 0. Then a panel along the bottom on the second desktop, first the current one.
    auto two_monitors = [&] { desktop->SetMonitors({{960, 0, 960, 1080}, {0, 0, 960, 1080}}); };
    auto panel_current = [&] { publish({0, 0, 1920, 1080, 0, 0, 1920, 1048}, 1); };
    auto panel_elsewhere = [&] { publish({0, 0, 1920, 1080, 0, 0, 1920, 1048}, 0); };
    const std::string right =
        "screen 960x1080 virtual 0,0 1920x1080 monitors 2 work 960,0,1920,1080 desktop "
        "0,0,960,1080 dc 960x1080";
    const struct {
        std::function<void()> change;
        std::string request, answer;
    } steps[] = {
        {nullptr, "metrics",
         "screen 1920x1080 virtual 0,0 1920x1080 monitors 1 work 0,0,1920,1080 desktop "
         "0,0,1920,1080 dc 1920x1080"},
        {two_monitors, "metrics", right},
        {panel_current, "monitor 0 1079",
         R"(monitor 0,0,960,1080 work 0,0,960,1048 secondary \\.\DISPLAY2)"},
        {nullptr, "monitor 1919 0",
         R"(monitor 960,0,1920,1080 work 960,0,1920,1048 primary \\.\DISPLAY1)"},
        {nullptr, "monitor 1920 0", "none"},
        {panel_elsewhere, "metrics", right},
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
