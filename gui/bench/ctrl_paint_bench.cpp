// A full repaint of a skinned window: a 600x279 tree of 30 controls, each painting a
// nine-grid skin image on a back buffer, against pixman merely filling the same area
// and composing one ready-made picture per control over it.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "gui/ctrl.h"
#include "gui/draw.h"
#include "gui/image_ops.h"
#include "gui/image_painter.h"

namespace {

constexpr int kWidth = 600, kHeight = 279;

// A skin picture: a translucent rounded-looking border around a solid middle, split
// 4 pixels in from every edge.
Gui::Image SkinImage(BYTE r, BYTE g, BYTE b) {
    constexpr int n = 16;
    Gui::ImageBuffer buf(n, n);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const int edge = std::min(std::min(x, y), std::min(n - 1 - x, n - 1 - y));
            const BYTE a = edge >= 4 ? 255 : static_cast<BYTE>(80 + edge * 40 + x);
            buf[y][x] = Gui::MakeRGBA(r * a / 255, g * a / 255, b * a / 255, a);
        }
    }
    return Gui::WithHotSpots(Gui::Image(buf), 4, 4, n - 5, n - 5);
}

class Skinned : public Gui::Ctrl {
public:
    explicit Skinned(Gui::Image img) : img_(std::move(img)) {}
    void Paint(Gui::Draw& w) override { PaintImageRect(w, Gui::Rect(GetSize()), img_); }

private:
    Gui::Image img_;
};

// The controls' rectangles: a title bar with two boxes, a panel holding a grid of 20
// buttons, a progress bar, its track and three text strips: 30 with the window.
std::vector<Gui::Rect> Layout() {
    std::vector<Gui::Rect> r = {Gui::RectC(0, 0, kWidth, 30), Gui::RectC(540, 6, 20, 18),
                                Gui::RectC(566, 6, 20, 18), Gui::RectC(10, 40, 580, 150)};
    for (int i = 0; i < 20; ++i)
        r.push_back(Gui::RectC(20 + (i % 5) * 114, 50 + (i / 5) * 34, 104, 28));
    r.push_back(Gui::RectC(20, 200, 560, 16));
    r.push_back(Gui::RectC(22, 202, 380, 12));
    for (int i = 0; i < 3; ++i) r.push_back(Gui::RectC(20 + i * 190, 228, 180, 40));
    return r;
}

struct SkinnedWindow {
    SkinnedWindow() : root(SkinImage(0x30, 0x40, 0x60)) {
        root.SetRect(0, 0, kWidth, kHeight);
        int i = 0;
        for (const Gui::Rect& r : Layout()) {
            auto c = std::make_unique<Skinned>(SkinImage(40 + i * 7, 200 - i * 5, 90 + i * 3));
            c->SetRect(r);
            root.Add(*c);
            kids.push_back(std::move(c));
            ++i;
        }
    }
    Skinned root;
    std::vector<std::unique_ptr<Skinned>> kids;
};

// FNV-1a of the frame's pixels as GetDIBits reads them: the label shows that a
// faster repaint still produces the same picture.
uint32_t FrameDigest(Gui::BackDraw& back) {
    auto info = Gui::MakeBitmapInfo32(kWidth, kHeight);
    std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
    HDC hdc = back.BeginGdi();
    GetDIBits(hdc, back.GetBitmap(), 0, kHeight, pixels.data(), info.get(), DIB_RGB_COLORS);
    back.EndGdi();
    uint32_t h = 2166136261u;
    for (uint8_t b : pixels) h = (h ^ b) * 16777619u;
    return h;
}

// One repaint, kept out of line so that a profiler can count the steady frames.
[[gnu::noinline]] void Repaint(SkinnedWindow& window, Gui::BackDraw& back) {
    window.root.CtrlPaint(back, Gui::Rect(0, 0, kWidth, kHeight));
    window.root.ClearRefreshPending();
}

void BM_ControlTreeRepaint(benchmark::State& state) {
    SkinnedWindow window;
    Gui::BackDraw back;
    back.Create(kWidth, kHeight);
    // The first paint rescales the skin pieces; the frames measured reuse them.
    window.root.CtrlPaint(back, Gui::Rect(0, 0, kWidth, kHeight));
    for (auto _ : state) Repaint(window, back);
    state.counters["controls"] = static_cast<double>(window.kids.size() + 1);
    char label[32];
    std::snprintf(label, sizeof label, "frame %08x", FrameDigest(back));
    state.SetLabel(label);
}
BENCHMARK(BM_ControlTreeRepaint)->Unit(benchmark::kMicrosecond);

struct PixmanImage {
    PixmanImage(int cx, int cy, uint32_t argb) : pixels(static_cast<size_t>(cx) * cy, argb) {
        image = pixman_image_create_bits(PIXMAN_a8r8g8b8, cx, cy, pixels.data(), cx * 4);
    }
    ~PixmanImage() { pixman_image_unref(image); }
    std::vector<uint32_t> pixels;
    pixman_image_t* image;
};

void BM_PixmanFillAndCompose(benchmark::State& state) {
    PixmanImage target(kWidth, kHeight, 0);
    std::vector<std::unique_ptr<PixmanImage>> pictures;
    const std::vector<Gui::Rect> rects = Layout();
    for (const Gui::Rect& r : rects) {
        pictures.push_back(std::make_unique<PixmanImage>(r.Width(), r.Height(), 0xC0406080));
    }
    const pixman_color_t fill = {0x3000, 0x4000, 0x6000, 0xFFFF};
    const pixman_rectangle16_t all = {0, 0, kWidth, kHeight};
    for (auto _ : state) {
        pixman_image_fill_rectangles(PIXMAN_OP_SRC, target.image, &fill, 1, &all);
        for (size_t i = 0; i < rects.size(); ++i) {
            const Gui::Rect& r = rects[i];
            pixman_image_composite32(PIXMAN_OP_OVER, pictures[i]->image, nullptr, target.image, 0,
                                     0, 0, 0, r.left, r.top, r.Width(), r.Height());
        }
        benchmark::DoNotOptimize(target.pixels.data());
    }
}
BENCHMARK(BM_PixmanFillAndCompose)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
