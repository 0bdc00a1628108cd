// The toolkit's pixel: the byte order of a 32-bit top-down Windows DIB, colours
// premultiplied by alpha, so rows go to AlphaBlend unchanged.
#pragma once

#include <windows.h>

namespace Gui {

struct RGBA {
    BYTE b, g, r, a;

    bool operator==(const RGBA& o) const { return b == o.b && g == o.g && r == o.r && a == o.a; }
    bool operator!=(const RGBA& o) const { return !(*this == o); }
};

static_assert(sizeof(RGBA) == 4, "one pixel is one DIB word");

inline RGBA MakeRGBA(BYTE r, BYTE g, BYTE b, BYTE a) {
    RGBA p;
    p.b = b;
    p.g = g;
    p.r = r;
    p.a = a;
    return p;
}

}  // namespace Gui
