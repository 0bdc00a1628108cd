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

using testing_support::ChildProcess;
using testing_support::ScopedEnv;
using testing_support::WaitUntil;
using testing_support::XDesktop;

namespace {

enum class Ending { ServerGone, Term, HangUp };

struct Case {
    const char* what;
    Ending ending;
    std::vector<std::string> args;
    std::vector<std::string> heard;  // queries first, then ends; in each, windows in any order
};

const Case kCases[] = {
    {"SIGTERM, a window refusing",
     Ending::Term,
     {"refuse"},
     {"hidden query 0x40000000", "shown query 0x40000000", "hidden end 1 0x40000000",
      "shown end 1 0x40000000"}},
    {"SIGHUP, a thread that takes no message",
     Ending::HangUp,
     {"hang"},
     {"shown query 0xc0000000", "shown end 1 0xc0000000"}},
    {"the X server goes away",
     Ending::ServerGone,
     {},
     {"hidden query 0xc0000000", "shown query 0xc0000000", "hidden end 1 0xc0000000",
      "shown end 1 0xc0000000"}},
};

TEST(SessionTest, TheWindowsHearTheEndOfTheSessionOnTheirThreadsAndTheProcessEnds) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<XDesktop> x;
        std::unique_ptr<ScopedEnv> display, headless;
        ScopedEnv quiet("WIN32_X11_LOG", "/dev/null");
        if (c.ending == Ending::ServerGone) {
            if (!XDesktop::Installed()) GTEST_SKIP() << "Xvfb or openbox is not installed";
            x = XDesktop::Start();
            ASSERT_TRUE(x) << "no X desktop could be started";
            display = std::make_unique<ScopedEnv>("DISPLAY", x->name());
            headless = std::make_unique<ScopedEnv>("WIN32_NO_DISPLAY", "");
        } else {
            headless = std::make_unique<ScopedEnv>("WIN32_NO_DISPLAY", "1");
        }
        ChildProcess helper;
        ASSERT_TRUE(helper.Start(SESSION_HELPER, c.args));
        ASSERT_EQ(helper.Expect("ready"), "ready");
        switch (c.ending) {
            case Ending::ServerGone:
                ASSERT_TRUE(WaitUntil([&] { return x->ShownBy(helper.pid()) != 0; }, 10000));
                x->EndServer();
                break;
            case Ending::Term:
                kill(helper.pid(), SIGTERM);
                break;
            case Ending::HangUp:
                kill(helper.pid(), SIGHUP);
                break;
        }
        std::vector<std::string> heard;
        for (std::string line; (line = helper.Expect("", 20000)) != "";) heard.push_back(line);
        EXPECT_EQ(helper.Wait(), 0);
        // Every window hears the query before any hears the end.
        const size_t half = heard.size() / 2;
        std::sort(heard.begin(), heard.begin() + half);
        std::sort(heard.begin() + half, heard.end());
        EXPECT_EQ(heard, c.heard);
    }
}

}  // namespace
