// A control logging what reaches it, a window's pixels (0xAARRGGBB), a plain window.
#pragma once

#include <stdio.h>
#include <algorithm>
#include <string>
#include <vector>

#include "ctrls/key_target.h"
#include "gui/ctrl.h"
#include "gui/draw.h"
#include "testing/dib_canvas.h"
#include "testing/ui_loop.h"

namespace window_test {

inline std::vector<std::string> g_log;

inline bool Logged(const std::string& entry) {
    return std::find(g_log.begin(), g_log.end(), entry) != g_log.end();
}

struct Probe : Gui::Ctrl, ctrls::KeyTarget {
    explicit Probe(std::string name) : name(name) {}
    void LostFocus() override { g_log.push_back(name + ":lostfocus"); }
    bool Key(UINT message, WPARAM wparam, LPARAM) override {
        g_log.push_back(name + ":key" + std::to_string(message) + "," + std::to_string(wparam));
        return true;
    }
    Gui::Image MouseEvent(int e, Gui::Point p, int zdelta, DWORD keys) override {
        char b[64];
        snprintf(b, sizeof b, "%s:%x@%d,%d", name.c_str(), e, p.x, p.y);
        if (e != CURSORIMAGE) g_log.push_back(b);
        return Ctrl::MouseEvent(e, p, zdelta, keys);
    }
    std::string name;
};

inline std::vector<uint32_t> Snapshot(HWND hwnd, int cx, int cy) {
    testing_support::DibCanvas canvas(cx, cy);
    PrintWindow(hwnd, canvas.dc(), 0);
    return std::vector<uint32_t>(canvas.bits(), canvas.bits() + cx * cy);
}

inline HWND PlainWindow() {
    gui_test::StartToolkit();
    return CreateWindowExW(0, L"GTK2-W", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

}  // namespace window_test
