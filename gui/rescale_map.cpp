#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "gui/core/mutex.h"
#include "gui/rescale.h"

namespace Gui {
namespace {

StaticMutex g_curve_lock;
volatile BYTE g_curve_built;
BYTE g_curve[1024];

int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

}  // namespace

const BYTE* GetRescaleCurve() {
    if (ReadWithBarrier(g_curve_built)) return g_curve;
    StaticMutex::Lock lock(g_curve_lock);
    if (!ReadWithBarrier(g_curve_built)) {
        for (int i = 0; i < 1024; ++i) {
            const double t = (i <= 512 ? i : 1024 - i) / 512.0;
            const double p = std::pow(t, 0.85);
            const int v = static_cast<int>(i <= 512 ? 128 * p : 128 * (2 - p));
            g_curve[i] = static_cast<BYTE>(std::clamp(v, 0, 255));
        }
        BarrierWriteFlag(g_curve_built);
    }
    return g_curve;
}

RescaleMap BuildRescaleMap(int tfrom, int tto, int tclip_low, int tclip_high, int sfrom, int sto,
                           int ssize) {
    RescaleMap m;
    if (tfrom == tto || sfrom == sto) return m;
    if (tto < tfrom) {
        std::swap(tfrom, tto);
        std::swap(sfrom, sto);
    }
    // Mirrored source ranges are never asked for; they produce nothing.
    if (sto < sfrom) return m;
    const int64_t S = sto - sfrom, T = tto - tfrom;
    int64_t nfrom = tfrom, nto = tto;
    if (sfrom < 0) nfrom += FloorDiv(-static_cast<int64_t>(sfrom) * T, S);
    if (sto > ssize) nto -= FloorDiv((static_cast<int64_t>(sto) - ssize) * T, S);
    nfrom = std::max<int64_t>(nfrom, tclip_low);
    nto = std::min<int64_t>(nto, tclip_high);
    int64_t pos = (nfrom - tfrom) * S + T * sfrom;
    const int lo = std::max(sfrom, 0), hi = std::min(sto, ssize);
    if (lo >= hi || nfrom >= nto) return m;

    const int64_t q = S / T, r = S % T;
    int n = static_cast<int>(std::min<int64_t>(r == 0 ? q : q + 2, hi - lo));
    m.start = static_cast<int>(nfrom);
    m.count = static_cast<int>(nto - nfrom);
    m.wide = n >= 4;
    m.taps = m.wide ? 4 : n;
    m.step = m.wide ? n / 4 : 1;
    const int last_start = hi - (m.taps - 1) * m.step - 1;
    m.offsets.resize(m.count);
    if (!m.wide) m.weights.assign(static_cast<size_t>(m.count) * m.taps, 0);

    int prev = 0;
    auto put = [&](int k, int index) {
        m.offsets[k] = k == 0 ? index : index - prev;
        prev = index;
    };

    if (m.taps == 1) {
        // One source pixel a sample (or an exact copy): follow the position.
        for (int k = 0; k < m.count; ++k, pos += S) {
            const int index = static_cast<int>(std::clamp<int64_t>(FloorDiv(pos, T), lo, hi - 1));
            put(k, index);
            m.weights[k] = 256;
        }
        return m;
    }

    const BYTE* curve = GetRescaleCurve();
    if (S < T) {
        pos += (S - T) >> 1;  // centre the samples
        for (int k = 0; k < m.count; ++k, pos += S) {
            int* w = &m.weights[static_cast<size_t>(k) * 2];
            if (pos > lo * T && pos < (hi - 1) * T) {
                put(k, static_cast<int>(pos / T));
                w[1] = curve[(pos % T) * 1024 / T];
                w[0] = 256 - w[1];
            } else if (pos <= lo * T) {
                put(k, lo);
                w[0] = 256;
            } else {
                put(k, last_start);
                w[1] = 256;
            }
        }
        return m;
    }

    const int64_t clip_low = lo * T, clip_high = hi * T;
    for (int k = 0; k < m.count; ++k, pos += S) {
        const int64_t low = std::max(pos, clip_low), high = std::min(pos + S, clip_high);
        if (low >= clip_high || high <= low) {
            put(k, last_start);
            if (!m.wide) m.weights[static_cast<size_t>(k) * m.taps + m.taps - 1] = 256;
            continue;
        }
        const int first = static_cast<int>(low / T);
        const int last = static_cast<int>((high - 1) / T);
        int64_t length = high - low;
        // The part of the first pixel the sample covers; a share too small to weigh
        // anything leaves the pixel out of the window.
        const int64_t head = std::min<int64_t>(T - low % T, length);
        int begin = first;
        if (first < last && 256 * head / length == 0) {
            length -= head;
            begin = first + 1;
        }
        const int window = std::max(lo, std::min(begin, last_start));
        put(k, window);
        if (m.wide) continue;
        int* w = &m.weights[static_cast<size_t>(k) * m.taps];
        int weight = 256;
        for (int i = begin; i <= last; ++i) {
            const int64_t covered = i == first ? head : std::min<int64_t>(T, high - i * T);
            const int wi = i == last ? weight : static_cast<int>(weight * covered / length);
            weight -= wi;
            length -= covered;
            if (i - window < m.taps) w[i - window] += wi;
        }
    }
    return m;
}

}  // namespace Gui
