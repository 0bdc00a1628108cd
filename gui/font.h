// Gui::Font is the toolkit's font value: the abstract font (height, bold,
// underline) together with the realised GDI font and the LOGFONTW it was made
// from. It is copied whole wherever a font is held. The toolkit never creates or
// deletes a GDI font: whoever realises the font writes the handle and LOGFONTW
// (see Realize), and every copy shares that handle without owning it.
#pragma once

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "gui/color.h"
#include "gui/geometry.h"

namespace Gui {

class Font {
public:
    static constexpr uint16_t kBold = 0x8000;
    static constexpr uint16_t kUnderline = 0x2000;

    Font& Height(int16_t n) {
        height_ = n;
        return *this;
    }
    Font& Bold() {
        flags_ |= kBold;
        return *this;
    }
    Font& NoBold() {
        flags_ &= 0x7FFF;
        return *this;
    }
    Font& Bold(bool b) { return b ? Bold() : NoBold(); }
    Font& Underline() {
        flags_ |= kUnderline;
        return *this;
    }
    Font& NoUnderline() {
        flags_ &= 0xDFFF;
        return *this;
    }
    Font& Underline(bool b) { return b ? Underline() : NoUnderline(); }

    int GetHeight() const { return height_; }
    bool IsBold() const { return (flags_ & kBold) != 0; }
    bool IsUnderline() const { return (flags_ & kUnderline) != 0; }
    uint16_t GetFlags() const { return flags_; }

    // The realised font; 0 and an all-zero LOGFONTW until Realize.
    HFONT GetHandle() const { return handle_; }
    const LOGFONTW& GetLogFont() const { return logfont_; }
    // Written once by whoever created the GDI font from lf; the record does not own it.
    void Realize(HFONT handle, const LOGFONTW& lf) {
        handle_ = handle;
        logfont_ = lf;
    }

    // Bytes equal, so two copies of one realised font compare equal.
    bool operator==(const Font& other) const;
    bool operator!=(const Font& other) const { return !(*this == other); }

private:
    friend class Draw;
    friend struct FontLayout;

    uint16_t unused0_ = 0;
    uint16_t flags_ = 0;
    int16_t height_ = 0;
    uint16_t unused1_ = 0;
    HFONT handle_ = nullptr;
    LOGFONTW logfont_ = {};
    uint32_t extra_[3] = {};
};

// The record's layout, fixed: the 16-bit fields, the handle, the LOGFONTW and the
// three trailing words, in that order, with the natural alignment of this platform
// (8-byte handles, 4-byte wide characters).
struct FontLayout {
    static constexpr size_t kFlags = offsetof(Font, flags_);
    static constexpr size_t kHeight = offsetof(Font, height_);
    static constexpr size_t kHandle = offsetof(Font, handle_);
    static constexpr size_t kLogFont = offsetof(Font, logfont_);
    static constexpr size_t kExtra = offsetof(Font, extra_);
};
static_assert(FontLayout::kFlags == 2 && FontLayout::kHeight == 4);
static_assert(FontLayout::kHandle == 8);
static_assert(FontLayout::kLogFont == 8 + sizeof(HFONT));
static_assert(FontLayout::kExtra == FontLayout::kLogFont + sizeof(LOGFONTW));
static_assert(sizeof(Font) == FontLayout::kExtra + 12);
static_assert(sizeof(LOGFONTW) == 28 + LF_FACESIZE * sizeof(WCHAR));

// The process-wide default font, all zero until the skin sets its normal font at
// start-up, before any window exists. Controls copy it when they are made.
void SetDefaultFont(Font f);
Font GetDefaultFont();
Font StdFont();  // the same as GetDefaultFont
// True once SetDefaultFont has run.
bool IsDefaultFontSet();

// The default text colour of controls, 0x333333.
Color GetDefaultInk();

// Width of the text in the font (0 when empty), height the font's character height
// (minus lfHeight), whatever the glyphs' extent. Uses a screen DC of its own, takes
// no lock; any thread may call. An unrealised font measures in the DC's default font.
Size GetTextSize(const wchar_t* text, Font font);
Size GetTextSize(const std::wstring& text, Font font);

}  // namespace Gui
