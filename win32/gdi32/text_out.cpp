// Measuring and drawing text in the selected font. Glyph masks are blended with
// the text colour through the DC's clip; like every GDI raster operation, text
// writes the alpha byte as 0.
#include "font_face.h"

#include <vector>

using namespace w32::gdi;

namespace {

// Pen positions of each character from the start of the text; the last entry is
// the text's width. dx, when given, replaces the glyphs' own advances.
std::vector<int> pen_positions(FontFace& face, const wchar_t* text, int count, const INT* dx) {
    std::vector<int> pos(static_cast<size_t>(count) + 1, 0);
    for (int i = 0; i < count; ++i)
        pos[i + 1] = pos[i] + (dx ? dx[i] : face.glyph(text[i]).advance);
    return pos;
}

// Blends one coverage value of the colour into the pixel.
void blend(Bitmap& surface, int x, int y, uint32_t color, uint8_t a) {
    if (surface.bpp != 32) {
        if (a >= 128) surface.set_pixel(x, y, color);
        return;
    }
    uint32_t under = surface.pixel(x, y);
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t c = (color >> shift) & 0xFF, d = (under >> shift) & 0xFF;
        out |= ((c * a + d * (255 - a) + 127) / 255) << shift;
    }
    surface.set_pixel(x, y, out);
}

void draw_glyph(Dc& dc, pixman_region32_t* vis, const Glyph& g, int pen_x, int baseline,
                uint32_t color) {
    if (g.width == 0 || g.rows == 0) return;
    int gx = pen_x + g.left, gy = baseline - g.top;
    pixman_region32_t area;
    pixman_region32_init_rect(&area, gx, gy, static_cast<unsigned>(g.width),
                              static_cast<unsigned>(g.rows));
    pixman_region32_intersect(&area, &area, vis);
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(&area, &n);
    for (int i = 0; i < n; ++i) {
        for (int y = boxes[i].y1; y < boxes[i].y2; ++y) {
            const uint8_t* row = g.coverage.data() + static_cast<size_t>(y - gy) * g.width;
            for (int x = boxes[i].x1; x < boxes[i].x2; ++x) {
                uint8_t a = row[x - gx];
                if (a) blend(*dc.surface, x, y, color, a);
            }
        }
    }
    pixman_region32_fini(&area);
}

// Fills a device box, limited to vis, with one colour.
void fill_box(Dc& dc, pixman_region32_t* vis, int x1, int y1, int x2, int y2, uint32_t color) {
    if (x2 <= x1 || y2 <= y1) return;
    pixman_region32_t box;
    pixman_region32_init_rect(&box, x1, y1, static_cast<unsigned>(x2 - x1),
                              static_cast<unsigned>(y2 - y1));
    pixman_region32_intersect(&box, &box, vis);
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(&box, &n);
    for (int i = 0; i < n; ++i) dc.surface->fill(boxes[i], color);
    pixman_region32_fini(&box);
}

BOOL text_extent(HDC hdc, LPCWSTR text, int count, LPSIZE size) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto dc = find_dc(hdc);
    if (!dc) return FALSE;
    if (!size || count < 0 || (count > 0 && !text)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    FontFace* face = face_of(*dc->font);
    if (!face) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    size->cx = pen_positions(*face, text, count, nullptr).back();
    size->cy = face->metrics().tmHeight;
    return TRUE;
}

}  // namespace

BOOL WINAPI GetTextExtentPointW(HDC hdc, LPCWSTR text, int count, LPSIZE size) {
    return text_extent(hdc, text, count, size);
}

BOOL WINAPI GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, LPSIZE size) {
    return text_extent(hdc, text, count, size);
}

BOOL WINAPI ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text,
                        UINT count, const INT* dx) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto dc = find_dc(hdc);
    if (!dc) return FALSE;
    if (!dc->surface || (count > 0 && !text) || count > 0x7FFFFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    FontFace* face = face_of(*dc->font);
    if (!face) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    const TEXTMETRICW& tm = face->metrics();
    int n = static_cast<int>(count);
    std::vector<int> pos = pen_positions(*face, text, n, dx);
    int width = pos.back();

    bool update_cp = (dc->text_align & TA_UPDATECP) != 0;
    if (update_cp) {
        x = dc->position.x;
        y = dc->position.y;
    }
    POINT origin = dc->to_device(x, y);
    int left = origin.x;
    switch (dc->text_align & TA_CENTER) {
        case TA_RIGHT:
            left -= width;
            break;
        case TA_CENTER:
            left -= width / 2;
            break;
        default:
            break;
    }
    int baseline = origin.y;
    switch (dc->text_align & TA_BASELINE) {
        case TA_BASELINE:
            break;
        case TA_BOTTOM:
            baseline -= tm.tmDescent;
            break;
        default:
            baseline += tm.tmAscent;
            break;
    }

    pixman_region32_t vis;
    dc->visible(&vis);
    if (rect && (options & (ETO_OPAQUE | ETO_CLIPPED))) {
        POINT a = dc->to_device(rect->left, rect->top);
        POINT b = dc->to_device(rect->right, rect->bottom);
        if (options & ETO_OPAQUE)
            fill_box(*dc, &vis, a.x, a.y, b.x, b.y, color_pixel(dc->bk_color));
        if (options & ETO_CLIPPED) {
            if (b.x > a.x && b.y > a.y)
                pixman_region32_intersect_rect(&vis, &vis, a.x, a.y,
                                               static_cast<unsigned>(b.x - a.x),
                                               static_cast<unsigned>(b.y - a.y));
            else
                pixman_region32_clear(&vis);
        }
    }
    int top = baseline - tm.tmAscent;
    if (dc->bk_mode == OPAQUE && !(options & ETO_OPAQUE))
        fill_box(*dc, &vis, std::min(left, left + width), top, std::max(left, left + width),
                 top + tm.tmHeight, color_pixel(dc->bk_color));

    uint32_t color = color_pixel(dc->text_color);
    for (int i = 0; i < n; ++i)
        draw_glyph(*dc, &vis, face->glyph(text[i]), left + pos[i], baseline, color);
    const LOGFONTW& lf = dc->font->logfont;
    if (lf.lfUnderline) {
        int uy = baseline + face->underline_offset();
        fill_box(*dc, &vis, left, uy, left + width, uy + face->underline_thickness(), color);
    }
    if (lf.lfStrikeOut) {
        int sy = baseline + face->strikeout_offset();
        fill_box(*dc, &vis, left, sy, left + width, sy + face->strikeout_thickness(), color);
    }
    pixman_region32_fini(&vis);

    if (update_cp) {
        // The current position moves past the text, as far as the alignment says.
        if ((dc->text_align & TA_CENTER) == TA_LEFT) dc->position.x += width;
        if ((dc->text_align & TA_CENTER) == TA_RIGHT) dc->position.x -= width;
    }
    return TRUE;
}

BOOL WINAPI TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count) {
    if (count < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return ExtTextOutW(hdc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}
