// LOGFONTW faces to font files, through fontconfig and the layer's own alias rules.
#pragma once

#include <string>

namespace w32::gdi {

struct FontFile {
    std::string path;
    int index = 0;
    std::string family;  // the family fontconfig chose
};

// The file for a face name (UTF-8; empty picks the generic family), a LOGFONTW
// weight and the pitch bits. Answers an empty path when no font is installed.
FontFile resolve_font(const std::string& face, int weight, bool italic, bool fixed_pitch);

// A file that has a glyph for ch, for text the chosen face cannot show.
FontFile fallback_font(char32_t ch, int weight);

}  // namespace w32::gdi
