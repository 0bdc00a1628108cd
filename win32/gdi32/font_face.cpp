// FreeType faces sized the way GDI sizes a LOGFONTW: a negative height is the em
// (character) height in pixels, a positive one the cell height (ascent + descent,
// from the OS/2 Windows metrics). Advances are whole pixels from the hinted glyphs.
#include "font_face.h"

#include "font_resolver.h"
#include "w32/text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <map>

namespace w32::gdi {
namespace {

FT_Library library() {
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0) return static_cast<FT_Library>(nullptr);
        return l;
    }();
    return lib;
}

// A FreeType face owned by RAII.
struct FaceHandle {
    FT_Face face = nullptr;
    explicit FaceHandle(const FontFile& f) {
        if (library() && !f.path.empty() &&
            FT_New_Face(library(), f.path.c_str(), f.index, &face) != 0)
            face = nullptr;
    }
    ~FaceHandle() {
        if (face) FT_Done_Face(face);
    }
    FaceHandle(const FaceHandle&) = delete;
    FaceHandle& operator=(const FaceHandle&) = delete;
};

// The vertical extent GDI gives a face, in font units.
void cell_units(FT_Face face, long& ascent, long& descent) {
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        ascent = os2->usWinAscent;
        descent = os2->usWinDescent;
    } else {
        ascent = face->ascender;
        descent = -face->descender;
    }
}

// Font units to whole pixels at em pixels per em.
long scaled(long units, int em, long upem) {
    return std::lround(static_cast<double>(units) * em / static_cast<double>(upem));
}

// Whether the file itself is a bold cut (fontconfig reports the weight asked for).
bool is_bold(FT_Face face) {
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWeightClass > 0) return os2->usWeightClass >= 600;
    return (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
}

std::string face_name(const LOGFONTW& lf) {
    size_t n = 0;
    while (n < LF_FACESIZE && lf.lfFaceName[n]) ++n;
    return to_utf8(std::wstring_view(lf.lfFaceName, n));
}

}  // namespace

struct FontFace::Impl {
    std::unique_ptr<FaceHandle> primary;
    int em = 12;
    int weight = FW_NORMAL;
    bool embolden = false;
    bool mono = false;
    // Faces standing in for characters the primary one lacks, by file.
    std::map<std::pair<std::string, int>, std::unique_ptr<FaceHandle>> fallbacks;

    FT_Face sized(const FontFile& f) {
        auto key = std::make_pair(f.path, f.index);
        auto it = fallbacks.find(key);
        if (it == fallbacks.end()) {
            auto h = std::make_unique<FaceHandle>(f);
            if (h->face && FT_Set_Pixel_Sizes(h->face, 0, static_cast<FT_UInt>(em)) != 0)
                h.reset(new FaceHandle(FontFile{}));
            it = fallbacks.emplace(key, std::move(h)).first;
        }
        return it->second->face;
    }
};

FontFace::FontFace(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
FontFace::~FontFace() = default;

std::shared_ptr<FontFace> FontFace::realise(const LOGFONTW& lf) {
    int weight = lf.lfWeight > 0 ? static_cast<int>(lf.lfWeight) : FW_NORMAL;
    bool fixed =
        (lf.lfPitchAndFamily & 3) == FIXED_PITCH || (lf.lfPitchAndFamily & 0xF0) == FF_MODERN;
    std::string name = face_name(lf);
    FontFile file = resolve_font(name, weight, lf.lfItalic != 0, fixed);
    // One unsized face per file answers the size-independent questions, so a font
    // whose face is already realised opens nothing.
    static std::map<std::pair<std::string, int>, std::unique_ptr<FaceHandle>> probes;
    auto& probe = probes[std::make_pair(file.path, file.index)];
    if (!probe) probe = std::make_unique<FaceHandle>(file);
    FT_Face face = probe->face;
    if (!face) return nullptr;

    long asc_u = 0, desc_u = 0;
    cell_units(face, asc_u, desc_u);
    long upem = face->units_per_EM ? face->units_per_EM : 2048;
    int em = 12;  // a height of 0 asks for a reasonable default size
    if (lf.lfHeight < 0) em = -lf.lfHeight;
    if (lf.lfHeight > 0)
        em = static_cast<int>(
            std::lround(static_cast<double>(lf.lfHeight) * upem / (asc_u + desc_u)));
    em = std::clamp(em, 1, 4096);

    static std::map<std::tuple<std::string, int, int, bool, bool>, std::shared_ptr<FontFace>> cache;
    bool mono = lf.lfQuality == NONANTIALIASED_QUALITY;
    // Windows draws a face that lacks a bold cut emboldened.
    bool embolden = weight >= 600 && !is_bold(face);
    auto key = std::make_tuple(file.path, file.index, em, embolden, mono);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;

    auto impl = std::make_unique<Impl>();
    impl->primary = std::make_unique<FaceHandle>(file);
    face = impl->primary->face;
    if (!face) return nullptr;
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em)) != 0) return nullptr;
    impl->em = em;
    impl->weight = weight;
    impl->embolden = embolden;
    impl->mono = mono;
    std::shared_ptr<FontFace> ff(new FontFace(std::move(impl)));

    TEXTMETRICW& tm = ff->tm_;
    tm.tmAscent = scaled(asc_u, em, upem);
    tm.tmDescent = scaled(desc_u, em, upem);
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = std::max<LONG>(0, tm.tmHeight - em);
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    if (hhea) {
        long line = hhea->Ascender - hhea->Descender + hhea->Line_Gap;
        tm.tmExternalLeading = std::max(0L, scaled(line - (asc_u + desc_u), em, upem));
    }
    tm.tmAveCharWidth =
        os2 && os2->xAvgCharWidth > 0 ? scaled(os2->xAvgCharWidth, em, upem) : em / 2;
    tm.tmMaxCharWidth = scaled(face->max_advance_width, em, upem) + (embolden ? 1 : 0);
    tm.tmWeight = embolden ? FW_BOLD : weight;
    tm.tmDigitizedAspectX = 96;
    tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFFFC;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmItalic = lf.lfItalic ? 1 : 0;
    tm.tmUnderlined = lf.lfUnderline ? 1 : 0;
    tm.tmStruckOut = lf.lfStrikeOut ? 1 : 0;
    // TMPF_FIXED_PITCH set means a variable pitch font, as GDI has it.
    tm.tmPitchAndFamily = static_cast<BYTE>(
        TMPF_VECTOR | TMPF_TRUETYPE | (FT_IS_FIXED_WIDTH(face) ? 0 : TMPF_FIXED_PITCH) |
        ((lf.lfPitchAndFamily & 0xF0) ? (lf.lfPitchAndFamily & 0xF0) : FF_SWISS));
    tm.tmCharSet = lf.lfCharSet;

    // The underline's whole rows are centred as near the face's underline position (the
    // middle of its stem) as they can be, at least one pixel below the baseline and
    // inside the descent when it fits.
    int thick = std::max(1L, scaled(face->underline_thickness, em, upem));
    const double centre = -static_cast<double>(face->underline_position) * em / upem;
    int top = std::max(1, static_cast<int>(std::lround(centre - thick / 2.0)));
    if (top + thick > tm.tmDescent) top = std::max(1, static_cast<int>(tm.tmDescent) - thick);
    ff->underline_offset_ = top;
    ff->underline_thickness_ = thick;
    if (os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
        ff->strikeout_thickness_ = std::max(1L, scaled(os2->yStrikeoutSize, em, upem));
        ff->strikeout_offset_ = -static_cast<int>(scaled(os2->yStrikeoutPosition, em, upem));
    } else {
        ff->strikeout_thickness_ = thick;
        ff->strikeout_offset_ = -static_cast<int>(tm.tmAscent / 3);
    }
    ff->family_ = from_utf8(file.family);
    cache.emplace(key, ff);
    return ff;
}

const Glyph& FontFace::glyph(wchar_t ch) {
    auto it = glyphs_.find(ch);
    if (it != glyphs_.end()) return it->second;
    Impl& im = *impl_;
    FT_Face face = im.primary->face;
    bool embolden = im.embolden;
    FT_UInt index = FT_Get_Char_Index(face, static_cast<FT_ULong>(ch));
    if (index == 0 && ch >= 0x20) {
        // Like Windows' font linking: another installed face supplies the glyph.
        FontFile fb = fallback_font(static_cast<char32_t>(ch), im.weight);
        if (!fb.path.empty()) {
            FT_Face other = im.sized(fb);
            FT_UInt oi = other ? FT_Get_Char_Index(other, static_cast<FT_ULong>(ch)) : 0;
            if (oi) {
                face = other;
                index = oi;
                embolden = im.weight >= 600 && !is_bold(other);
            }
        }
    }
    Glyph g;
    FT_Int32 flags = FT_LOAD_NO_BITMAP | (im.mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
    if (FT_Load_Glyph(face, index, flags) == 0) {
        FT_GlyphSlot slot = face->glyph;
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        if (embolden && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            // One pixel wider strokes, and one pixel more advance, as GDI's
            // simulated bold does.
            FT_Outline_EmboldenXY(&slot->outline, 64, 0);
            g.advance += 1;
        }
        if (FT_Render_Glyph(slot, im.mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) == 0) {
            const FT_Bitmap& bm = slot->bitmap;
            g.left = slot->bitmap_left;
            g.top = slot->bitmap_top;
            g.width = static_cast<int>(bm.width);
            g.rows = static_cast<int>(bm.rows);
            g.coverage.resize(static_cast<size_t>(g.width) * g.rows);
            for (int y = 0; y < g.rows; ++y) {
                const unsigned char* src = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
                uint8_t* dst = g.coverage.data() + static_cast<size_t>(y) * g.width;
                for (int x = 0; x < g.width; ++x) {
                    if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                        dst[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
                    else
                        dst[x] = src[x];
                }
            }
        }
    }
    return glyphs_.emplace(ch, std::move(g)).first->second;
}

FontFace* face_of(Font& font) {
    if (!font.face) font.face = FontFace::realise(font.logfont);
    return font.face.get();
}

}  // namespace w32::gdi
