// The nine-grid painter: one small skin picture fills a rectangle of any size. The
// image's two hot spots split it into corners (kept at their pixel size), edges
// (stretched along one axis) and the middle (stretched both ways, or filled when it
// is one opaque colour). A hot spot past the image's centre, or a second spot above
// or left of the first, marks the middle hollow: the image is then a frame only.
#pragma once

#include "gui/draw.h"
#include "gui/geometry.h"
#include "gui/image.h"

// Classification bits of a middle rectangle.
enum : int {
    kMiddleRowsEqual = 1,     // every row equals the first one
    kMiddleColumnsEqual = 2,  // every column equals the first one
};

void PaintImageRect(Gui::Draw& w, const Gui::Rect& r, const Gui::Image& img);
void PaintImageRect(Gui::Draw& w, int x, int y, int cx, int cy, const Gui::Image& img);

// The part src of the image rescaled to cx by cy and drawn at x, y; nothing when the
// target has no area.
void DrawImageStretched(Gui::Draw& w, int x, int y, int cx, int cy, const Gui::Image& img,
                        const Gui::Rect& src);
void DrawImageStretched(Gui::Draw& w, const Gui::Rect& r, const Gui::Image& img,
                        const Gui::Rect& src);

// The classification bits of the middle (clipped to the image); 0 for a Null middle.
int ClassifyImageMiddle(const Gui::Rect& middle, const Gui::Image& img);
// Whether rows y1 and y2 are equal over the columns [x1, x2).
bool ImageRowsEqual(const Gui::Image& img, int y1, int y2, int x1, int x2);
// Whether columns x1 and x2 are equal over the rows [y1, y2).
bool ImageColumnsEqual(const Gui::Image& img, int x1, int x2, int y1, int y2);
// The cached classification of the image's middle, computed on a miss. UI thread only.
int GetImageMiddleClass(const Gui::Rect& middle, const Gui::Image& img);
// Entries of the classification cache (for tests of its bound).
int GetImageMiddleCacheSize();

// Nearest-neighbour scaling; the empty image for an empty source or target.
Gui::Image RescaleNearest(const Gui::Image& img, int cx, int cy);
