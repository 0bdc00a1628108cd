#include "gui/pixel_ops.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "gui/core/mutex.h"

namespace Gui {
namespace {

DWORD g_unmultiply[256];
volatile BYTE g_unmultiply_filled;
StaticMutex g_unmultiply_lock;

AlphaTableEntry* g_alpha_table;
volatile BYTE g_alpha_filled;
StaticMutex g_alpha_lock;

// 255 weighs 256, so an opaque source replaces and a clear one leaves alone.
inline int Weight(int a) { return a + (a >> 7); }

// ((x - y) * w >> 8) + y in signed arithmetic, kept as its low byte.
inline BYTE Mix(int x, int y, int w) { return static_cast<BYTE>(((x - y) * w >> 8) + y); }

inline BYTE Scale(int keep, int v) { return static_cast<BYTE>(keep * v >> 8); }

}  // namespace

void Fill(RGBA* t, RGBA value, int count) {
    for (int i = 0; i < count; ++i) t[i] = value;
}

void FillRGB(RGBA* t, RGBA value, int count) {
    for (int i = 0; i < count; ++i) {
        t[i].b = value.b;
        t[i].g = value.g;
        t[i].r = value.r;
    }
}

void Copy(RGBA* t, const RGBA* s, int count) {
    if (count > 0) memmove(t, s, static_cast<size_t>(count) * sizeof(RGBA));
}

const BYTE* UnpackRLE(RGBA* t, const BYTE* s, int count) {
    RGBA* const end = t + (count > 0 ? count : 0);
    while (t < end) {
        const int c = *s;
        if (c == 0 || c == 0x80) {
            memset(t, 0, static_cast<size_t>(end - t) * sizeof(RGBA));
            break;
        }
        ++s;
        if (c < 0x80) {
            for (int n = c; n > 0 && t < end; --n, s += 3) *t++ = MakeRGBA(s[2], s[1], s[0], 255);
            continue;
        }
        int n = c & 0x3f;
        if (n > end - t) n = static_cast<int>(end - t);
        if (c & 0x40) {
            memset(t, 0, static_cast<size_t>(n) * sizeof(RGBA));
        } else {
            Fill(t, MakeRGBA(s[2], s[1], s[0], 255), n);
            s += 3;
        }
        t += n;
    }
    return s;
}

void AlphaBlendPremultiplied(RGBA* t, const RGBA* s, int count) {
    for (int i = 0; i < count; ++i) {
        const int keep = 256 - Weight(s[i].a);
        t[i].b = static_cast<BYTE>(Scale(keep, t[i].b) + s[i].b);
        t[i].g = static_cast<BYTE>(Scale(keep, t[i].g) + s[i].g);
        t[i].r = static_cast<BYTE>(Scale(keep, t[i].r) + s[i].r);
        t[i].a = static_cast<BYTE>(Scale(keep, t[i].a) + s[i].a);
    }
}

void AlphaBlendColor(RGBA* t, const RGBA* s, int count, Color color) {
    const COLORREF c = GetColorRef(color);
    const int cr = GetRValue(c), cg = GetGValue(c), cb = GetBValue(c);
    for (int i = 0; i < count; ++i) {
        const int w = Weight(s[i].a);
        t[i].b = Mix(cb, t[i].b, w);
        t[i].g = Mix(cg, t[i].g, w);
        t[i].r = Mix(cr, t[i].r, w);
        t[i].a = static_cast<BYTE>(Scale(256 - w, t[i].a) + s[i].a);
    }
}

void AlphaBlendStraight(RGBA* t, const RGBA* s, int count) {
    for (int i = 0; i < count; ++i) {
        const int w = Weight(s[i].a);
        t[i].b = Mix(s[i].b, t[i].b, w);
        t[i].g = Mix(s[i].g, t[i].g, w);
        t[i].r = Mix(s[i].r, t[i].r, w);
        t[i].a = static_cast<BYTE>(Scale(256 - w, t[i].a) + s[i].a);
    }
}

void AlphaBlendOpaqueColor(RGBA* t, const RGBA* s, int count, Color color) {
    AlphaBlendColor(t, s, count, color);
    for (int i = 0; i < count; ++i) t[i].a = 255;
}

void AlphaBlendStraightOpaque(RGBA* t, const RGBA* s, int count) {
    AlphaBlendStraight(t, s, count);
    for (int i = 0; i < count; ++i) t[i].a = 255;
}

void AlphaBlendOver(RGBA* t, const RGBA* s, int count) {
    const AlphaTableEntry* table = InitAlphaTable();
    for (int i = 0; i < count; ++i) {
        const AlphaTableEntry& e = table[(t[i].a << 8) + s[i].a];
        t[i].b = Mix(s[i].b, t[i].b, e.weight);
        t[i].g = Mix(s[i].g, t[i].g, e.weight);
        t[i].r = Mix(s[i].r, t[i].r, e.weight);
        t[i].a = e.alpha;
    }
}

void AlphaBlendOverColor(RGBA* t, const RGBA* s, int count, Color color) {
    const AlphaTableEntry* table = InitAlphaTable();
    const COLORREF c = GetColorRef(color);
    const int cr = GetRValue(c), cg = GetGValue(c), cb = GetBValue(c);
    for (int i = 0; i < count; ++i) {
        const AlphaTableEntry& e = table[(t[i].a << 8) + s[i].a];
        t[i].b = Mix(cb, t[i].b, e.weight);
        t[i].g = Mix(cg, t[i].g, e.weight);
        t[i].r = Mix(cr, t[i].r, e.weight);
        t[i].a = e.alpha;
    }
}

void AlphaBlendUnder(RGBA* t, RGBA p, int count) {
    const AlphaTableEntry* table = InitAlphaTable();
    for (int i = 0; i < count; ++i) {
        const AlphaTableEntry& e = table[(p.a << 8) + t[i].a];
        t[i].b = Mix(t[i].b, p.b, e.weight);
        t[i].g = Mix(t[i].g, p.g, e.weight);
        t[i].r = Mix(t[i].r, p.r, e.weight);
        t[i].a = e.alpha;
    }
}

const DWORD* InitUnmultiplyTable() {
    if (!ReadWithBarrier(g_unmultiply_filled)) {
        StaticMutex::Lock lock(g_unmultiply_lock);
        if (!ReadWithBarrier(g_unmultiply_filled)) {
            g_unmultiply[0] = 0;
            for (DWORD a = 1; a < 256; ++a) g_unmultiply[a] = 65536 / a;
            BarrierWriteFlag(g_unmultiply_filled);
        }
    }
    return g_unmultiply;
}

const AlphaTableEntry* InitAlphaTable() {
    if (!ReadWithBarrier(g_alpha_filled)) {
        StaticMutex::Lock lock(g_alpha_lock);
        if (!ReadWithBarrier(g_alpha_filled)) {
            // Lives to the end of the process, like the lock that guards it.
            auto* table = static_cast<AlphaTableEntry*>(malloc(65536 * sizeof(AlphaTableEntry)));
            if (!table) throw std::bad_alloc();
            for (int d = 0; d < 256; ++d) {
                for (int s = 0; s < 256; ++s) {
                    const double sa = s / 255.0, da = d / 255.0;
                    const double ao = da + sa - da * sa;
                    int alpha = static_cast<int>(ao * 255 + 0.5);
                    if (alpha < 1) alpha = 0;
                    if (alpha >= 255) alpha = 255;
                    AlphaTableEntry& e = table[(d << 8) + s];
                    e.weight = ao <= 0.001 ? 0 : static_cast<SHORT>(256 * sa / ao + 0.5);
                    e.alpha = static_cast<BYTE>(alpha);
                    e.unused = 0;
                }
            }
            g_alpha_table = table;
            BarrierWriteFlag(g_alpha_filled);
        }
    }
    return g_alpha_table;
}

COLORREF GetColorRef(Color c) { return c.IsNull() ? 0 : (c.GetRaw() & 0xFFFFFF); }

Color ColorFromRGBA(RGBA c) {
    if (c.a == 0) return Color();
    if (c.a == 255) return Color(c.r, c.g, c.b);
    const int f = 65536 / c.a;
    return Color(static_cast<BYTE>(c.r * f >> 8), static_cast<BYTE>(c.g * f >> 8),
                 static_cast<BYTE>(c.b * f >> 8));
}

Color Blend(Color a, Color b, int alpha) {
    const COLORREF ca = GetColorRef(a), cb = GetColorRef(b);
    const int w = Weight(alpha);
    auto channel = [w](int x, int y) {
        const int v = ((y - x) * w >> 8) + x;
        return static_cast<BYTE>(v > 255 ? 255 : v);
    };
    return Color(channel(GetRValue(ca), GetRValue(cb)), channel(GetGValue(ca), GetGValue(cb)),
                 channel(GetBValue(ca), GetBValue(cb)));
}

int GetChannelPosition(DWORD mask) {
    switch (mask) {
        case 0xff000000:
            return 3;
        case 0xff0000:
            return 2;
        case 0xff00:
            return 1;
        default:
            return 0;
    }
}

}  // namespace Gui
