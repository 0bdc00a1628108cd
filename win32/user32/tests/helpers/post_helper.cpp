// The other process of the cross-process tests.
//
//   post <class> <title|-> <msg> <wparam> <lparam>   find the window and post to it
//   find <class> <title|->                            exit 0 when found, 1 when not
//   serve <class>                                     own a window, print "ready", exit with
//                                                     the wParam of the first 0x9401 it gets;
//                                                     0x9402 sent answers wParam + lParam,
//                                                     0x9403 after half a second
//   vanish <class>                                    own a window, print "ready", die by SIGKILL
//   hang <class>                                      own a window, print "ready", take no message
#include <windows.h>

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::wstring wide(const char* s) { return std::wstring(s, s + std::strlen(s)); }

const wchar_t* title_arg(const std::wstring& s) { return s == L"-" ? nullptr : s.c_str(); }

LRESULT CALLBACK answer(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == 0x9403) Sleep(500);
    if (msg == 0x9402 || msg == 0x9403) return static_cast<LRESULT>(wparam) + lparam;
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

// A window of the class, then "ready".
HWND own_window(const std::wstring& class_name) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = answer;
    wc.lpszClassName = class_name.c_str();
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, class_name.c_str(), L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                nullptr, nullptr);
    if (hwnd) std::printf("ready\n"), std::fflush(stdout);
    return hwnd;
}

int serve(const std::wstring& class_name) {
    HWND hwnd = own_window(class_name);
    if (!hwnd) return 98;
    SetTimer(hwnd, 1, 5000, nullptr);  // gives up if nobody writes
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER) return 99;
        if (msg.message == 0x9401) return static_cast<int>(msg.wParam & 0x7F);
        DispatchMessageW(&msg);
    }
    return 97;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 64;
    std::string mode = argv[1];
    std::wstring class_name = wide(argv[2]);
    if (mode == "post" && argc == 7) {
        std::wstring title = wide(argv[3]);
        HWND hwnd = FindWindowW(class_name.c_str(), title_arg(title));
        if (!hwnd) return 2;
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid != static_cast<DWORD>(getppid())) return 4;
        auto msg = static_cast<UINT>(std::strtoul(argv[4], nullptr, 0));
        auto wparam = static_cast<WPARAM>(std::strtoull(argv[5], nullptr, 0));
        auto lparam = static_cast<LPARAM>(std::strtoll(argv[6], nullptr, 0));
        return PostMessageW(hwnd, msg, wparam, lparam) ? 0 : 3;
    }
    if (mode == "find" && argc == 4) {
        std::wstring title = wide(argv[3]);
        HWND hwnd = FindWindowW(class_name.c_str(), title_arg(title));
        return hwnd && IsWindow(hwnd) ? 0 : 1;
    }
    if (mode == "serve") return serve(class_name);
    if (mode == "hang" || mode == "vanish") {
        if (!own_window(class_name)) return 98;
        if (mode == "vanish") raise(SIGKILL);
        for (;;) pause();
    }
    return 64;
}
