// Gui::Draw is the toolkit's drawing surface: a thin object over one device context
// through which every control paints. It keeps a stack of clip-and-offset levels and
// caches the brush, pen, font and text colour it selected last, so a run of drawing
// in one colour creates one GDI object. Gui::ScreenDraw is the process-wide draw on
// an information context of the display (measuring, reference device); Gui::BackDraw
// draws on an off-screen bitmap that Put copies onto a target draw.
//
// Every operation runs under the drawing lock. Colours are Gui::Color; the null
// colour draws nothing in fills and text. Coordinates are logical coordinates of
// the current level. The virtual slots keep their order: derived draws rely on it.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "gui/color.h"
#include "gui/font.h"
#include "gui/geometry.h"

namespace Gui {

class Image;

class Draw {
public:
    // Device properties in the flag byte.
    enum : uint8_t {
        kPalette = 0x01,
        kOddPalette = 0x02,  // a palette device whose palette is not 256 entries
        kPlain = 0x08,       // set at construction
        kBack = 0x20,
        kMonochrome = 0x40,
    };

    Draw();
    explicit Draw(HDC hdc);
    virtual void Reserved1() {}
    virtual void Reserved2() {}
    virtual void BeginOp();
    virtual void EndOp();
    virtual void OffsetOp(Point p);
    virtual bool ClipOp(const Rect& r);
    virtual bool ClipOffsetOp(const Rect& r);
    virtual bool ExcludeClipOp(const Rect& r);
    virtual bool IntersectClipOp(const Rect& r);
    virtual Rect GetClipOp();
    virtual bool IsPaintingOp(const Rect& r);
    virtual void DrawRectOp(int x, int y, int cx, int cy, Color color);
    virtual void DrawImageOp(int x, int y, int cx, int cy, const Image& img, const Rect& src,
                             Color color);
    virtual void DrawLineOp(int x1, int y1, int x2, int y2, int width, Color color);
    virtual void DrawRoundRectOp(Color pen, Color fill, const Rect& r, int radius, int width);
    virtual void DrawTextOp(int x, int y, int angle, const wchar_t* text, Font font, Color ink,
                            int n, const int* dx);
    virtual ~Draw();

    Draw(const Draw&) = delete;
    Draw& operator=(const Draw&) = delete;

    // Attaches the stored context: transparent background, baseline alignment, the
    // viewport origin as the actual offset, the device properties.
    void Attach();
    // Closes every open level and gives the context back its prior pen, brush, font.
    void Detach();

    HDC GetHandle() const { return hdc_; }
    uint8_t GetFlags() const { return flags_; }
    bool IsBack() const { return (flags_ & kBack) != 0; }
    bool IsMonochrome() const { return (flags_ & kMonochrome) != 0; }
    bool IsPaletteDevice() const { return (flags_ & kPalette) != 0; }
    Size GetPageSize() const { return page_pixels_; }
    Size GetPageMMs() const { return page_mm_; }
    Size GetPixelsPerInch() const { return pixels_per_inch_; }
    Size GetSheetSize() const { return sheet_pixels_; }
    Point GetPageOffset() const { return page_offset_; }
    Point GetOffset() const { return actual_offset_; }
    int GetLevel() const { return static_cast<int>(stack_.size()); }

    void Begin() { BeginOp(); }
    void End() { EndOp(); }
    void Offset(Point p) { OffsetOp(p); }
    void Offset(int x, int y) { OffsetOp(Point(x, y)); }
    bool Clip(const Rect& r) { return ClipOp(r); }
    bool ClipOffset(const Rect& r) { return ClipOffsetOp(r); }
    bool ExcludeClip(const Rect& r) { return ExcludeClipOp(r); }
    bool IntersectClip(const Rect& r) { return IntersectClipOp(r); }
    Rect GetClip() { return GetClipOp(); }
    bool IsPainting(const Rect& r) { return IsPaintingOp(r); }

    void DrawRect(int x, int y, int cx, int cy, Color c) { DrawRectOp(x, y, cx, cy, c); }
    void DrawRect(const Rect& r, Color c) { DrawRectOp(r.left, r.top, r.Width(), r.Height(), c); }
    // A frame n wide inside the rectangle; a negative n puts it -n wide outside.
    void DrawFrame(int x, int y, int cx, int cy, Color c, int n = 1);
    void DrawFrame(const Rect& r, int n, Color c) {
        DrawFrame(r.left, r.top, r.Width(), r.Height(), c, n);
    }

    // Images are composed at their own size; the forms with a colour draw nothing
    // for the null colour.
    void DrawImage(int x, int y, const Image& img);
    void DrawImage(int x, int y, const Image& img, const Rect& src);
    void DrawImage(int x, int y, int cx, int cy, const Image& img);
    void DrawImage(int x, int y, int cx, int cy, const Image& img, const Rect& src);
    void DrawImage(const Rect& r, const Image& img);
    void DrawImage(const Rect& r, const Image& img, const Rect& src);
    void DrawImage(int x, int y, const Image& img, Color c);
    void DrawImage(int x, int y, const Image& img, const Rect& src, Color c);
    void DrawImage(int x, int y, int cx, int cy, const Image& img, Color c);
    void DrawImage(int x, int y, int cx, int cy, const Image& img, const Rect& src, Color c);
    void DrawImage(const Rect& r, const Image& img, Color c);
    void DrawImage(const Rect& r, const Image& img, const Rect& src, Color c);

    void DrawLine(int x1, int y1, int x2, int y2, int width, Color c) {
        DrawLineOp(x1, y1, x2, y2, width, c);
    }
    void DrawRoundRect(Color pen, Color fill, const Rect& r, int radius, int width = 1) {
        DrawRoundRectOp(pen, fill, r, radius, width);
    }

    // Text hangs below y: its baseline is one font height under y. A text with a
    // non-zero angle is not drawn.
    void DrawText(int x, int y, int angle, const std::wstring& s, Font font, Color ink,
                  const int* dx = nullptr);
    void DrawText(int x, int y, int angle, const wchar_t* text, Font font, Color ink, int n,
                  const int* dx = nullptr);
    void DrawText(int x, int y, const std::wstring& s, Font font, Color ink,
                  const int* dx = nullptr) {
        DrawText(x, y, 0, s, font, ink, dx);
    }
    void DrawText(int x, int y, const wchar_t* text, Font font, Color ink, int n,
                  const int* dx = nullptr) {
        DrawText(x, y, 0, text, font, ink, n, dx);
    }

    Point LPtoDP(Point p);
    Point DPtoLP(Point p);
    Rect LPtoDP(const Rect& r);
    // For code that calls GDI itself: a level is open between the two.
    HDC BeginGdi();
    void EndGdi();

    // The longest piece of text handed to GDI at once.
    static constexpr int kTextPiece = 30000;

protected:
    // GDI's colour for c: black for the null colour and on palette devices.
    COLORREF GetColor(Color c) const;
    void LoadCaps();
    void ResetObjects();
    void RestoreObjects();
    void SetColor(Color c);
    void SetDrawPen(int width, Color c);
    void SetFont(const Font& f);
    void SetOrg();

    uint8_t flags_ = kPlain;
    HDC hdc_ = nullptr;
    Point actual_offset_;

private:
    struct Level {
        Point offset;
        HRGN clip = nullptr;  // a copy of the context's clip region; 0 for none
    };

    Size GetSizeCaps(int x_index, int y_index) const;

    Size page_pixels_;
    Size page_mm_;
    Size pixels_per_inch_;
    Size sheet_pixels_;
    Point page_offset_;
    Point viewport_org_;  // the context's viewport origin at attach
    uint32_t reserved_ = 0;
    Font current_font_;
    std::vector<std::unique_ptr<Level>> stack_;
    COLORREF last_text_color_ = CLR_INVALID;
    DWORD last_brush_color_ = 0xFFFFFFFF;
    HGDIOBJ prior_brush_ = nullptr;
    HBRUSH current_brush_ = nullptr;
    HGDIOBJ prior_font_ = nullptr;
    HGDIOBJ prior_pen_ = nullptr;
    HPEN current_pen_ = nullptr;
    int last_pen_width_ = INT_NULL;
    DWORD last_pen_color_ = 0xFFFFFFFF;
};

// The one draw on an information context of the display, made on first use and
// destroyed at exit.
class ScreenDraw : public Draw {
public:
    static ScreenDraw& GetInstance();
    ~ScreenDraw() override;

private:
    ScreenDraw();
};

HDC ScreenHDC();

// A draw on an off-screen bitmap compatible with a target draw.
class BackDraw : public Draw {
public:
    BackDraw() = default;
    ~BackDraw() override;

    bool IsPaintingOp(const Rect& r) override;

    void Create(Draw& target, int cx, int cy);
    void Create(int cx, int cy);
    // Copies the whole buffer to the target at x, y.
    void Put(Draw& target, int x, int y);
    void Destroy();

    HBITMAP GetBitmap() const { return buffer_; }
    Size GetSize() const { return size_; }

private:
    HGDIOBJ prior_bitmap_ = nullptr;
    HBITMAP buffer_ = nullptr;
    Size size_;
};

}  // namespace Gui
