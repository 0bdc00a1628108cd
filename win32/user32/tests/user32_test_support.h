// Shared pieces of the window and message tests: a window procedure that records
// what it gets, unique class names, and a watchdog for message loops.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cwchar>
#include <cwctype>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "testing/win32_compare.h"
#include "testing/win32_last_error.h"
#include "testing/win32_pump.h"

namespace user32_test {

using testing_support::Failed;
using testing_support::PumpUntil;

struct Seen {
    HWND hwnd;
    UINT msg;
    WPARAM wparam;
    LPARAM lparam;
    DWORD tid;
};

// What the recording windows got, in order (under g_log_mutex).
inline std::mutex g_log_mutex;
inline std::vector<Seen> g_log;
// Answers a message instead of DefWindowProcW when it returns a value.
inline std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> g_hook;

inline LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    {
        std::lock_guard lock(g_log_mutex);
        g_log.push_back(Seen{hwnd, msg, wparam, lparam, GetCurrentThreadId()});
    }
    if (g_hook)
        if (auto answer = g_hook(hwnd, msg, wparam, lparam)) return *answer;
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

inline void ClearLog() {
    std::lock_guard lock(g_log_mutex);
    g_log.clear();
}

// The messages a window got, in order, keeping only those listed.
inline std::vector<UINT> MessagesOf(HWND hwnd, const std::vector<UINT>& wanted) {
    std::lock_guard lock(g_log_mutex);
    std::vector<UINT> out;
    for (auto& s : g_log)
        if (s.hwnd == hwnd && std::find(wanted.begin(), wanted.end(), s.msg) != wanted.end())
            out.push_back(s.msg);
    return out;
}

inline std::vector<Seen> SeenOf(UINT msg) {
    std::lock_guard lock(g_log_mutex);
    std::vector<Seen> out;
    for (auto& s : g_log)
        if (s.msg == msg) out.push_back(s);
    return out;
}

// A window's title or a control's text.
inline std::wstring Text(HWND hwnd) {
    wchar_t buf[128] = L"";
    GetWindowTextW(hwnd, buf, 128);
    return buf;
}

// A window's class name; empty when the count GetClassNameW answers is not its length.
inline std::wstring ClassOf(HWND hwnd) {
    wchar_t buf[256] = L"";
    const int n = GetClassNameW(hwnd, buf, 256);
    return n == static_cast<int>(std::wcslen(buf)) ? buf : L"";
}

// Each time a message came: its window and parameters, in order.
using Calls = std::vector<std::tuple<HWND, WPARAM, LPARAM>>;
inline Calls CallsOf(UINT msg) {
    Calls out;
    for (auto& s : SeenOf(msg)) out.emplace_back(s.hwnd, s.wparam, s.lparam);
    return out;
}

inline std::wstring UniqueClassName(const wchar_t* stem) {
    static std::atomic<int> counter{0};
    return std::wstring(stem) + L"-" + std::to_wstring(getpid()) + L"-" +
           std::to_wstring(counter.fetch_add(1));
}

inline ATOM RegisterTestClass(const std::wstring& name, WNDPROC proc = RecordingProc,
                              int wnd_extra = 0, UINT style = 0) {
    WNDCLASSW wc{};
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = wnd_extra;
    wc.lpszClassName = name.c_str();
    return RegisterClassW(&wc);
}

// A hidden top-level window of a fresh recording class.
inline HWND MakeWindow(DWORD style = WS_POPUP, HWND parent = nullptr, DWORD ex_style = 0,
                       RECT rect = RECT{10, 20, 110, 70}, UINT class_style = 0) {
    std::wstring name = UniqueClassName(L"rec");
    RegisterTestClass(name, RecordingProc, 0, class_style);
    return CreateWindowExW(ex_style, name.c_str(), L"", style, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, parent, nullptr, nullptr,
                           nullptr);
}

inline double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// A thread that runs f after ms milliseconds.
inline std::thread Later(int ms, std::function<void()> f) {
    return std::thread([ms, f = std::move(f)] {
        Sleep(ms);
        f();
    });
}

// Translates and dispatches what the queue holds now.
inline void Drain() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The next queued message's number (0 when none) through PeekMessageW.
inline UINT Next(HWND filter = nullptr, UINT first = 0, UINT last = 0, UINT remove = PM_REMOVE) {
    MSG msg{};
    return PeekMessageW(&msg, filter, first, last, remove) ? msg.message : 0;
}

inline RECT WindowRect(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}
inline RECT ClientRect(HWND hwnd) {
    RECT r{};
    GetClientRect(hwnd, &r);
    return r;
}

// The process's processor time so far (user and system).
inline double CpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// A test that starts with an empty log and no hook, and leaves no hook behind.
class Fresh : public ::testing::Test {
protected:
    void SetUp() override {
        ClearLog();
        g_hook = nullptr;
    }
    void TearDown() override { g_hook = nullptr; }
};

// Fresh, with a hidden top-level window of a recording class.
class WithWindow : public Fresh {
protected:
    void SetUp() override {
        Fresh::SetUp();
        hwnd_ = MakeWindow();
    }
    void TearDown() override {
        Fresh::TearDown();
        DestroyWindow(hwnd_);
    }
    HWND hwnd_ = nullptr;
};

}  // namespace user32_test
