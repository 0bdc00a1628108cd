// Test support for the top-level windows: a control that logs what reaches it, a
// copy of a window's pixels, and the key state of the mouse buttons.
#pragma once

#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "gui/ctrl.h"
#include "gui/draw.h"
#include "gui/tests/ui_loop.h"

namespace window_test {

inline std::vector<std::string> g_log;

inline bool Logged(const std::string& entry) {
    for (const std::string& e : g_log)
        if (e == entry) return true;
    return false;
}

class Probe : public Gui::Ctrl {
public:
    explicit Probe(std::string name, Gui::Color fill = Gui::Color()) : name(name), fill(fill) {}
    void Paint(Gui::Draw& w) override { w.DrawRect(GetSize(), fill); }
    void LostFocus() override { g_log.push_back(name + ":lostfocus"); }
    Gui::Image MouseEvent(int e, Gui::Point p, int zdelta, DWORD keys) override {
        char b[64];
        snprintf(b, sizeof b, "%s:%x@%d,%d", name.c_str(), e, p.x, p.y);
        if (e != CURSORIMAGE) g_log.push_back(b);
        if (e == LEFTDOWN && capture_on_press) SetCapture();
        return Ctrl::MouseEvent(e, p, zdelta, keys);
    }

    std::string name;
    Gui::Color fill;
    bool capture_on_press = false;
};

// The window's pixels as its surface holds them (0xAARRGGBB), width * height.
inline std::vector<uint32_t> Snapshot(HWND hwnd, int cx, int cy) {
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = -cy;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    PrintWindow(hwnd, dc, 0);
    std::vector<uint32_t> out(static_cast<const uint32_t*>(bits),
                              static_cast<const uint32_t*>(bits) + cx * cy);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
    return out;
}

// Holds the left button down (as GetKeyState reports it) for one scope.
class LeftButtonDown {
public:
    LeftButtonDown() { Set(0x80); }
    ~LeftButtonDown() { Set(0); }

private:
    static void Set(BYTE state) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_LBUTTON] = state;
        SetKeyboardState(keys);
    }
};

// A hidden plain window of the toolkit's class (an owner, a focus thief).
inline HWND PlainWindow() {
    gui_test::StartToolkit();
    return CreateWindowExW(0, L"GTK2-W", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

}  // namespace window_test
