#include "gui/draw.h"

#include "gui/draw_lock.h"
#include "gui/image.h"

namespace Gui {
namespace {

// The cached colours before anything was selected; -1 is the null colour, a real choice.
constexpr DWORD kNothingSelected = static_cast<DWORD>(-5);

bool IsRegion(int result) { return result == SIMPLEREGION || result == COMPLEXREGION; }

}  // namespace

Draw::Draw() {
    DrawLock lock;
    flags_ &= static_cast<uint8_t>(~(0x04 | 0x10 | kBack | kMonochrome));
    flags_ |= kPlain;
}

Draw::Draw(HDC hdc) : Draw() {
    DrawLock lock;
    hdc_ = hdc;
    Attach();
}

Draw::~Draw() {
    DrawLock lock;
    if (hdc_) Detach();
    for (auto& level : stack_)
        if (level->clip) DeleteObject(level->clip);
    stack_.clear();
}

void Draw::Attach() {
    DrawLock lock;
    ResetObjects();
    SetBkMode(hdc_, TRANSPARENT);
    SetTextAlign(hdc_, TA_BASELINE);
    POINT org = {0, 0};
    GetViewportOrgEx(hdc_, &org);
    actual_offset_ = Point(org.x, org.y);
    viewport_org_ = actual_offset_;
    LoadCaps();
}

void Draw::Detach() {
    DrawLock lock;
    while (!stack_.empty()) EndOp();
    RestoreObjects();
}

Size Draw::GetSizeCaps(int x_index, int y_index) const {
    return Size(GetDeviceCaps(hdc_, x_index), GetDeviceCaps(hdc_, y_index));
}

void Draw::LoadCaps() {
    DrawLock lock;
    flags_ &= static_cast<uint8_t>(~(kPalette | kOddPalette | kMonochrome));
    if (GetDeviceCaps(hdc_, RASTERCAPS) & RC_PALETTE) {
        flags_ |= kPalette;
        if (GetDeviceCaps(hdc_, SIZEPALETTE) != 256) flags_ |= kOddPalette;
    }
    page_pixels_ = GetSizeCaps(HORZRES, VERTRES);
    page_mm_ = GetSizeCaps(HORZSIZE, VERTSIZE);
    pixels_per_inch_ = GetSizeCaps(LOGPIXELSX, LOGPIXELSY);
    sheet_pixels_ = GetSizeCaps(PHYSICALWIDTH, PHYSICALHEIGHT);
    const Size offset = GetSizeCaps(PHYSICALOFFSETX, PHYSICALOFFSETY);
    page_offset_ = Point(offset.cx, offset.cy);
    if (GetDeviceCaps(hdc_, BITSPIXEL) == 1 && GetDeviceCaps(hdc_, PLANES) == 1)
        flags_ |= kMonochrome;
}

COLORREF Draw::GetColor(Color c) const {
    if (c.IsNull() || (flags_ & kPalette)) return 0;
    return c.GetRaw() & 0xFFFFFF;
}

void Draw::ResetObjects() {
    DrawLock lock;
    last_text_color_ = CLR_INVALID;
    last_brush_color_ = kNothingSelected;
    last_pen_color_ = kNothingSelected;
    last_pen_width_ = INT_NULL;
    prior_brush_ = nullptr;
    current_brush_ = nullptr;
    prior_font_ = nullptr;
    prior_pen_ = nullptr;
    current_pen_ = nullptr;
}

void Draw::RestoreObjects() {
    DrawLock lock;
    if (prior_pen_) SelectObject(hdc_, prior_pen_);
    if (prior_brush_) SelectObject(hdc_, prior_brush_);
    if (prior_font_) SelectObject(hdc_, prior_font_);
    if (current_pen_) DeleteObject(current_pen_);
    if (current_brush_) DeleteObject(current_brush_);
    ResetObjects();
}

void Draw::SetColor(Color c) {
    DrawLock lock;
    if (c.GetRaw() == last_brush_color_) return;
    HBRUSH owned = nullptr;
    HGDIOBJ brush =
        c.IsNull() ? GetStockObject(NULL_BRUSH) : (owned = CreateSolidBrush(GetColor(c)));
    HGDIOBJ replaced = SelectObject(hdc_, brush);
    if (!prior_brush_) prior_brush_ = replaced;
    if (current_brush_) DeleteObject(current_brush_);
    current_brush_ = owned;
    last_brush_color_ = c.GetRaw();
}

void Draw::SetDrawPen(int width, Color c) {
    DrawLock lock;
    if (width == last_pen_width_ && c.GetRaw() == last_pen_color_) return;
    const int style = width > 0 ? PS_SOLID : width < 0 ? PS_DOT : PS_NULL;
    HPEN pen = CreatePen(style, width < 0 ? -width : width, GetColor(c));
    HGDIOBJ replaced = SelectObject(hdc_, pen);
    if (!prior_pen_) prior_pen_ = replaced;
    if (current_pen_) DeleteObject(current_pen_);
    current_pen_ = pen;
    last_pen_width_ = width;
    last_pen_color_ = c.GetRaw();
}

void Draw::SetFont(const Font& f) {
    DrawLock lock;
    current_font_ = f;
    HGDIOBJ replaced = SelectObject(hdc_, f.GetHandle());
    if (!prior_font_) prior_font_ = replaced;
}

void Draw::SetOrg() {
    DrawLock lock;
    // The viewport origin already moves device coordinates; the window origin adds
    // only what the levels moved beyond it, so a level at the start offset draws
    // where the attached context drew.
    SetWindowOrgEx(hdc_, viewport_org_.x - actual_offset_.x, viewport_org_.y - actual_offset_.y,
                   nullptr);
}

void Draw::BeginOp() {
    DrawLock lock;
    auto level = std::make_unique<Level>();
    level->offset = actual_offset_;
    level->clip = CreateRectRgn(0, 0, 0, 0);
    if (level->clip && GetClipRgn(hdc_, level->clip) != 1) {
        DeleteObject(level->clip);
        level->clip = nullptr;
    }
    stack_.push_back(std::move(level));
}

void Draw::EndOp() {
    DrawLock lock;
    // Levels must balance; an extra close is ignored.
    if (stack_.empty()) return;
    std::unique_ptr<Level> level = std::move(stack_.back());
    stack_.pop_back();
    actual_offset_ = level->offset;
    SelectClipRgn(hdc_, level->clip);
    SetOrg();
    if (level->clip) DeleteObject(level->clip);
}

void Draw::OffsetOp(Point p) {
    DrawLock lock;
    BeginOp();
    actual_offset_.Offset(p.x, p.y);
    SetOrg();
}

bool Draw::ClipOp(const Rect& r) {
    DrawLock lock;
    BeginOp();
    return IntersectClipOp(r);
}

bool Draw::ClipOffsetOp(const Rect& r) {
    DrawLock lock;
    BeginOp();
    actual_offset_.Offset(r.left, r.top);
    const bool result = IntersectClipOp(r);
    SetOrg();
    return result;
}

bool Draw::ExcludeClipOp(const Rect& r) {
    DrawLock lock;
    HRGN rgn = CreateRectRgnIndirect(LPtoDP(r).AsRECT());
    const int result = ExtSelectClipRgn(hdc_, rgn, RGN_DIFF);
    DeleteObject(rgn);
    return IsRegion(result);
}

bool Draw::IntersectClipOp(const Rect& r) {
    DrawLock lock;
    HRGN rgn = CreateRectRgnIndirect(LPtoDP(r).AsRECT());
    const int result = ExtSelectClipRgn(hdc_, rgn, RGN_AND);
    DeleteObject(rgn);
    return IsRegion(result);
}

Rect Draw::GetClipOp() {
    DrawLock lock;
    Rect r;
    GetClipBox(hdc_, r.AsRECT());
    return r;
}

bool Draw::IsPaintingOp(const Rect& r) {
    DrawLock lock;
    return RectVisible(hdc_, r.AsRECT()) != FALSE;
}

void Draw::DrawRectOp(int x, int y, int cx, int cy, Color color) {
    DrawLock lock;
    if (color.IsNull() || cx <= 0 || cy <= 0) return;
    SetColor(color);
    PatBlt(hdc_, x, y, cx, cy, PATCOPY);
}

void Draw::DrawImageOp(int x, int y, int cx, int cy, const Image& img, const Rect& src,
                       Color color) {
    DrawLock lock;
    // This draw never scales; scaling draws override the slot.
    if (src.IsNull() || cx != src.Width() || cy != src.Height() || img.IsEmpty()) return;
    img.Paint(*this, x, y, src, color);
}

void Draw::DrawLineOp(int x1, int y1, int x2, int y2, int width, Color color) {
    DrawLock lock;
    SetDrawPen(width, color);
    MoveToEx(hdc_, x1, y1, nullptr);
    LineTo(hdc_, x2, y2);
}

void Draw::DrawRoundRectOp(Color pen, Color fill, const Rect& r, int radius, int width) {
    DrawLock lock;
    SetColor(fill);
    SetDrawPen(width, pen);
    RoundRect(hdc_, r.left, r.top, r.right, r.bottom, radius, radius);
}

void Draw::DrawTextOp(int x, int y, int angle, const wchar_t* text, Font font, Color ink, int n,
                      const int* dx) {
    while (n > kTextPiece) {
        DrawTextOp(x, y, angle, text, font, ink, kTextPiece, dx);
        if (dx) {
            for (int i = 0; i < kTextPiece; ++i) x += dx[i];
            dx += kTextPiece;
        } else {
            // Without advances the next piece starts where this one's text ends.
            DrawLock lock;
            HGDIOBJ previous = SelectObject(hdc_, font.GetHandle());
            SIZE extent = {0, 0};
            GetTextExtentPointW(hdc_, text, kTextPiece, &extent);
            if (previous) SelectObject(hdc_, previous);
            x += extent.cx;
        }
        text += kTextPiece;
        n -= kTextPiece;
    }
    DrawLock lock;
    const COLORREF mapped = GetColor(ink);
    if (mapped != last_text_color_) {
        SetTextColor(hdc_, mapped);
        last_text_color_ = mapped;
    }
    if (angle != 0) return;
    SetFont(font);
    ExtTextOutW(hdc_, x, y - font.GetLogFont().lfHeight, 0, nullptr, text, n, dx);
}

void Draw::DrawFrame(int x, int y, int cx, int cy, Color c, int n) {
    if (n < 0) {
        x += n;
        y += n;
        cx -= 2 * n;
        cy -= 2 * n;
        n = -n;
    }
    DrawRectOp(x, y, cx, n, c);
    DrawRectOp(x, y + n, n, cy - n, c);
    DrawRectOp(x + cx - n, y + n, n, cy - n, c);
    DrawRectOp(x + n, y + cy - n, cx - 2 * n, n, c);
}

void Draw::DrawImage(int x, int y, const Image& img) {
    const Size sz = img.GetSize();
    DrawImageOp(x, y, sz.cx, sz.cy, img, Rect(0, 0, sz.cx, sz.cy), Color());
}

void Draw::DrawImage(int x, int y, const Image& img, const Rect& src) {
    DrawImageOp(x, y, src.Width(), src.Height(), img, src, Color());
}

void Draw::DrawImage(int x, int y, int cx, int cy, const Image& img) {
    DrawImageOp(x, y, cx, cy, img, Rect(img.GetSize()), Color());
}

void Draw::DrawImage(int x, int y, int cx, int cy, const Image& img, const Rect& src) {
    DrawImageOp(x, y, cx, cy, img, src, Color());
}

void Draw::DrawImage(const Rect& r, const Image& img) {
    DrawImage(r.left, r.top, r.Width(), r.Height(), img);
}

void Draw::DrawImage(const Rect& r, const Image& img, const Rect& src) {
    DrawImage(r.left, r.top, r.Width(), r.Height(), img, src);
}

void Draw::DrawImage(int x, int y, const Image& img, Color c) {
    if (c.IsNull()) return;
    const Size sz = img.GetSize();
    DrawImageOp(x, y, sz.cx, sz.cy, img, Rect(0, 0, sz.cx, sz.cy), c);
}

void Draw::DrawImage(int x, int y, const Image& img, const Rect& src, Color c) {
    if (c.IsNull()) return;
    DrawImageOp(x, y, src.Width(), src.Height(), img, src, c);
}

void Draw::DrawImage(int x, int y, int cx, int cy, const Image& img, Color c) {
    if (c.IsNull()) return;
    DrawImageOp(x, y, cx, cy, img, Rect(img.GetSize()), c);
}

void Draw::DrawImage(int x, int y, int cx, int cy, const Image& img, const Rect& src, Color c) {
    if (c.IsNull()) return;
    DrawImageOp(x, y, cx, cy, img, src, c);
}

void Draw::DrawImage(const Rect& r, const Image& img, Color c) {
    DrawImage(r.left, r.top, r.Width(), r.Height(), img, c);
}

void Draw::DrawImage(const Rect& r, const Image& img, const Rect& src, Color c) {
    DrawImage(r.left, r.top, r.Width(), r.Height(), img, src, c);
}

void Draw::DrawText(int x, int y, int angle, const std::wstring& s, Font font, Color ink,
                    const int* dx) {
    if (ink.IsNull()) return;
    DrawTextOp(x, y, angle, s.c_str(), font, ink, static_cast<int>(s.size()), dx);
}

void Draw::DrawText(int x, int y, int angle, const wchar_t* text, Font font, Color ink, int n,
                    const int* dx) {
    if (ink.IsNull()) return;
    DrawTextOp(x, y, angle, text, font, ink, n, dx);
}

Point Draw::LPtoDP(Point p) {
    DrawLock lock;
    POINT pt = {p.x, p.y};
    ::LPtoDP(hdc_, &pt, 1);
    return Point(pt.x, pt.y);
}

Point Draw::DPtoLP(Point p) {
    DrawLock lock;
    POINT pt = {p.x, p.y};
    ::DPtoLP(hdc_, &pt, 1);
    return Point(pt.x, pt.y);
}

Rect Draw::LPtoDP(const Rect& r) {
    DrawLock lock;
    POINT pts[2] = {{r.left, r.top}, {r.right, r.bottom}};
    ::LPtoDP(hdc_, pts, 2);
    return Rect(pts[0].x, pts[0].y, pts[1].x, pts[1].y);
}

HDC Draw::BeginGdi() {
    DrawLock lock;
    BeginOp();
    return hdc_;
}

void Draw::EndGdi() {
    DrawLock lock;
    RestoreObjects();
    EndOp();
}

}  // namespace Gui
