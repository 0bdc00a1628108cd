#include "gui/image_painter.h"

#include <algorithm>
#include <list>
#include <map>
#include <tuple>
#include <unordered_map>

#include "gui/image_ops.h"
#include "gui/rescale.h"

using Gui::Color;
using Gui::Image;
using Gui::Point;
using Gui::Rect;

namespace {

// Where the image splits: the stretchable middle (left, top, right, bottom) in
// source pixels, and whether the middle is hollow along each axis.
struct Split {
    int l, t, r, b;
    bool hollow_x, hollow_y;
};

// One axis. The spots come from skin text, so a spot outside the image is pulled
// back onto its last pixel rather than giving negative margins.
void SplitAxis(int size, int s1, int s2, bool two_spots, int& low, int& high, bool& hollow) {
    s1 = std::clamp(s1, 0, std::max(size - 1, 0));
    s2 = std::clamp(s2, 0, std::max(size - 1, 0));
    hollow = false;
    if (two_spots) {
        low = std::min(s1, s2);
        high = std::max(s1, s2) + 1;
        hollow = s2 < s1;
    } else if (s1 > size / 2) {
        low = size - s1 - 1;
        high = s1;
        hollow = true;
    } else {
        low = s1;
        high = size - s1;
    }
}

Split SplitImage(const Image& img) {
    const Point p1 = img.GetHotSpot();
    const Point p2 = img.GetSpot2();
    const bool two = !(p2.x == 0 && p2.y == 0);
    Split s;
    SplitAxis(img.GetWidth(), p1.x, p2.x, two, s.l, s.r, s.hollow_x);
    SplitAxis(img.GetHeight(), p1.y, p2.y, two, s.t, s.b, s.hollow_y);
    return s;
}

// Serial id to classification; emptied when it grows past the bound.
constexpr size_t kMiddleCacheBound = 100;

std::map<uint64_t, int>& MiddleCache() {
    static std::map<uint64_t, int> cache;
    return cache;
}

bool SamePixel(const Gui::RGBA& a, const Gui::RGBA& b) { return a == b; }

// Stretched pieces of images, so that repainting a control at the same size rescales
// nothing and paints through the DIB section already made for the piece. The least
// recently used piece goes first once the pixels held pass the bound. UI thread only.
class StretchCache {
public:
    Image Get(const Image& img, const Rect& src, int cx, int cy) {
        const Key key{img.GetSerialId(), src.left, src.top, src.right, src.bottom, cx, cy};
        auto it = index_.find(key);
        if (it != index_.end()) {
            lru_.splice(lru_.begin(), lru_, it->second);
            return it->second->second;
        }
        const Image part = src == Rect(img.GetSize()) ? img : Gui::Crop(img, src);
        if (part.IsEmpty()) return Image();
        Image scaled = Gui::Rescale(part, cx, cy);
        const int64_t n = static_cast<int64_t>(cx) * cy;
        if (scaled.IsEmpty() || n > kMaxPixels / 4) return scaled;
        lru_.emplace_front(key, scaled);
        index_[key] = lru_.begin();
        pixels_ += n;
        while (pixels_ > kMaxPixels) {
            const auto& last = lru_.back();
            pixels_ -= static_cast<int64_t>(last.second.GetWidth()) * last.second.GetHeight();
            index_.erase(last.first);
            lru_.pop_back();
        }
        return scaled;
    }

private:
    using Key = std::tuple<uint64_t, int, int, int, int, int, int>;
    static constexpr int64_t kMaxPixels = int64_t(1) << 21;  // 8 MiB

    struct KeyHash {
        size_t operator()(const Key& k) const {
            // Serial ids and rectangles are small integers: multiply-xor mixes them.
            uint64_t h = std::get<0>(k) * 0x9E3779B97F4A7C15ull;
            auto mix = [&h](int v) { h = (h ^ static_cast<uint32_t>(v)) * 0x100000001B3ull; };
            mix(std::get<1>(k));
            mix(std::get<2>(k));
            mix(std::get<3>(k));
            mix(std::get<4>(k));
            mix(std::get<5>(k));
            mix(std::get<6>(k));
            return static_cast<size_t>(h ^ (h >> 29));
        }
    };

    std::list<std::pair<Key, Image>> lru_;
    std::unordered_map<Key, std::list<std::pair<Key, Image>>::iterator, KeyHash> index_;
    int64_t pixels_ = 0;
};

StretchCache& Stretched() {
    static StretchCache* cache = new StretchCache;
    return *cache;
}

}  // namespace

void DrawImageStretched(Gui::Draw& w, int x, int y, int cx, int cy, const Image& img,
                        const Rect& src) {
    if (cx <= 0 || cy <= 0 || img.IsEmpty()) return;
    const Image scaled = Stretched().Get(img, src, cx, cy);
    if (!scaled.IsEmpty()) w.DrawImage(x, y, scaled);
}

void DrawImageStretched(Gui::Draw& w, const Rect& r, const Image& img, const Rect& src) {
    DrawImageStretched(w, r.left, r.top, r.Width(), r.Height(), img, src);
}

bool ImageRowsEqual(const Image& img, int y1, int y2, int x1, int x2) {
    const Gui::RGBA* a = img[y1];
    const Gui::RGBA* b = img[y2];
    for (int x = x1; x < x2; ++x)
        if (!SamePixel(a[x], b[x])) return false;
    return true;
}

bool ImageColumnsEqual(const Image& img, int x1, int x2, int y1, int y2) {
    for (int y = y1; y < y2; ++y)
        if (!SamePixel(img[y][x1], img[y][x2])) return false;
    return true;
}

int ClassifyImageMiddle(const Rect& middle, const Image& img) {
    if (middle.IsNull()) return 0;
    Rect m = middle.Intersection(Rect(img.GetSize()));
    if (m.Width() <= 0 || m.Height() <= 0) return 0;  // nothing to compare against
    int result = kMiddleRowsEqual | kMiddleColumnsEqual;
    for (int y = m.top + 1; y < m.bottom; ++y)
        if (!ImageRowsEqual(img, m.top, y, m.left, m.right)) {
            result &= ~kMiddleRowsEqual;
            break;
        }
    for (int x = m.left + 1; x < m.right; ++x)
        if (!ImageColumnsEqual(img, m.left, x, m.top, m.bottom)) {
            result &= ~kMiddleColumnsEqual;
            break;
        }
    return result;
}

int GetImageMiddleClass(const Rect& middle, const Image& img) {
    auto& cache = MiddleCache();
    const uint64_t id = img.GetSerialId();
    auto it = cache.find(id);
    if (it != cache.end() && it->second >= 0) return it->second;
    const int c = ClassifyImageMiddle(middle, img);
    if (cache.size() > kMiddleCacheBound) cache.clear();
    cache[id] = c;
    return c;
}

int GetImageMiddleCacheSize() { return static_cast<int>(MiddleCache().size()); }

void PaintImageRect(Gui::Draw& w, const Rect& r, const Image& image) {
    if (image.GetWidth() == 0 || image.GetHeight() == 0) return;
    const Image img = image;  // held while painting
    const int W = img.GetWidth();
    const int H = img.GetHeight();
    const Split s = SplitImage(img);
    const int L = s.l, T = s.t, R = s.r, B = s.b;
    const int rm = W - R;
    const int bm = H - B;
    const int rw = r.Width();
    const int rh = r.Height();

    w.ClipOffset(r);
    const int hl = std::min(std::max(rw / 2, 0), W);
    const int hr = std::min(std::max(rw - hl, 0), W);
    const int vt = std::min(std::max(rh / 2, 0), H);
    const int vb = std::min(std::max(rh - vt, 0), H);
    const bool fit_x = rw - rm > L;
    const bool fit_y = rh - bm > T;
    const int mw = rw - rm - L;  // target width of the middle columns
    const int mh = rh - bm - T;  // target height of the middle rows

    if (fit_x && fit_y) {
        w.DrawImage(0, 0, img, Rect(0, 0, L, T));
        w.DrawImage(0, rh - bm, img, Rect(0, B, L, H));
        w.DrawImage(rw - rm, 0, img, Rect(R, 0, W, T));
        w.DrawImage(rw - rm, rh - bm, img, Rect(R, B, W, H));
        DrawImageStretched(w, L, 0, mw, T, img, Rect(L, 0, R, T));
        DrawImageStretched(w, L, rh - bm, mw, bm, img, Rect(L, B, R, H));
        DrawImageStretched(w, 0, T, L, mh, img, Rect(0, T, L, B));
        DrawImageStretched(w, rw - rm, T, rm, mh, img, Rect(R, T, W, B));
        if (!s.hollow_x && !s.hollow_y) {
            const Rect middle(L, T, R, B);
            const int c = GetImageMiddleClass(middle, img);
            // An empty middle has no pixel of its own to fill with.
            const bool has_pixel = R > L && B > T;
            const Gui::RGBA p = has_pixel ? img[T][L] : Gui::RGBA{0, 0, 0, 0};
            if (c == (kMiddleRowsEqual | kMiddleColumnsEqual) && has_pixel && p.a == 255)
                w.DrawRect(Rect(L, T, rw - rm, rh - bm), Color(p.r, p.g, p.b));
            else
                DrawImageStretched(w, L, T, mw, mh, img, middle);
        }
    } else if (fit_x) {
        w.DrawImage(0, 0, img, Rect(0, 0, L, vt));
        w.DrawImage(0, rh - vb, img, Rect(0, H - vb, L, H));
        w.DrawImage(rw - rm, 0, img, Rect(R, 0, W, vt));
        w.DrawImage(rw - rm, rh - vb, img, Rect(R, H - vb, W, H));
        DrawImageStretched(w, L, 0, mw, vt, img, Rect(L, 0, R, vt));
        DrawImageStretched(w, L, rh - vb, mw, vb, img, Rect(L, H - vb, R, H));
    } else if (fit_y) {
        w.DrawImage(0, 0, img, Rect(0, 0, hl, T));
        w.DrawImage(rw - hr, 0, img, Rect(W - hr, 0, W, T));
        w.DrawImage(0, rh - bm, img, Rect(0, B, hl, H));
        w.DrawImage(rw - hr, rh - bm, img, Rect(W - hr, B, W, H));
        DrawImageStretched(w, 0, T, hl, mh, img, Rect(0, T, hl, B));
        DrawImageStretched(w, rw - hr, T, hr, mh, img, Rect(W - hr, T, W, B));
    } else {
        w.DrawImage(0, 0, img, Rect(0, 0, hl, vt));
        w.DrawImage(rw - hr, 0, img, Rect(W - hr, 0, W, vt));
        w.DrawImage(0, rh - vb, img, Rect(0, H - vb, hl, H));
        w.DrawImage(rw - hr, rh - vb, img, Rect(W - hr, H - vb, W, H));
    }
    w.End();
}

void PaintImageRect(Gui::Draw& w, int x, int y, int cx, int cy, const Image& img) {
    PaintImageRect(w, Rect(x, y, x + cx, y + cy), img);
}

Image RescaleNearest(const Image& img, int cx, int cy) {
    if (cx < 1 || cy < 1 || img.IsEmpty()) return Image();
    const int W = img.GetWidth();
    const int H = img.GetHeight();
    Gui::ImageBuffer b(cx, cy);
    for (int y = 0; y < cy; ++y) {
        const int sy = std::min(static_cast<int>(static_cast<int64_t>(y) * H / cy), H - 1);
        const Gui::RGBA* src = img[sy];
        Gui::RGBA* dst = b[y];
        for (int x = 0; x < cx; ++x)
            dst[x] = src[std::min(static_cast<int>(static_cast<int64_t>(x) * W / cx), W - 1)];
    }
    return Image(b);
}
