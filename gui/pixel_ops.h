// Runs of pixels: filling, copying, run-length rows and compositing with alpha, plus
// the colour conversions between pixels and Gui::Color. Plain arrays, no locks held
// except while a lookup table is filled for the first time.
#pragma once

#include "gui/color.h"
#include "gui/rgba.h"

namespace Gui {

void Fill(RGBA* t, RGBA value, int count);
// Colour bytes of value, each pixel keeps its alpha.
void FillRGB(RGBA* t, RGBA value, int count);
void Copy(RGBA* t, const RGBA* s, int count);
// Decodes one row; answers the position after the consumed codes.
const BYTE* UnpackRLE(RGBA* t, const BYTE* s, int count);

void AlphaBlendPremultiplied(RGBA* t, const RGBA* s, int count);
void AlphaBlendColor(RGBA* t, const RGBA* s, int count, Color color);
void AlphaBlendStraight(RGBA* t, const RGBA* s, int count);
void AlphaBlendOpaqueColor(RGBA* t, const RGBA* s, int count, Color color);
void AlphaBlendStraightOpaque(RGBA* t, const RGBA* s, int count);
void AlphaBlendOver(RGBA* t, const RGBA* s, int count);
void AlphaBlendOverColor(RGBA* t, const RGBA* s, int count, Color color);
// Puts the one background pixel under each pixel of t.
void AlphaBlendUnder(RGBA* t, RGBA background, int count);

// T[0] = 0, T[a] = 65536 / a.
const DWORD* InitUnmultiplyTable();

struct AlphaTableEntry {
    SHORT weight;  // of the source, scale 256
    BYTE alpha;    // of the result
    BYTE unused;
};
// Indexed by (destination alpha << 8) + source alpha.
const AlphaTableEntry* InitAlphaTable();

COLORREF GetColorRef(Color c);
Color ColorFromRGBA(RGBA c);
Color Blend(Color a, Color b, int alpha);
int GetChannelPosition(DWORD mask);

}  // namespace Gui
