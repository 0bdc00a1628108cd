#include <cstdint>
#include <cstring>
#include <vector>

#include "gui/rescale.h"

namespace Gui {
namespace {

// Mixes the rows of one rescale: horizontal first into 32-bit accumulators, then
// the rows of the vertical window. Source rows pass through a four-row cache.
class LineRescaler {
public:
    LineRescaler(Raster& source, Size size, const RescaleMap& x, const RescaleMap& y)
        : source_(source), size_(size), x_(x), y_(y) {
        const int slots = y_.taps > 0 ? y_.taps : 1;
        ring_.assign(static_cast<size_t>(slots) * x_.count * 4, 0);
        ring_rows_.assign(slots, -1);
    }

    // Target row `row` into t (target width pixels).
    void GetLine(int row, RGBA* t) {
        memset(t, 0, static_cast<size_t>(size_.cx) * 4);
        const int k = row - y_.start;
        if (k < 0 || k >= y_.count) return;
        index_ += y_.offsets[k];
        RGBA* out = t + x_.start;
        if (y_.wide) {
            for (int j = 0; j < 4; ++j) MixRow(index_ + j * y_.step, Slot(j));
            for (int i = 0; i < x_.count; ++i)
                for (int c = 0; c < 4; ++c) {
                    uint32_t sum = 0;
                    for (int j = 0; j < 4; ++j) sum += Slot(j)[i * 4 + c];
                    Set(out[i], c, sum >> 10);
                }
            ring_rows_.assign(ring_rows_.size(), -1);
            return;
        }
        const int taps = y_.taps;
        for (int j = 0; j < taps; ++j) {
            const int r = index_ + j;
            const int slot = r % taps;
            if (ring_rows_[slot] != r) {
                MixRow(r, Slot(slot));
                ring_rows_[slot] = r;
            }
        }
        const int* w = &y_.weights[static_cast<size_t>(k) * taps];
        const uint32_t* a0 = Slot(index_ % taps);
        if (taps == 1 || (taps == 2 && (w[0] == 0 || w[1] == 0))) {
            const uint32_t* a = taps == 2 && w[0] == 0 ? Slot((index_ + 1) % taps) : a0;
            for (int i = 0; i < x_.count; ++i)
                for (int c = 0; c < 4; ++c) Set(out[i], c, a[i * 4 + c] >> 8);
            return;
        }
        for (int i = 0; i < x_.count; ++i)
            for (int c = 0; c < 4; ++c) {
                uint32_t sum = 0;
                for (int j = 0; j < taps; ++j)
                    sum += Slot((index_ + j) % taps)[i * 4 + c] * static_cast<uint32_t>(w[j]);
                Set(out[i], c, sum >> 16);
            }
    }

private:
    struct CachedRow {
        int index = -1;
        Raster::Line line;
    };

    static BYTE Channel(const RGBA& p, int c) {
        return c == 0 ? p.b : c == 1 ? p.g : c == 2 ? p.r : p.a;
    }
    static void Set(RGBA& p, int c, uint32_t v) {
        const BYTE b = static_cast<BYTE>(v > 255 ? 255 : v);
        (c == 0 ? p.b : c == 1 ? p.g : c == 2 ? p.r : p.a) = b;
    }

    uint32_t* Slot(int j) { return &ring_[static_cast<size_t>(j) * x_.count * 4]; }

    const RGBA* SourceRow(int index) {
        for (CachedRow& e : cache_)
            if (e.index == index) return e.line.GetData();
        CachedRow& e = cache_[next_];
        next_ = (next_ + 1) % 4;
        e.line = source_.GetLine(index);
        e.index = index;
        return e.line.GetData();
    }

    // Source row `index` mixed horizontally into x_.count x 4 accumulators.
    void MixRow(int index, uint32_t* acc) {
        const RGBA* s = SourceRow(index);
        int at = 0;
        for (int i = 0; i < x_.count; ++i, acc += 4) {
            at += x_.offsets[i];
            const RGBA* p = s + at;
            for (int c = 0; c < 4; ++c) {
                uint32_t v = 0;
                if (x_.wide) {
                    const int st = x_.step;
                    v = (Channel(p[0], c) + Channel(p[st], c) + Channel(p[2 * st], c) +
                         Channel(p[3 * st], c)) *
                        64u;
                } else {
                    const int* w = &x_.weights[static_cast<size_t>(i) * x_.taps];
                    for (int j = 0; j < x_.taps; ++j)
                        v += Channel(p[j], c) * static_cast<uint32_t>(w[j]);
                }
                acc[c] = v;
            }
        }
    }

    Raster& source_;
    Size size_;
    const RescaleMap& x_;
    const RescaleMap& y_;
    std::vector<uint32_t> ring_;
    std::vector<int> ring_rows_;
    int index_ = 0;
    CachedRow cache_[4];
    int next_ = 0;
};

}  // namespace

void RescaleToEncoder(RasterEncoder& target, Size size, Raster& source, const Rect& src) {
    target.Create(size);
    const Size ssize = source.GetSize();
    RescaleMap x, y;
    if (size.cx != 0) x = BuildRescaleMap(0, size.cx, 0, size.cx, src.left, src.right, ssize.cx);
    if (!x.IsEmpty()) y = BuildRescaleMap(0, size.cy, 0, size.cy, src.top, src.bottom, ssize.cy);
    LineRescaler rescaler(source, size, x, y);
    for (int row = 0; row < size.cy; ++row) {
        RGBA* line = target.GetLineBuffer();
        rescaler.GetLine(row, line);
        target.WriteLine(line);
    }
}

Image Rescale(const Image& img, Size size, const Rect& src) {
    const Size own = img.GetSize();
    if (own == size && src == Rect(own)) return img;
    ImageRaster source(img);
    ImageEncoder target;
    RescaleToEncoder(target, size, source, src);
    return target.GetImage();
}

Image Rescale(const Image& img, Size size) { return Rescale(img, size, Rect(img.GetSize())); }

Image Rescale(const Image& img, int cx, int cy) { return Rescale(img, Size(cx, cy)); }

}  // namespace Gui
