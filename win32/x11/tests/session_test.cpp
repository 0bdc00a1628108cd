// The end of the desktop session as a Win32 program meets it: its X server going away,
// SIGTERM or SIGHUP. Its top-level windows hear WM_QUERYENDSESSION and then
// WM_ENDSESSION, each on its own thread, and the process ends, whatever they answer.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/scoped_env.h"
// Xlib's macros (None, Bool, ...) after gtest, which uses those names.
#include "testing/x_desktop.h"

using testing_support::ScopedEnv;
using testing_support::XDesktop;

namespace {

TEST(SessionTest, TheWindowsHearTheEndOfTheSessionOnTheirThreadsAndTheProcessEnds) {
    const struct {
        int signal;  // 0: the X server goes away
        const char* args;
        std::vector<std::string> heard;  // queries, then ends; in each, windows in any order
    } cases[] = {
        {SIGTERM,
         "refuse",
         {"hidden query 0x40000000", "shown query 0x40000000", "hidden end 1 0x40000000",
          "shown end 1 0x40000000"}},
        {SIGHUP, "hang", {"shown query 0xc0000000", "shown end 1 0xc0000000"}},
        {0,
         "",
         {"hidden query 0xc0000000", "shown query 0xc0000000", "hidden end 1 0xc0000000",
          "shown end 1 0xc0000000"}},
    };
    ScopedEnv quiet("WIN32_X11_LOG", "/dev/null");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.signal);
        std::unique_ptr<XDesktop> x;
        if (!c.signal) {
            if (!XDesktop::Installed() || !testing_support::OnPath("xdotool"))
                GTEST_SKIP() << "Xvfb, openbox or xdotool is not installed";
            ASSERT_TRUE(x = XDesktop::Start("1280x800"));
        }
        ScopedEnv display("DISPLAY", x ? x->name() : ""),
            headless("WIN32_NO_DISPLAY", x ? "" : "1");
        testing_support::ChildProcess helper;
        ASSERT_TRUE(helper.Start(SESSION_HELPER, {c.args}));
        ASSERT_EQ(helper.Expect("ready"), "ready");
        if (x) {
            const std::string pid = std::to_string(helper.pid());
            ASSERT_TRUE(testing_support::WaitUntil(
                [&] {
                    return x->Run({"xdotool", "search", "--onlyvisible", "--pid", pid}) == 0;
                },
                10000));
            x->EndServer();
        } else {
            kill(helper.pid(), c.signal);
        }
        std::vector<std::string> heard;
        for (std::string line; !(line = helper.Expect("", 20000)).empty();) heard.push_back(line);
        EXPECT_EQ(helper.Wait(), 0);
        std::sort(heard.begin(), heard.begin() + heard.size() / 2);
        std::sort(heard.begin() + heard.size() / 2, heard.end());
        EXPECT_EQ(heard, c.heard);
    }
}

}  // namespace
