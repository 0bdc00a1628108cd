#include "gui/image_ops.h"
#include "gui/raster.h"

namespace Gui {

Image Crop(const Image& img, const Rect& rect) {
    const Rect whole(img.GetSize());
    if (rect.left == 0 && rect.top == 0 && rect.right == whole.right && rect.bottom == whole.bottom)
        return img;
    const Rect r = rect.Intersection(whole);
    if (r.IsEmpty()) return Image();
    ImageRaster source(img);
    ImageEncoder target;
    CopyRasterRect(target, source, r);
    return target.GetImage();
}

}  // namespace Gui
