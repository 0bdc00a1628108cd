// The layer's screen on X desktops of several shapes, as a program in a process of its
// own sees it (the layer connects to one display per process): the X screen's size, the
// monitors RandR reports with the primary one first, the work area a panel leaves, and
// all of it again after the screen changed under the running program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/scoped_env.h"

// Xlib's macros last: they would rename what the headers above declare.
#include "testing/x_desktop.h"

using testing_support::XDesktop;

namespace {

struct Asked {
    std::string request, answer;
};

class ScreenTest : public ::testing::Test {
protected:
    // A desktop of the size, divided into the monitors (the primary first), with a 32
    // pixel tray panel along the bottom when asked; the probe started on it.
    void Open(const std::string& size, const std::vector<XRectangle>& monitors, bool panel) {
        if (!XDesktop::Installed() || !testing_support::OnPath("trayer"))
            GTEST_SKIP() << "Xvfb, openbox or trayer is missing";
        desktop_ = XDesktop::Start(size);
        ASSERT_TRUE(desktop_) << "no X desktop could be started";
        if (!monitors.empty()) desktop_->SetMonitors(monitors);
        if (panel) {
            panel_ = std::make_unique<XDesktop::Helper>(
                *desktop_,
                std::vector<std::string>{"trayer", "--edge", "bottom", "--height", "32",
                                         "--SetDockType", "true", "--SetPartialStrut", "true"},
                "_NET_SYSTEM_TRAY_S0");
            ASSERT_TRUE(panel_->ready());
        }
        testing_support::ScopedEnv display("DISPLAY", desktop_->name());
        ASSERT_TRUE(probe_.Start(SCREEN_PROBE));
    }
    // The probe's answer, asked again while the desktop settles (a panel's work area,
    // a change) until it is the one expected or the time is up.
    void Expect(const Asked& a) {
        std::string got;
        testing_support::WaitUntil(
            [&] { return probe_.Send(a.request) && (got = probe_.Expect("", 5000)) == a.answer; },
            10000, 20);
        EXPECT_EQ(got, a.answer) << a.request;
    }

    std::unique_ptr<XDesktop> desktop_;
    std::unique_ptr<XDesktop::Helper> panel_;
    testing_support::ChildProcess probe_;
};

TEST_F(ScreenTest, MetricsWorkAreaAndMonitorsAreTheXScreens) {
    const struct {
        std::string size;
        std::vector<XRectangle> monitors;
        bool panel;
        std::vector<Asked> asked;
    } rows[] = {
        {"1920x1080",
         {},
         true,
         {{"metrics",
           "screen 1920x1080 virtual 0,0 1920x1080 monitors 1 work 0,0,1920,1048 "
           "desktop 0,0,1920,1080 dc 1920x1080"},
          {"monitor 1919 1079", R"(monitor 0,0,1920,1080 work 0,0,1920,1048 primary \\.\DISPLAY1)"},
          {"monitor 1920 0", "none"}}},
        {"1024x768",
         {},
         false,
         {{"metrics",
           "screen 1024x768 virtual 0,0 1024x768 monitors 1 work 0,0,1024,768 desktop "
           "0,0,1024,768 dc 1024x768"}}},
        // The primary monitor on the right: the desktop window is still its size at 0, 0.
        {"2560x1024",
         {{1280, 0, 1280, 1024}, {0, 0, 1280, 1024}},
         true,
         {{"metrics",
           "screen 1280x1024 virtual 0,0 2560x1024 monitors 2 work 1280,0,2560,992 "
           "desktop 0,0,1280,1024 dc 1280x1024"},
          {"monitor 0 0", R"(monitor 0,0,1280,1024 work 0,0,1280,992 secondary \\.\DISPLAY2)"},
          {"monitor 1280 500",
           R"(monitor 1280,0,2560,1024 work 1280,0,2560,992 primary \\.\DISPLAY1)"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.size);
        Open(row.size, row.monitors, row.panel);
        if (IsSkipped() || HasFatalFailure()) return;
        for (const Asked& a : row.asked) Expect(a);
        probe_.Kill(), panel_.reset(), desktop_.reset();
    }
}

TEST_F(ScreenTest, TheRunningProgramFollowsTheScreenAsItChanges) {
    Open("1920x1080", {}, false);
    if (IsSkipped() || HasFatalFailure()) return;
    Expect({"metrics",
            "screen 1920x1080 virtual 0,0 1920x1080 monitors 1 work 0,0,1920,1080 "
            "desktop 0,0,1920,1080 dc 1920x1080"});
    desktop_->Resize(1600, 900);
    Expect({"metrics",
            "screen 1600x900 virtual 0,0 1600x900 monitors 1 work 0,0,1600,900 "
            "desktop 0,0,1600,900 dc 1600x900"});
    desktop_->SetMonitors({{800, 0, 800, 900}, {0, 0, 800, 900}});
    Expect({"metrics",
            "screen 800x900 virtual 0,0 1600x900 monitors 2 work 800,0,1600,900 "
            "desktop 0,0,800,900 dc 800x900"});
}

}  // namespace
