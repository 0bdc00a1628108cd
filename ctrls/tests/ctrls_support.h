// What the control tests share: the demo skin, a real pop-up window at (100, 100)
// whose root records what it invalidates, mouse input with the key state a real one
// has, and controls painted onto a bitmap whose pixels the tests read.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "gui/ctrl.h"
#include "gui/draw.h"
#include "raster/register_rasters.h"
#include "skin/skin.h"
#include "skin/skin_loader.h"
#include "skin/skin_manager.h"
#include "testing/dib_canvas.h"
#include "testing/lambda_callback.h"

namespace ctrls_test {

inline bool GetStyle(const char* key, auto& style) {
    return skin::SkinLoader::Instance().GetStyle(key, style);
}

inline void Keys(std::initializer_list<int> down) {
    BYTE state[256] = {};
    for (int vk : down) state[vk] = 0x80;
    SetKeyboardState(state);
}

// Once per process, before any control is made (they copy the default font).
inline bool LoadDemoSkin() {
    static const bool loaded = [] {
        raster::RegisterRasters();
        Gui::Ctrl::InitWin32(GetModuleHandleW(nullptr));
        const std::string path = SKIN_PACKAGE;
        skin::SkinLoader::Instance().SetFontCallback(&downloader::SkinManager::CreateFont);
        const bool ok = skin::LoadSkinPackage(L"Z:" + std::wstring(path.begin(), path.end()));
        downloader::SkinManager::SetDefaultFont("normal_ft");
        return ok;
    }();
    return loaded;
}

class Root : public Gui::Ctrl {
public:
    Root() {
        SetRect(Gui::RectC(100, 100, 600, 279));
        hwnd = CreateWindowExW(0, L"GTK2-W", L"", WS_POPUP, 100, 100, 600, 279, nullptr, nullptr,
                               GetInstance(), nullptr);
        SetTopWindow(hwnd);
        SetOpen(true);
    }
    ~Root() override {
        Keys({});
        ReleaseCtrlCapture();
        ClearFocus();
        DestroyWindow(hwnd);
    }
    void WndInvalidateRect(const Gui::Rect& r) override { invalid.push_back(r); }
    // held: a key (VK_SHIFT...) down with a press.
    Gui::Image Mouse(int event, Gui::Point p, int held = 0) {
        if ((event & ACTION) == DOWN || (event & ACTION) == UP)
            Keys({(event & ACTION) == DOWN ? VK_LBUTTON : 0, held});
        return DispatchMouse(this, event, 0, p);
    }
    HWND hwnd;
    std::vector<Gui::Rect> invalid;
};

class CtrlsTest : public ::testing::Test {
protected:
    // e: the pointer enters at `in`, o: it goes out to (300, 50), d/u: the left
    // button goes down/up where the pointer is; other steps go to `other`.
    void Play(const char* steps, Gui::Point in, const std::function<void(char)>& other = {}) {
        Gui::Point at = in;
        for (const char* s = steps; *s; ++s) {
            if (!strchr("eodu", *s)) {
                other(*s);
                continue;
            }
            if (*s == 'e' || *s == 'o') at = *s == 'e' ? in : Gui::Point(300, 50);
            root.Mouse(*s == 'd'   ? Gui::Ctrl::LEFTDOWN
                       : *s == 'u' ? Gui::Ctrl::LEFTUP
                                   : Gui::Ctrl::MOUSEMOVE,
                       at);
        }
    }

    bool skin_loaded = LoadDemoSkin();  // first of all
    Root root;
    int actions = 0;
    Gui::Callback counter = testing_support::Do([this] { ++actions; });
};

// An opaque image pixel as the bitmap holds it.
inline uint32_t Rgb(const Gui::Image& img, int x, int y) {
    const Gui::RGBA p = img[y][x];
    return p.r << 16 | p.g << 8 | p.b;
}

// A control painted on a 32-bit bitmap of its size; pixels read as 0xRRGGBB.
struct Canvas : testing_support::DibCanvas {
    explicit Canvas(Gui::Ctrl& c) : DibCanvas(c.GetSize().cx, c.GetSize().cy) {
        Gui::Draw w(dc());
        c.CtrlPaint(w, Gui::Rect(c.GetSize()));
    }
    uint32_t At(int x, int y) const { return rgb(x, y); }
    // Pixels of r near colour v (testing_support::NearRgb).
    int Count(Gui::Rect r, uint32_t v, int tol = 0) const {
        int n = 0;
        Scan(r, v, tol, [&](int, int) { ++n; });
        return n;
    }
    // The bounds of those pixels (within the whole canvas by default).
    Gui::Rect Box(uint32_t v, Gui::Rect r = Gui::Rect(0, 0, 1 << 16, 1 << 16), int tol = 0) const {
        Gui::Rect box(1 << 16, 1 << 16, 0, 0);
        Scan(r, v, tol, [&](int x, int y) {
            box = Gui::Rect(std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                            std::max(box.bottom, y + 1));
        });
        return box.IsEmpty() ? Gui::Rect() : box;
    }
    template <class F>
    void Scan(Gui::Rect r, uint32_t v, int tol, F found) const {
        for (int y = std::max(r.top, 0); y < std::min(r.bottom, height()); ++y)
            for (int x = std::max(r.left, 0); x < std::min(r.right, width()); ++x)
                if (testing_support::NearRgb(rgb(x, y), v, tol)) found(x, y);
    }
};

}  // namespace ctrls_test
