// Separable fixed-point rescaling: each axis gets a span map saying where every target
// sample's source pixels start and with which weights (summing to 256) they count.
// Magnification follows an S-shaped curve between two neighbours; reduction averages
// by coverage, and strong reduction takes four evenly spaced samples.
#pragma once

#include <vector>

#include "gui/image.h"
#include "gui/raster.h"

namespace Gui {

struct RescaleMap {
    int start = 0;  // the first target position the map produces
    int count = 0;  // target samples produced
    int taps = 0;   // 1 to 4
    int step = 1;   // distance of the four samples in wide mode
    bool wide = false;
    std::vector<int> offsets;  // source advance from the previous sample's start
    std::vector<int> weights;  // taps per sample, in 1/256; none in wide mode

    bool IsEmpty() const { return count == 0; }
};

// 1024 entries of the magnification curve, built once.
const BYTE* GetRescaleCurve();

// One axis: the target range against the source range of a source of the given size.
RescaleMap BuildRescaleMap(int tfrom, int tto, int tclip_low, int tclip_high, int sfrom, int sto,
                           int ssize);

// Rows of the target size from the source rectangle of the raster into the encoder.
void RescaleToEncoder(RasterEncoder& target, Size size, Raster& source, const Rect& src);

// The same image when nothing changes; target positions the source rectangle does
// not cover stay transparent black.
Image Rescale(const Image& img, Size size, const Rect& src);
Image Rescale(const Image& img, Size size);
Image Rescale(const Image& img, int cx, int cy);

}  // namespace Gui
