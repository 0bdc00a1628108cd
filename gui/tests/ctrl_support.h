// Test controls: each writes what reaches it into one log, and a top-level control
// that owns a real pop-up window and records the rectangles it invalidates.
#pragma once

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "gui/ctrl.h"
#include "gui/draw.h"
#include "testing/ui_loop.h"

namespace ctrl_test {

inline std::vector<std::string> g_log;

inline std::string At(const char* what, Gui::Point p) {
    char b[64];
    snprintf(b, sizeof b, "%s@%d,%d", what, p.x, p.y);
    return b;
}

class Probe : public Gui::Ctrl {
public:
    explicit Probe(std::string name = "c") : name(std::move(name)) {}
    void Note(const std::string& what) { g_log.push_back(name + ":" + what); }
    void Paint(Gui::Draw& w) override {
        Note("paint");
        if (!fill.IsNull()) w.DrawRect(GetSize(), fill);
    }
    void CancelMode() override { Note("cancel"); }
    void Layout() override { Note("layout"); }
    int OverPaint() const override { return overpaint; }
    void LostFocus() override { Note("lostfocus"); }
    Gui::Image MouseEvent(int e, Gui::Point p, int zdelta, DWORD keys) override {
        char b[16];
        snprintf(b, sizeof b, "%x", e);
        if (e != CURSORIMAGE) Note(At(b, p));
        last_keys = keys;
        return e == CURSORIMAGE && !cursor.IsEmpty() ? cursor
                                                     : Ctrl::MouseEvent(e, p, zdelta, keys);
    }
    using Ctrl::SetOpen;
    using Ctrl::SetWndRect;

    std::string name;
    Gui::Color fill;
    int overpaint = 0;
    DWORD last_keys = 0;
    Gui::Image cursor;
};

// A pop-up window at r (screen) whose control is open.
class TopProbe : public Probe {
public:
    explicit TopProbe(Gui::Rect r = Gui::RectC(100, 50, 200, 100), std::string name = "top")
        : Probe(std::move(name)) {
        gui_test::StartToolkit();
        SetRect(r);
        hwnd = CreateWindowExW(0, L"GTK2-W", L"", WS_POPUP, r.left, r.top, r.Width(), r.Height(),
                               nullptr, nullptr, Gui::Ctrl::GetInstance(), nullptr);
        SetTopWindow(hwnd);
        SetOpen(true);
    }
    ~TopProbe() override { DestroyWindow(hwnd); }
    void WndInvalidateRect(const Gui::Rect& r) override {
        invalid.push_back(r);
        Probe::WndInvalidateRect(r);
    }
    Gui::Image Press(int e, Gui::Point p, int zdelta = 0) {
        return DispatchMouse(this, e, zdelta, p);
    }

    HWND hwnd;
    std::vector<Gui::Rect> invalid;
};

// Once, from its handler `on`, moves itself into `to`, or else destroys itself; its
// memory is overwritten then, so a later use through a stale pointer crashes.
struct Rogue : Probe {
    Rogue() : Probe("r") {}
    static void operator delete(void* p, size_t n) {
        memset(p, 0xA5, n);
        ::operator delete(p);
    }
    void Act(const char* when) {
        if (!on || strcmp(when, on) != 0) return;
        on = nullptr;
        if (to) {
            to->Add(*this);
        } else {
            delete this;
        }
    }
    void CancelMode() override { Act("cancel"); }
    void Layout() override { Act("layout"); }
    void Paint(Gui::Draw&) override { Act("paint"); }
    const char* on = nullptr;
    Ctrl* to = nullptr;
};

}  // namespace ctrl_test
