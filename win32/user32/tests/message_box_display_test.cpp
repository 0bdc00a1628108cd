// A message box on a private Xvfb of its own: it appears as an X window showing
// exactly the box's pixels, and is answered as usual. The server ends with the test,
// so the layer's connection to it ends too and later tests run without a display.
#include "user32_test_support.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "testing/win32_window_pixels.h"
#include "testing/x_desktop.h"

using testing_support::ReadAll;
using testing_support::ScopedEnv;
using testing_support::WaitUntil;

namespace {

TEST(MessageBoxOnDisplay, TheBoxIsAnXWindowShowingItsPixels) {
    if (!testing_support::OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    auto x = testing_support::XDesktop::Start("1280x800", false);
    ASSERT_TRUE(x);
    testing_support::TempDir dir;
    ScopedEnv display("DISPLAY", x->name()), log("WIN32_X11_LOG", dir.file("x11.log")),
        shown("WIN32_NO_DISPLAY", "0"), windows("WIN32_DIALOG_WINDOWS", "0"),
        answer("WIN32_MSGBOX_ANSWER", "");
    bool mapped = false, same = false;
    std::thread driver([&] {
        HWND box = nullptr;
        WaitUntil([&] { return (box = FindWindowW(L"#32770", L"On the display")) != nullptr; });
        char line[64];
        snprintf(line, sizeof line, "mapped %08lx\n",
                 static_cast<unsigned long>(reinterpret_cast<uintptr_t>(box)));
        mapped =
            WaitUntil([&] { return ReadAll(dir.file("x11.log")).find(line) != std::string::npos; });
        const RECT r = user32_test::WindowRect(box);
        same = WaitUntil([&] {
            return x->Screen(r.left, r.top, r.right - r.left, r.bottom - r.top) ==
                   testing_support::WindowPixels(box, r.right - r.left, r.bottom - r.top);
        });
        PostMessageW(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(MessageBoxW(nullptr, L"Shown on the X server", L"On the display",
                          MB_YESNO | MB_ICONWARNING),
              IDNO);
    driver.join();
    EXPECT_TRUE(mapped);
    EXPECT_TRUE(same);
}

}  // namespace
