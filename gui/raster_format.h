// The pixel format of an encoder's output, and the conversion of one row of
// toolkit pixels into it.
#pragma once

#include "gui/rgba.h"

namespace Gui {

// What a paletted conversion consults: a palette index for every 15-bit colour key
// ((r >> 3) << 10) | ((b >> 4) << 6) | (g >> 2).
struct PaletteConversion {
    const BYTE* table;
};

struct RasterFormat {
    enum {
        RF_1 = 0,
        RF_2 = 1,
        RF_4 = 2,
        RF_8 = 3,
        RF_16 = 5,
        RF_24 = 6,
        RF_32 = 7,
        RF_32_UNMULTIPLIED = 8,
        RF_32_ALPHA = 9,
        RF_MSB = 128,  // first pixel in the high bits of a packed byte, or high byte first
    };

    BYTE type;  // low 5 bits the type, bit 7 the bit order
    DWORD rmask, gmask, bmask;
    DWORD unused;
    BYTE rpos, gpos, bpos, apos;

    void SetRGBA();
    bool IsRGBA() const;
    int GetBpp() const;
    int GetByteCount(int count) const;

    // One row of count pixels into t; aux is the encoder's palette conversion or null.
    static void Write(BYTE* t, const RGBA* s, const RasterFormat& format, int count,
                      const PaletteConversion* aux);
};

// The key that indexes a palette conversion table.
inline int PaletteKey(const RGBA& p) { return ((p.r >> 3) << 10) | ((p.b >> 4) << 6) | (p.g >> 2); }

inline int Grey(const RGBA& p) { return (77 * p.r + 151 * p.g + 28 * p.b) >> 8; }

}  // namespace Gui
