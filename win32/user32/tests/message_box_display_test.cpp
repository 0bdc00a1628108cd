// A message box on a private Xvfb of its own: it appears as an X window showing
// exactly the box's pixels, and is answered as usual. The server ends with the test,
// so the layer's connection to it ends too and later tests run without a display.
#include "user32_test_support.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "testing/win32_window_pixels.h"
#include "testing/x_desktop.h"

#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>

using testing_support::ReadAll;
using testing_support::ScopedEnv;
using testing_support::WaitUntil;

namespace {

// Xvfb on the first free display from :90 up (by its lock file), ended by its pid.
struct Xvfb {
    Xvfb() {
        for (int n = 90; n < 190 && !display; ++n) {
            const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
            if (access(lock.c_str(), F_OK) == 0) continue;
            name = ":" + std::to_string(n);
            pid = testing_support::Spawn(
                {"Xvfb", name, "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
            // Another test may have taken the number a moment earlier: the lock names
            // the server that answers.
            WaitUntil(
                [&] {
                    return waitpid(pid, nullptr, WNOHANG) == pid ||
                           (atol(ReadAll(lock).c_str()) == pid &&
                            (display = XOpenDisplay(name.c_str())) != nullptr);
                },
                10000);
            if (!display) testing_support::End(pid);
        }
    }
    ~Xvfb() {
        if (display) XCloseDisplay(display);
        testing_support::End(pid);
    }
    std::string name;
    pid_t pid = -1;
    Display* display = nullptr;
};

std::vector<uint32_t> Screen(Display* d, const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    std::vector<uint32_t> out;
    XImage* img = XGetImage(d, DefaultRootWindow(d), r.left, r.top, w, h, AllPlanes, ZPixmap);
    for (int y = 0; img && y < h; ++y)
        for (int x = 0; x < w; ++x) out.push_back(XGetPixel(img, x, y) & 0xFFFFFF);
    if (img) XDestroyImage(img);
    return out;
}

TEST(MessageBoxOnDisplay, TheBoxIsAnXWindowShowingItsPixels) {
    if (!testing_support::OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    Xvfb x;
    ASSERT_NE(x.display, nullptr);
    testing_support::TempDir dir;
    ScopedEnv display("DISPLAY", x.name), log("WIN32_X11_LOG", dir.file("x11.log")),
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
        RECT r;
        GetWindowRect(box, &r);
        same = WaitUntil([&] {
            return Screen(x.display, r) ==
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
