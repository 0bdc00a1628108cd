// Geometric operations on images: rotation by an angle in tenths of a degree, and
// copies with new hot spots. Each makes a new image; the source is not changed.
#pragma once

#include "gui/image.h"

namespace Gui {

struct Pointf {
    double x, y;
};

// Exact at 0, 900, 1800 and 2700 (after reduction by whole turns, keeping the sign).
void SinCos(int angle, double& sinus, double& cosinus);
Pointf RotatePoint(Pointf p, double sinus, double cosinus);

// Nearest neighbour, grown to hold the turned corners, transparent outside the
// source; hot spots are not carried over.
Image Rotate(const Image& img, int angle);
Image WithHotSpot(const Image& img, int x, int y);
// The part of the image inside rect (clipped to it); the whole image shares its data.
// Hot spots are not carried over.
Image Crop(const Image& img, const Rect& rect);
Image WithHotSpots(const Image& img, int x1, int y1, int x2, int y2);

}  // namespace Gui
