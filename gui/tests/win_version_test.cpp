#include "gui/win_version.h"

#include <gtest/gtest.h>

#include "testing/scoped_env.h"

namespace {

// Answered anew on every call: the layer's Windows 7 by default.
TEST(WinVersion, EachTestFollowsTheVersionOfTheMoment) {
    const struct {
        const char* version;
        bool w2k, xp, vista;
    } rows[] = {{"", true, true, true},
                {"5.0.2195", true, false, false},
                {"5.1.2600", true, true, false},
                {"4.10.2222", false, false, false}};
    for (const auto& row : rows) {
        testing_support::ScopedEnv env("WIN32_WINDOWS_VERSION", row.version);
        EXPECT_EQ(Gui::IsWin2K(), row.w2k) << row.version;
        EXPECT_EQ(Gui::IsWinXP(), row.xp) << row.version;
        EXPECT_EQ(Gui::IsWinVista(), row.vista) << row.version;
    }
}

}  // namespace
