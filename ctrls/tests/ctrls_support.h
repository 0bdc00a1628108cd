// What the control tests share: the demo skin, a real pop-up window at (100, 100)
// whose root records what it invalidates, mouse input with the key state a real one
// has, and controls painted onto a bitmap whose pixels the tests read.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

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
    Gui::Image Mouse(int event, Gui::Point p) {
        if ((event & ACTION) == DOWN || (event & ACTION) == UP)
            Keys({(event & ACTION) == DOWN ? VK_LBUTTON : 0});
        return DispatchMouse(this, event, 0, p);
    }
    HWND hwnd;
    std::vector<Gui::Rect> invalid;
};

class CtrlsTest : public ::testing::Test {
protected:
    // e: the pointer enters at `in`, o: it goes out to (300, 50), d/u: the left
    // button goes down/up where the pointer is.
    void Play(const char* steps, Gui::Point in) {
        Gui::Point at = in;
        for (const char* s = steps; *s; ++s) {
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

// A control painted on a 32-bit bitmap of its size; pixels read as 0xRRGGBB.
struct Canvas : testing_support::DibCanvas {
    explicit Canvas(Gui::Ctrl& c) : DibCanvas(c.GetSize().cx, c.GetSize().cy) {
        Gui::Draw w(dc());
        c.CtrlPaint(w, Gui::Rect(c.GetSize()));
    }
    uint32_t At(int x, int y) const { return rgb(x, y); }
    int Count(Gui::Rect r, uint32_t v) const { return count(r.left, r.top, r.right, r.bottom, v); }
};

// An opaque image pixel as the bitmap holds it.
inline uint32_t Rgb(const Gui::Image& img, int x, int y) {
    const Gui::RGBA p = img[y][x];
    return p.r << 16 | p.g << 8 | p.b;
}

}  // namespace ctrls_test
