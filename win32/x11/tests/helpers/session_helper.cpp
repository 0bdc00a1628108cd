// The program of the session tests: two top-level windows, the first shown on the
// main thread, the second hidden on a thread of its own. Each prints the end-of-session
// messages it hears ("<window> query <lParam>" and "<window> end <wParam> <lParam>",
// "on another thread" added when one comes elsewhere), and "ready" once both exist.
//
//   session_helper [refuse] [hang]
//     refuse: the shown window answers WM_QUERYENDSESSION with FALSE
//     hang:   the second thread takes no message once it is ready
#include <windows.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

bool g_refuse = false, g_hang = false;
std::mutex g_out;
HANDLE g_second_ready = nullptr;

void Say(const char* line) {
    std::lock_guard lock(g_out);
    std::printf("%s\n", line);
    std::fflush(stdout);
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_QUERYENDSESSION && msg != WM_ENDSESSION) return DefWindowProcW(hwnd, msg, wp, lp);
    const bool shown = IsWindowVisible(hwnd) != FALSE;
    const bool own = GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId();
    char line[128];
    if (msg == WM_QUERYENDSESSION)
        std::snprintf(line, sizeof line, "%s query %#lx%s", shown ? "shown" : "hidden",
                      static_cast<unsigned long>(lp), own ? "" : " on another thread");
    else
        std::snprintf(line, sizeof line, "%s end %lu %#lx%s", shown ? "shown" : "hidden",
                      static_cast<unsigned long>(wp), static_cast<unsigned long>(lp),
                      own ? "" : " on another thread");
    Say(line);
    if (msg == WM_QUERYENDSESSION) return g_refuse && shown ? FALSE : TRUE;
    return 0;
}

HWND Make(DWORD style) {
    return CreateWindowExW(0, L"SessionHelper", L"session helper", style, 50, 50, 200, 120, nullptr,
                           nullptr, nullptr, nullptr);
}

void Second() {
    Make(WS_OVERLAPPED);
    SetEvent(g_second_ready);
    if (g_hang) {
        for (;;) pause();
    }
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
}

}  // namespace

extern "C" int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR cmdline, int) {
    g_refuse = wcsstr(cmdline, L"refuse") != nullptr;
    g_hang = wcsstr(cmdline, L"hang") != nullptr;
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"SessionHelper";
    RegisterClassW(&wc);
    HWND shown = Make(WS_POPUP);
    ShowWindow(shown, SW_SHOW);
    UpdateWindow(shown);
    g_second_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread(Second).detach();
    WaitForSingleObject(g_second_ready, INFINITE);
    Say("ready");
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
    Say("quit");
    return 3;
}
