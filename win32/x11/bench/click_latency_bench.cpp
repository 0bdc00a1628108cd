// Latency of a mouse press from the X server to the window procedure: a button
// event made with XTEST until WM_LBUTTONDOWN reaches the window, on a private Xvfb
// with openbox. The reference is the same press reaching a plain X client's
// override-redirect window, so for the pop-up the difference is what the presenter and
// the message queue add; the main window adds the window manager's grab.
#include <windows.h>

#include <benchmark/benchmark.h>
// Xlib's macros after the benchmark header.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdlib>

#include "testing/x_desktop.h"

using testing_support::XDesktop;

namespace {

bool g_pressed = false;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK || msg == WM_LBUTTONUP)
        g_pressed = msg != WM_LBUTTONUP;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// Pumps until the press state is `want`; false after a second.
bool PumpUntil(bool want) {
    const DWORD end = GetTickCount() + 1000;
    MSG m;
    while (g_pressed != want) {
        if (static_cast<int>(end - GetTickCount()) <= 0) return false;
        if (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&m);
        else
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    return true;
}

void Press(Display* d, bool down) {
    XTestFakeButtonEvent(d, 1, down ? True : False, CurrentTime);
    XFlush(d);
}

void BM_PressToWindowProcedure(benchmark::State& state) {
    XDesktop* x = XDesktop::Get();
    if (!x) {
        state.SkipWithError("no X desktop (Xvfb and openbox)");
        return;
    }
    setenv("DISPLAY", x->name().c_str(), 1);
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = L"ClickLatency";
    RegisterClassW(&wc);
    // Argument 0: the main window, which the window manager manages (its press passes
    // through the manager's grab first); 1: an owned, override-redirect pop-up.
    HWND owner = state.range(0) ? CreateWindowExW(0, L"ClickLatency", L"", WS_POPUP, 0, 0, 1, 1,
                                                  nullptr, nullptr, nullptr, nullptr)
                                : nullptr;
    HWND hwnd = CreateWindowExW(0, L"ClickLatency", L"latency", WS_POPUP | WS_VISIBLE, 100, 100,
                                200, 200, owner, nullptr, nullptr, nullptr);
    Display* d = x->display();
    // Shown once the point lands in a window of ours (the root has no parent frame).
    const bool shown = testing_support::WaitUntil(
        [&] {
            MSG m;
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
            Window child = 0;
            int cx, cy;
            return XTranslateCoordinates(d, x->root(), x->root(), 150, 150, &cx, &cy, &child) &&
                   child;
        },
        5000);
    XTestFakeMotionEvent(d, -1, 150, 150, CurrentTime);
    XFlush(d);
    if (!shown || !PumpUntil(false)) state.SkipWithError("the window was not shown");
    for (auto _ : state) {
        Press(d, true);
        if (!PumpUntil(true)) state.SkipWithError("no WM_LBUTTONDOWN");
        state.PauseTiming();
        Press(d, false);
        PumpUntil(false);
        state.ResumeTiming();
    }
    DestroyWindow(hwnd);
    if (owner) DestroyWindow(owner);
}

void BM_PressToPlainXClient(benchmark::State& state) {
    XDesktop* x = XDesktop::Get();
    if (!x) {
        state.SkipWithError("no X desktop (Xvfb and openbox)");
        return;
    }
    Display* d = XOpenDisplay(x->name().c_str());
    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.event_mask = ButtonPressMask | ButtonReleaseMask;
    Window w = XCreateWindow(d, DefaultRootWindow(d), 600, 100, 200, 200, 0, CopyFromParent,
                             InputOutput, CopyFromParent, CWOverrideRedirect | CWEventMask, &a);
    XMapRaised(d, w);
    XSync(d, False);
    XTestFakeMotionEvent(d, -1, 650, 150, CurrentTime);
    XSync(d, False);
    XEvent ev;
    for (auto _ : state) {
        Press(d, true);
        do XNextEvent(d, &ev);
        while (ev.type != ButtonPress);
        state.PauseTiming();
        Press(d, false);
        do XNextEvent(d, &ev);
        while (ev.type != ButtonRelease);
        state.ResumeTiming();
    }
    XCloseDisplay(d);
}

BENCHMARK(BM_PressToPlainXClient)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PressToWindowProcedure)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
