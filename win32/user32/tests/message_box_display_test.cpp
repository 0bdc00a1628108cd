// A message box on a private Xvfb: it appears as an X window of its own showing
// exactly the box's pixels, and is answered as usual.
#include "user32_test_support.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "testing/wait_until.h"

// Xlib's macros (None, Bool, ...) after gtest, which uses those names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>

using testing_support::ReadAll;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WaitUntil;

namespace {

// An Xvfb on the first free display from :90 up (by its lock file), ended by its pid.
struct Xvfb {
    Xvfb() {
        for (int n = 90; n < 190 && !display; ++n) {
            if (access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) == 0) continue;
            name = ":" + std::to_string(n);
            pid = fork();
            if (pid == 0) {
                freopen("/dev/null", "w", stderr);
                execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", "1280x800x24", "-nolisten",
                       "tcp", static_cast<char*>(nullptr));
                _exit(127);
            }
            // Another test may have taken the number a moment earlier: the lock names
            // the server that answers.
            WaitUntil(
                [&] {
                    return waitpid(pid, nullptr, WNOHANG) == pid ||
                           (atol(ReadAll("/tmp/.X" + std::to_string(n) + "-lock").c_str()) == pid &&
                            (display = XOpenDisplay(name.c_str())) != nullptr);
                },
                10000);
            if (!display && kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
        }
    }
    ~Xvfb() {
        if (!display) return;
        XCloseDisplay(display);
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    std::string name;
    pid_t pid = -1;
    Display* display = nullptr;
};

std::vector<uint32_t> Screen(Display* d, const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    std::vector<uint32_t> out;
    XImage* img = XGetImage(d, DefaultRootWindow(d), r.left, r.top, static_cast<unsigned>(w),
                            static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (!img) return out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out.push_back(XGetPixel(img, x, y) & 0xFFFFFF);
    XDestroyImage(img);
    return out;
}

std::vector<uint32_t> Surface(HWND hwnd, const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof bi.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    SelectObject(mem, bmp);
    PrintWindow(hwnd, mem, 0);
    std::vector<uint32_t> out(static_cast<const uint32_t*>(bits),
                              static_cast<const uint32_t*>(bits) + w * h);
    for (auto& p : out) p &= 0xFFFFFF;
    DeleteDC(mem);
    DeleteObject(bmp);
    return out;
}

TEST(MessageBoxOnDisplay, TheBoxIsAnXWindowShowingItsPixels) {
    if (system("command -v Xvfb >/dev/null 2>&1") != 0) GTEST_SKIP() << "Xvfb is not installed";
    Xvfb xvfb;
    ASSERT_NE(xvfb.display, nullptr);
    TempDir dir;
    ScopedEnv display("DISPLAY", xvfb.name), log("WIN32_X11_LOG", dir.file("x11.log")),
        shown("WIN32_NO_DISPLAY", "0"), windows("WIN32_DIALOG_WINDOWS", "0");
    unsetenv("WIN32_MSGBOX_ANSWER");
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
        same = WaitUntil([&] { return Screen(xvfb.display, r) == Surface(box, r); });
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
