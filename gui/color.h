// The toolkit's colour: one word in the COLORREF layout 0x00BBGGRR, handed to GDI
// unchanged. All bits set is the null colour, which means no colour.
#pragma once

#include <windows.h>

namespace Gui {

class Color {
public:
    Color() : color_(0xFFFFFFFF) {}
    Color(BYTE red, BYTE green, BYTE blue) : color_(red + green * 0x100u + blue * 0x10000u) {}
    static Color FromRaw(DWORD raw) {
        Color c;
        c.color_ = raw;
        return c;
    }

    DWORD GetRaw() const { return color_; }
    operator COLORREF() const { return color_; }
    bool IsNull() const { return color_ == 0xFFFFFFFF; }
    BYTE GetR() const { return static_cast<BYTE>(color_); }
    BYTE GetG() const { return static_cast<BYTE>(color_ >> 8); }
    BYTE GetB() const { return static_cast<BYTE>(color_ >> 16); }

    bool operator==(const Color& other) const { return color_ == other.color_; }
    bool operator!=(const Color& other) const { return color_ != other.color_; }

private:
    DWORD color_;
};

inline Color White() { return Color(0xFF, 0xFF, 0xFF); }
inline Color Black() { return Color(0, 0, 0); }
inline bool IsNull(const Color& c) { return c.IsNull(); }

}  // namespace Gui
