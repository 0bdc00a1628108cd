#include "glyphs.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <algorithm>

namespace art {

namespace {

// Code points of UTF-8 text; malformed bytes are skipped.
std::u32string Decode(const std::string& s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = s[i];
        int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) {
            ++i;
            continue;
        }
        char32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (int k = 1; k < n; ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
        out += cp;
        i += n;
    }
    return out;
}

}  // namespace

bool Glyphs::Open(const char* family) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    FcChar8* file = nullptr;
    FcChar8* found_family = nullptr;
    bool ok = match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
              FcPatternGetString(match, FC_FAMILY, 0, &found_family) == FcResultMatch &&
              strcasecmp(reinterpret_cast<const char*>(found_family), family) == 0;
    std::string path = ok ? reinterpret_cast<const char*>(file) : "";
    if (match) FcPatternDestroy(match);
    if (!ok) {
        fprintf(stderr, "skin_art: the font \"%s\" is not installed (Debian: fonts-wqy-microhei)\n",
                family);
        return false;
    }
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, path.c_str(), 0, &face) != 0) {
        fprintf(stderr, "skin_art: cannot open %s\n", path.c_str());
        if (library) FT_Done_FreeType(library);
        return false;
    }
    library_ = library;
    face_ = face;
    return true;
}

Glyphs::~Glyphs() {
    if (face_) FT_Done_Face(static_cast<FT_Face>(face_));
    if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

int Glyphs::Measure(const std::string& utf8, int pixels, float embolden) const {
    return Run(nullptr, utf8, pixels, 0, 0, embolden);
}

void Glyphs::Draw(Mask& mask, const std::string& utf8, int pixels, int x, int baseline,
                  float embolden) const {
    Run(&mask, utf8, pixels, x, baseline, embolden);
}

int Glyphs::Run(Mask* mask, const std::string& utf8, int pixels, int x, int baseline,
                float embolden) const {
    FT_Face face = static_cast<FT_Face>(face_);
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
    const FT_Pos strength = static_cast<FT_Pos>(embolden * 64);
    int pen = x;
    for (char32_t cp : Decode(utf8)) {
        if (FT_Load_Char(face, cp, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0) continue;
        FT_GlyphSlot slot = face->glyph;
        if (strength > 0 && slot->format == FT_GLYPH_FORMAT_OUTLINE)
            FT_Outline_Embolden(&slot->outline, strength);
        if (mask && FT_Render_Glyph(slot, FT_RENDER_MODE_LIGHT) == 0) {
            const FT_Bitmap& bm = slot->bitmap;
            for (unsigned row = 0; row < bm.rows; ++row) {
                for (unsigned col = 0; col < bm.width; ++col) {
                    int mx = pen + slot->bitmap_left + static_cast<int>(col);
                    int my = baseline - slot->bitmap_top + static_cast<int>(row);
                    if (mx < 0 || my < 0 || mx >= mask->Width() || my >= mask->Height()) continue;
                    float v = bm.buffer[row * bm.pitch + col] / 255.0f;
                    float& dst = mask->Ref(mx, my);
                    dst = std::min(1.0f, dst + v);
                }
            }
        }
        pen += static_cast<int>((slot->advance.x + strength + 32) >> 6);
    }
    return pen - x;
}

}  // namespace art
