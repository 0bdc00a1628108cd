#include "ctrls/layered_window.h"

#include <algorithm>

#include "gui/draw.h"

namespace ctrls {
namespace {

// Per-pixel alpha from two paintings of the same tree, one over transparent black
// and one over transparent white: whatever the drawing calls did with alpha (GDI
// fills and text leave it 0, images blend it), a pixel shows its background
// through exactly as much as the two differ.
void Compose(uint32_t* black, const uint32_t* white, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const uint32_t b = black[i], w = white[i];
        int through = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const int d =
                static_cast<int>((w >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
            through = std::max(through, d);
        }
        const uint32_t a = static_cast<uint32_t>(255 - through);
        uint32_t out = a << 24;
        for (int shift = 0; shift < 24; shift += 8)
            out |= std::min((b >> shift) & 0xFF, a) << shift;
        black[i] = out;
    }
}

}  // namespace

bool LayeredWindow::Surface::Ensure(Gui::Size want) {
    if (dc && size == want) return true;
    Destroy();
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = want.cx;
    bmi.bmiHeader.biHeight = -want.cy;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    bitmap = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bitmap || !pixels) {
        Destroy();
        return false;
    }
    dc = CreateCompatibleDC(nullptr);
    if (!dc) {
        Destroy();
        return false;
    }
    prior = SelectObject(dc, bitmap);
    bits = static_cast<uint32_t*>(pixels);
    size = want;
    return true;
}

void LayeredWindow::Surface::Destroy() {
    if (dc) {
        SelectObject(dc, prior);
        DeleteDC(dc);
    }
    if (bitmap) DeleteObject(bitmap);
    dc = nullptr;
    bitmap = nullptr;
    prior = nullptr;
    bits = nullptr;
    size = Gui::Size();
}

LayeredWindow::LayeredWindow() { GetRoot().SetAlwaysRefresh(); }

LayeredWindow::~LayeredWindow() {
    black_.Destroy();
    white_.Destroy();
}

void LayeredWindow::AddChild(Gui::Ctrl* child) {
    TopWindow::AddChild(child);
    GetRoot().SetAlwaysRefresh();
}

DWORD LayeredWindow::GetExStyle() const { return TopWindow::GetExStyle() | WS_EX_LAYERED; }

void LayeredWindow::SetAlpha(BYTE alpha) {
    alpha_ = alpha;
    if (painted_) Push();
}

void LayeredWindow::PaintPass(Surface& s, uint32_t base) {
    std::fill(s.bits, s.bits + static_cast<size_t>(s.size.cx) * s.size.cy, base);
    Gui::Draw w(s.dc);
    GetRoot().CtrlPaint(w, Gui::Rect(s.size));
}

bool LayeredWindow::Redraw() {
    redraw_.Kill();
    if (!IsOpen()) return false;
    const Gui::Size size = GetRoot().GetRect().GetSize();
    if (size.cx <= 0 || size.cy <= 0) return false;
    if (!black_.Ensure(size) || !white_.Ensure(size)) return false;
    PaintPass(black_, 0x00000000u);
    PaintPass(white_, 0x00FFFFFFu);
    Compose(black_.bits, white_.bits, static_cast<size_t>(size.cx) * size.cy);
    GetRoot().ClearRefreshPending();
    painted_ = true;
    return Push();
}

bool LayeredWindow::Push() {
    HWND hwnd = GetHWND();
    if (!hwnd || !black_.dc) return false;
    POINT from = {0, 0};
    SIZE size = {black_.size.cx, black_.size.cy};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, alpha_, AC_SRC_ALPHA};
    HDC screen = GetDC(nullptr);
    const BOOL ok =
        UpdateLayeredWindow(hwnd, screen, nullptr, &size, black_.dc, &from, 0, &blend, ULW_ALPHA);
    ReleaseDC(nullptr, screen);
    return ok != FALSE;
}

void LayeredWindow::OnCreated() {
    // The window has its pixels before it is first shown.
    Redraw();
}

void LayeredWindow::InvalidateWindowRect(const Gui::Rect&) {
    if (!redraw_.Exists()) redraw_.Set(0, Gui::MakePteCallback(this, &LayeredWindow::Redraw));
}

LRESULT LayeredWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam, bool* handled) {
    if (message == WM_PAINT) {
        // Only before the first update can one come; the buffer answers it.
        ValidateRect(GetHWND(), nullptr);
        Redraw();
        *handled = true;
        return 0;
    }
    return TopWindow::WindowProc(message, wparam, lparam, handled);
}

}  // namespace ctrls
