#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "gui/rescale.h"

namespace Gui {
namespace {

// Mixes the rows of one rescale: horizontal first into 32-bit accumulators (four a
// sample, in the pixel's byte order), then the rows of the vertical window. Source
// rows pass through a four-row cache. Each inner loop is specialised for its number
// of taps and works on flat arrays, so the compiler can unroll and vectorise it.
class LineRescaler {
public:
    LineRescaler(Raster& source, Size size, const RescaleMap& x, const RescaleMap& y)
        : source_(source), size_(size), x_(x), y_(y), row_bytes_(static_cast<size_t>(x.count) * 4) {
        const int slots = y_.taps > 0 ? y_.taps : 1;
        ring_.assign(static_cast<size_t>(slots) * row_bytes_, 0);
        ring_rows_.assign(slots, -1);
        if (y_.wide) sum_.assign(row_bytes_, 0);
        // Absolute source starts, so a sample needs no running position.
        starts_.resize(x_.count);
        int at = 0;
        for (int i = 0; i < x_.count; ++i) starts_[i] = at += x_.offsets[i];
    }

    // Target row `row` into t (target width pixels).
    void GetLine(int row, RGBA* t) {
        const int k = row - y_.start;
        if (k < 0 || k >= y_.count) {
            memset(t, 0, static_cast<size_t>(size_.cx) * 4);
            return;
        }
        // Only what the x map does not reach stays transparent.
        memset(t, 0, static_cast<size_t>(x_.start) * 4);
        const size_t tail = static_cast<size_t>(x_.start) + x_.count;
        memset(t + tail, 0, (static_cast<size_t>(size_.cx) - tail) * 4);
        index_ += y_.offsets[k];
        BYTE* out = reinterpret_cast<BYTE*>(t + x_.start);
        const size_t n = row_bytes_;
        if (y_.wide && x_.wide && FourRows(rows_)) {
            MixSixteen(out);
            return;
        }
        if (y_.wide) {
            uint32_t* sum = sum_.data();
            MixRow(index_, sum);
            for (int j = 1; j < 4; ++j) {
                uint32_t* acc = Slot(0);
                MixRow(index_ + j * y_.step, acc);
                for (size_t i = 0; i < n; ++i) sum[i] += acc[i];
            }
            for (size_t i = 0; i < n; ++i) out[i] = Clamp(sum[i] >> 10);
            return;
        }
        const int taps = y_.taps;
        const uint32_t* a[3] = {};
        for (int j = 0; j < taps; ++j) {
            const int r = index_ + j;
            const int slot = r % taps;
            if (ring_rows_[slot] != r) {
                MixRow(r, Slot(slot));
                ring_rows_[slot] = r;
            }
            a[j] = Slot(slot);
        }
        const int* w = &y_.weights[static_cast<size_t>(k) * taps];
        if (taps == 1 || (taps == 2 && (w[0] == 0 || w[1] == 0))) {
            const uint32_t* one = taps == 2 && w[0] == 0 ? a[1] : a[0];
            for (size_t i = 0; i < n; ++i) out[i] = Clamp(one[i] >> 8);
        } else if (taps == 2) {
            const uint32_t w0 = w[0], w1 = w[1];
            const uint32_t *a0 = a[0], *a1 = a[1];
            for (size_t i = 0; i < n; ++i) out[i] = Clamp((a0[i] * w0 + a1[i] * w1) >> 16);
        } else {
            const uint32_t w0 = w[0], w1 = w[1], w2 = w[2];
            const uint32_t *a0 = a[0], *a1 = a[1], *a2 = a[2];
            for (size_t i = 0; i < n; ++i)
                out[i] = Clamp((a0[i] * w0 + a1[i] * w1 + a2[i] * w2) >> 16);
        }
    }

private:
    struct CachedRow {
        int index = -1;
        Raster::Line line;
    };

    static BYTE Clamp(uint32_t v) { return static_cast<BYTE>(v > 255 ? 255 : v); }

    uint32_t* Slot(int j) { return &ring_[static_cast<size_t>(j) * row_bytes_]; }

    const RGBA* SourceRow(int index) {
        for (CachedRow& e : cache_)
            if (e.index == index) return e.line.GetData();
        CachedRow& e = cache_[next_];
        next_ = (next_ + 1) % 4;
        e.line = source_.GetLine(index);
        e.index = index;
        return e.line.GetData();
    }

    // The wide window's four rows, kept by the cache at once: true when none of
    // them pushed out another.
    bool FourRows(const BYTE* rows[4]) {
        for (int j = 0; j < 4; ++j)
            rows[j] = reinterpret_cast<const BYTE*>(SourceRow(index_ + j * y_.step));
        for (int j = 0; j < 4; ++j)
            if (!Cached(index_ + j * y_.step)) return false;
        return true;
    }
    bool Cached(int index) const {
        for (const CachedRow& e : cache_)
            if (e.index == index) return true;
        return false;
    }

    // Wide on both axes: sixteen samples a pixel, each counted 64 times and the sum
    // shifted by 10, which is the plain sum shifted by 4.
    void MixSixteen(BYTE* out) const {
        const size_t st = static_cast<size_t>(x_.step) * 4;
        const BYTE *r0 = rows_[0], *r1 = rows_[1], *r2 = rows_[2], *r3 = rows_[3];
#if defined(__SSE2__)
        // A pixel's four channels side by side in 16-bit lanes: sixteen samples of at
        // most 255 cannot overflow them.
        const __m128i zero = _mm_setzero_si128();
        auto pixel = [](const BYTE* p) {
            int32_t v;
            memcpy(&v, p, 4);
            return _mm_cvtsi32_si128(v);
        };
        for (int i = 0; i < x_.count; ++i, out += 4) {
            const size_t at = static_cast<size_t>(starts_[i]) * 4;
            __m128i sum = zero;
            for (size_t j = at; j <= at + 3 * st; j += st) {
                const __m128i a = _mm_unpacklo_epi32(pixel(r0 + j), pixel(r1 + j));
                const __m128i b = _mm_unpacklo_epi32(pixel(r2 + j), pixel(r3 + j));
                sum = _mm_add_epi16(sum, _mm_unpacklo_epi8(a, zero));
                sum = _mm_add_epi16(sum, _mm_unpacklo_epi8(b, zero));
            }
            sum = _mm_add_epi16(sum, _mm_srli_si128(sum, 8));
            const int32_t v = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_srli_epi16(sum, 4), zero));
            memcpy(out, &v, 4);
        }
#else
        for (int i = 0; i < x_.count; ++i, out += 4) {
            const size_t at = static_cast<size_t>(starts_[i]) * 4;
            for (int c = 0; c < 4; ++c) {
                uint32_t v = 0;
                for (size_t j = at + c; j <= at + c + 3 * st; j += st)
                    v += r0[j] + r1[j] + r2[j] + r3[j];
                out[c] = Clamp(v >> 4);
            }
        }
#endif
    }

    // Source row `index` mixed horizontally into x_.count x 4 accumulators.
    void MixRow(int index, uint32_t* acc) {
        const BYTE* s = reinterpret_cast<const BYTE*>(SourceRow(index));
        const int* start = starts_.data();
        const int count = x_.count;
        if (x_.wide) {
            const size_t st = static_cast<size_t>(x_.step) * 4;
            for (int i = 0; i < count; ++i, acc += 4) {
                const BYTE* p = s + static_cast<size_t>(start[i]) * 4;
                for (int c = 0; c < 4; ++c)
                    acc[c] = (p[c] + p[st + c] + p[2 * st + c] + p[3 * st + c]) * 64u;
            }
            return;
        }
        switch (x_.taps) {
            case 1:
                Mix<1>(s, acc);
                break;
            case 2:
                Mix<2>(s, acc);
                break;
            default:
                Mix<3>(s, acc);
                break;
        }
    }

    template <int Taps>
    void Mix(const BYTE* s, uint32_t* acc) const {
        const int* start = starts_.data();
        const int* w = x_.weights.data();
        for (int i = 0; i < x_.count; ++i, acc += 4, w += Taps) {
            const BYTE* p = s + static_cast<size_t>(start[i]) * 4;
            for (int c = 0; c < 4; ++c) {
                uint32_t v = 0;
                for (int j = 0; j < Taps; ++j) v += p[j * 4 + c] * static_cast<uint32_t>(w[j]);
                acc[c] = v;
            }
        }
    }

    Raster& source_;
    Size size_;
    const RescaleMap& x_;
    const RescaleMap& y_;
    const size_t row_bytes_;      // accumulators (and output bytes) of one row
    std::vector<int> starts_;     // first source pixel of every target sample
    std::vector<uint32_t> ring_;  // horizontally mixed rows of the vertical window
    std::vector<uint32_t> sum_;   // the wide mode's running sum of four rows
    std::vector<int> ring_rows_;
    const BYTE* rows_[4] = {};
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
