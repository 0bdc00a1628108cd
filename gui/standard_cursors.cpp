// The standard cursor images: each built from its system cursor on first use,
// under its own lock, and kept until the process ends.
#include "gui/core/mutex.h"
#include "gui/cursor_image.h"

namespace Gui {
namespace {

struct StandardCursor {
    StaticMutex lock;
    bool built;
    Image* image;  // never freed: the cursors outlive every static user
};

Image Get(StandardCursor& c, int id) {
    StaticMutex::Lock guard(c.lock);
    if (!c.built) {
        c.image = new Image(ImageFromSystemCursor(id));
        c.built = true;
    }
    return *c.image;
}

constexpr int kArrow = 32512, kIBeam = 32513, kWait = 32514, kCross = 32515, kSizeNWSE = 32642,
              kSizeNESW = 32643, kSizeWE = 32644, kSizeNS = 32645, kSizeAll = 32646, kNo = 32648,
              kHand = 32649;

StandardCursor g_arrow, g_wait, g_ibeam, g_no, g_size_all, g_size_horz, g_size_vert,
    g_size_top_left, g_size_top, g_size_top_right, g_size_left, g_size_right, g_size_bottom_left,
    g_size_bottom, g_size_bottom_right, g_cross, g_hand;

}  // namespace

Image Image::Arrow() { return Get(g_arrow, kArrow); }
Image Image::Wait() { return Get(g_wait, kWait); }
Image Image::IBeam() { return Get(g_ibeam, kIBeam); }
Image Image::No() { return Get(g_no, kNo); }
Image Image::SizeAll() { return Get(g_size_all, kSizeAll); }
Image Image::SizeHorz() { return Get(g_size_horz, kSizeWE); }
Image Image::SizeVert() { return Get(g_size_vert, kSizeNS); }
Image Image::SizeTopLeft() { return Get(g_size_top_left, kSizeNWSE); }
Image Image::SizeTop() { return Get(g_size_top, kSizeNS); }
Image Image::SizeTopRight() { return Get(g_size_top_right, kSizeNESW); }
Image Image::SizeLeft() { return Get(g_size_left, kSizeWE); }
Image Image::SizeRight() { return Get(g_size_right, kSizeWE); }
Image Image::SizeBottomLeft() { return Get(g_size_bottom_left, kSizeNESW); }
Image Image::SizeBottom() { return Get(g_size_bottom, kSizeNS); }
Image Image::SizeBottomRight() { return Get(g_size_bottom_right, kSizeNWSE); }
Image Image::Cross() { return Get(g_cross, kCross); }
Image Image::Hand() { return Get(g_hand, kHand); }

}  // namespace Gui
