#include "gui/win_version.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Each test runs in its own process, so the version knob stays with the test.
TEST(WinVersion, TheLayersWindows7PassesEveryTest) {
    unsetenv("WIN32_WINDOWS_VERSION");
    EXPECT_TRUE(Gui::IsWin2K());
    EXPECT_TRUE(Gui::IsWinXP());
    EXPECT_TRUE(Gui::IsWinVista());
}

TEST(WinVersion, AnsweredAnewOnEveryCall) {
    setenv("WIN32_WINDOWS_VERSION", "5.0.2195", 1);
    EXPECT_TRUE(Gui::IsWin2K());
    EXPECT_FALSE(Gui::IsWinXP());
    EXPECT_FALSE(Gui::IsWinVista());
    setenv("WIN32_WINDOWS_VERSION", "5.1.2600", 1);
    EXPECT_TRUE(Gui::IsWinXP());
    EXPECT_FALSE(Gui::IsWinVista());
    setenv("WIN32_WINDOWS_VERSION", "4.10.2222", 1);
    EXPECT_FALSE(Gui::IsWin2K());
    EXPECT_FALSE(Gui::IsWinXP());
    unsetenv("WIN32_WINDOWS_VERSION");
}

}  // namespace
