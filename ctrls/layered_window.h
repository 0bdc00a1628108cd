// A top-level window with per-pixel alpha: its tree is painted into a 32-bit
// premultiplied buffer that UpdateLayeredWindow hands to the window whole, shown
// with a constant alpha on top. The window gets no paint messages; invalidation
// schedules a repaint of the buffer on the next timer pass.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "ctrls/top_window.h"
#include "gui/timer.h"

namespace ctrls {

class LayeredWindow : public TopWindow {
public:
    LayeredWindow();
    ~LayeredWindow() override;

    // Every control of the tree is refreshed whenever it asks: the buffer is
    // painted whole, so no request may be dropped.
    void AddChild(Gui::Ctrl* child) override;

    // The constant alpha the pixels are shown with (255: as painted).
    void SetAlpha(BYTE alpha);
    BYTE GetAlpha() const { return alpha_; }

    // Paints the tree into the buffer and hands it to the window; false when the
    // window is not open or the buffer cannot be made.
    bool Redraw();
    // A repaint waits for the next timer pass.
    bool IsRedrawPending() { return redraw_.Exists(); }

protected:
    DWORD GetExStyle() const override;
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam, bool* handled) override;
    void OnCreated() override;
    void InvalidateWindowRect(const Gui::Rect& r) override;

private:
    // A 32-bit top-down DIB section selected into its own memory DC.
    struct Surface {
        HDC dc = nullptr;
        HBITMAP bitmap = nullptr;
        HGDIOBJ prior = nullptr;
        uint32_t* bits = nullptr;
        Gui::Size size;

        bool Ensure(Gui::Size want);
        void Destroy();
    };

    void PaintPass(Surface& s, uint32_t base);
    bool Push();

    Surface black_, white_;
    BYTE alpha_ = 255;
    bool painted_ = false;
    Gui::TimeCallback redraw_;
};

}  // namespace ctrls
