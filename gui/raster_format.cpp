#include "gui/raster_format.h"

#include <cstring>

#include "gui/pixel_ops.h"

namespace Gui {
namespace {

// The small value a packed type stores for one pixel.
struct PackedValue {
    const PaletteConversion* aux;
    int type;

    int operator()(const RGBA& p) const {
        if (aux) return aux->table[PaletteKey(p)];
        switch (type) {
            case RasterFormat::RF_1:
                return p.g >> 7;
            case RasterFormat::RF_2:
                return p.g >> 6;
            case RasterFormat::RF_4:
                return Grey(p) >> 4;
            default:
                return Grey(p);
        }
    }
};

// Packs pixels of `bits` bits each; msb puts the first pixel in the high bits.
void WritePacked(BYTE* t, const RGBA* s, int count, int bits, bool msb, PackedValue value) {
    const int per_byte = 8 / bits;
    const int mask = (1 << bits) - 1;
    for (int i = 0; i < count; i += per_byte) {
        const int n = count - i < per_byte ? count - i : per_byte;
        int byte = 0;
        for (int k = 0; k < n; ++k) {
            const int shift = msb ? 8 - bits * (k + 1) : bits * k;
            byte |= (value(s[i + k]) & mask) << shift;
        }
        *t++ = static_cast<BYTE>(byte);
    }
}

}  // namespace

void RasterFormat::SetRGBA() {
    type = RF_32_ALPHA;
    rmask = gmask = bmask = 0;
    unused = 0;
    rpos = 2;
    gpos = 1;
    bpos = 0;
    apos = 3;
}

bool RasterFormat::IsRGBA() const {
    return (type & 31) == RF_32_ALPHA && rpos == 2 && gpos == 1 && bpos == 0 && apos == 3;
}

int RasterFormat::GetBpp() const {
    static const int kBpp[10] = {1, 2, 4, 8, 16, 16, 24, 32, 32, 32};
    const int t = type & 31;
    return t < 10 ? kBpp[t] : 0;
}

int RasterFormat::GetByteCount(int count) const { return (GetBpp() * count + 7) / 8; }

void RasterFormat::Write(BYTE* t, const RGBA* s, const RasterFormat& f, int count,
                         const PaletteConversion* aux) {
    if (count <= 0) return;
    const bool msb = (f.type & RF_MSB) != 0;
    switch (f.type) {
        case RF_1:
        case RF_1 | RF_MSB:
            WritePacked(t, s, count, 1, msb, PackedValue{aux, RF_1});
            return;
        case RF_2:
        case RF_2 | RF_MSB:
            WritePacked(t, s, count, 2, msb, PackedValue{aux, RF_2});
            return;
        case RF_4:
        case RF_4 | RF_MSB:
            WritePacked(t, s, count, 4, msb, PackedValue{aux, RF_4});
            return;
        case RF_8:
        case RF_8 | RF_MSB:
            for (int i = 0; i < count; ++i) t[i] = static_cast<BYTE>(PackedValue{aux, RF_8}(s[i]));
            return;
        case RF_16:
        case RF_16 | RF_MSB:
            for (int i = 0; i < count; ++i, t += 2) {
                const DWORD v = (((s[i].r << 8) >> f.rpos) & f.rmask) |
                                (((s[i].g << 8) >> f.gpos) & f.gmask) |
                                (((s[i].b << 8) >> f.bpos) & f.bmask);
                t[msb ? 1 : 0] = static_cast<BYTE>(v);
                t[msb ? 0 : 1] = static_cast<BYTE>(v >> 8);
            }
            return;
        case RF_24:
        case RF_24 | RF_MSB:
            for (int i = 0; i < count; ++i, t += 3) {
                t[f.rpos] = s[i].r;
                t[f.gpos] = s[i].g;
                t[f.bpos] = s[i].b;
            }
            return;
        case RF_32:
        case RF_32 | RF_MSB:
            for (int i = 0; i < count; ++i, t += 4) {
                t[f.rpos] = s[i].r;
                t[f.gpos] = s[i].g;
                t[f.bpos] = s[i].b;
            }
            return;
        case RF_32_UNMULTIPLIED:
        case RF_32_UNMULTIPLIED | RF_MSB: {
            const DWORD* um = InitUnmultiplyTable();
            for (int i = 0; i < count; ++i, t += 4) {
                const DWORD m = um[s[i].a];
                t[f.apos] = s[i].a;
                t[f.rpos] = static_cast<BYTE>(s[i].r * m >> 8);
                t[f.gpos] = static_cast<BYTE>(s[i].g * m >> 8);
                t[f.bpos] = static_cast<BYTE>(s[i].b * m >> 8);
            }
            return;
        }
        case RF_32_ALPHA:
        case RF_32_ALPHA | RF_MSB:
            if (f.rpos == 2 && f.gpos == 1 && f.bpos == 0 && f.apos == 3) {
                memcpy(t, s, static_cast<size_t>(count) * sizeof(RGBA));
                return;
            }
            for (int i = 0; i < count; ++i, t += 4) {
                t[f.rpos] = s[i].r;
                t[f.gpos] = s[i].g;
                t[f.bpos] = s[i].b;
                t[f.apos] = s[i].a;
            }
            return;
        default:
            return;  // no such format: nothing is written
    }
}

}  // namespace Gui
