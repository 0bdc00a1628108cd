// The program of the session tests: a shown window on the main thread and a hidden
// one on a second thread print the end-of-session messages they hear ("shown query
// <lParam>", "hidden end <wParam> <lParam>", with " elsewhere" when one comes on
// another thread than the window's), after "ready".
//   session_helper [refuse] [hang]: the shown window refuses the end; the second
//   thread takes no message.
#include <windows.h>

#include <unistd.h>

#include <cstdio>
#include <thread>

namespace {

bool g_refuse = false, g_hang = false;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_QUERYENDSESSION && msg != WM_ENDSESSION) return DefWindowProcW(hwnd, msg, wp, lp);
    const bool shown = IsWindowVisible(hwnd);
    const bool own = GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId();
    // A slow handler still runs to its end while another window hangs.
    if (msg == WM_ENDSESSION && shown) Sleep(200);
    char what[32] = "query";
    if (msg == WM_ENDSESSION) std::snprintf(what, sizeof what, "end %lu", (unsigned long)wp);
    std::printf("%s %s %#lx%s\n", shown ? "shown" : "hidden", what, static_cast<unsigned long>(lp),
                own ? "" : " elsewhere");
    std::fflush(stdout);
    return msg == WM_QUERYENDSESSION && !(g_refuse && shown);
}

HWND Make(DWORD style) {
    return CreateWindowExW(0, L"SessionHelper", L"", style, 50, 50, 200, 120, nullptr, nullptr,
                           nullptr, nullptr);
}

void Pump() {
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
    ShowWindow(Make(WS_POPUP), SW_SHOW);
    HANDLE made = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread([made] {
        Make(WS_OVERLAPPED);
        SetEvent(made);
        if (g_hang) pause();
        Pump();
    }).detach();
    WaitForSingleObject(made, INFINITE);
    std::printf("ready\n");
    std::fflush(stdout);
    Pump();
    return 3;
}
