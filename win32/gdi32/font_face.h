// A realised font: a FreeType face at the pixel size a LOGFONTW asks for, its
// Windows-style metrics and its rendered glyphs. Used under the GDI lock only.
#pragma once

#include "w32/gdi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace w32::gdi {

// A glyph's coverage mask (one byte a pixel, width x rows) and its placement
// relative to the pen position on the baseline.
struct Glyph {
    int advance = 0;
    int left = 0;  // mask's left edge from the pen
    int top = 0;   // mask's top edge above the baseline
    int width = 0;
    int rows = 0;
    std::vector<uint8_t> coverage;
};

class FontFace {
public:
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    // The shared face for a description; null when no font file can be opened.
    static std::shared_ptr<FontFace> realise(const LOGFONTW& lf);

    const TEXTMETRICW& metrics() const { return tm_; }
    const std::wstring& family() const { return family_; }
    // Underline and strike-out bars: top edge (pixels below the baseline; negative
    // is above) and thickness.
    int underline_offset() const { return underline_offset_; }
    int underline_thickness() const { return underline_thickness_; }
    int strikeout_offset() const { return strikeout_offset_; }
    int strikeout_thickness() const { return strikeout_thickness_; }

    const Glyph& glyph(wchar_t ch);

private:
    struct Impl;
    explicit FontFace(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    TEXTMETRICW tm_{};
    std::wstring family_;
    int underline_offset_ = 1;
    int underline_thickness_ = 1;
    int strikeout_offset_ = 0;
    int strikeout_thickness_ = 1;
    std::unordered_map<wchar_t, Glyph> glyphs_;
};

// The realised face of a font (realising it on first use); null when none.
FontFace* face_of(Font& font);

}  // namespace w32::gdi
