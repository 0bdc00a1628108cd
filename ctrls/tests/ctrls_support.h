// What the control tests share: the demo skin loaded as the program loads it, a
// real pop-up window whose root control records what it invalidates, the key
// state, and a control painted onto a bitmap whose pixels the tests read.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "gui/ctrl.h"
#include "gui/draw.h"
#include "raster/register_rasters.h"
#include "skin/skin.h"
#include "skin/skin_loader.h"
#include "skin/skin_manager.h"

namespace ctrls_test {

inline skin::SkinLoader& Skin() { return skin::SkinLoader::Instance(); }

// Once per process; the default font is set before any control is made.
inline void LoadDemoSkin() {
    static const bool loaded = [] {
        raster::RegisterRasters();
        Gui::Ctrl::InitWin32(GetModuleHandleW(nullptr));
        std::string path = SKIN_PACKAGE;
        bool ok = skin::LoadSkinPackage(L"Z:" + std::wstring(path.begin(), path.end()));
        Skin().SetFontCallback(&downloader::SkinManager::CreateFont);
        downloader::SkinManager::SetDefaultFont("normal_ft");
        return ok;
    }();
    EXPECT_TRUE(loaded);
}

struct SkinLoaded {
    SkinLoaded() { LoadDemoSkin(); }
};

inline void Keys(std::initializer_list<int> down) {
    BYTE state[256] = {};
    for (int vk : down) state[vk] = 0x80;
    SetKeyboardState(state);
}

class Root : public Gui::Ctrl {
public:
    explicit Root(Gui::Rect r = Gui::RectC(100, 100, 600, 279)) {
        SetRect(r);
        hwnd = CreateWindowExW(0, L"GTK2-W", L"", WS_POPUP, r.left, r.top, r.Width(), r.Height(),
                               nullptr, nullptr, GetInstance(), nullptr);
        SetTopWindow(hwnd);
        SetOpen(true);
    }
    ~Root() override {
        Keys({});
        ResetMouseState();
        ReleaseCtrlCapture();
        ClearFocus();
        DestroyWindow(hwnd);
    }
    void WndInvalidateRect(const Gui::Rect& r) override { invalid.push_back(r); }
    // A press or release with the key state a real one has.
    Gui::Image Mouse(int event, Gui::Point p) {
        if ((event & ACTION) == DOWN) Keys({VK_LBUTTON});
        if ((event & ACTION) == UP) Keys({});
        return DispatchMouse(this, event, 0, p);
    }

    HWND hwnd;
    std::vector<Gui::Rect> invalid;
};

// A control painted on a 32-bit bitmap of its size.
class Canvas {
public:
    explicit Canvas(Gui::Ctrl& c) : size_(c.GetSize()) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = size_.cx;
        bi.bmiHeader.biHeight = -size_.cy;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint32_t*>(bits);
        dc_ = CreateCompatibleDC(nullptr);
        prior_ = SelectObject(dc_, bitmap_);
        Gui::Draw w(dc_);
        c.CtrlPaint(w, Gui::Rect(size_));
    }
    ~Canvas() {
        SelectObject(dc_, prior_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    uint32_t At(int x, int y) const { return bits_[y * size_.cx + x] & 0xFFFFFF; }
    // The bounding box of the pixels in r that are not bg.
    Gui::Rect Ink(uint32_t bg, Gui::Rect r) const {
        Gui::Rect box(r.right, r.bottom, r.left, r.top);
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (At(x, y) != bg)
                    box = Gui::Rect(std::min(box.left, x), std::min(box.top, y),
                                    std::max(box.right, x + 1), std::max(box.bottom, y + 1));
        return box;
    }

private:
    Gui::Size size_;
    HBITMAP bitmap_;
    uint32_t* bits_;
    HDC dc_;
    HGDIOBJ prior_;
};

// An opaque image pixel as the bitmap holds it.
inline uint32_t Rgb(const Gui::Image& img, int x, int y) {
    const Gui::RGBA p = img[y][x];
    return p.r << 16 | p.g << 8 | p.b;
}

}  // namespace ctrls_test
