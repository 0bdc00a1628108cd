#include "gui/font.h"

#include <string.h>
#include <wchar.h>

#include "gui/draw_lock.h"

namespace Gui {
namespace {

Font g_default_font;
bool g_default_font_set;

Size MeasureText(const wchar_t* text, size_t length, const Font& font) {
    SIZE extent = {0, 0};
    if (HDC dc = GetDC(nullptr)) {
        HGDIOBJ previous = font.GetHandle() ? SelectObject(dc, font.GetHandle()) : nullptr;
        GetTextExtentPointW(dc, text, static_cast<int>(length), &extent);
        // The screen DC may be shared, so it gets its own font back.
        if (previous) SelectObject(dc, previous);
        ReleaseDC(nullptr, dc);
    }
    return Size(extent.cx, -font.GetLogFont().lfHeight);
}

}  // namespace

bool Font::operator==(const Font& other) const { return memcmp(this, &other, sizeof(Font)) == 0; }

void SetDefaultFont(Font f) {
    {
        DrawLock lock;
        g_default_font_set = true;
    }
    g_default_font = f;
}

Font GetDefaultFont() { return g_default_font; }

Font StdFont() { return g_default_font; }

bool IsDefaultFontSet() {
    DrawLock lock;
    return g_default_font_set;
}

Color GetDefaultInk() { return Color::FromRaw(0x333333); }

Size GetTextSize(const wchar_t* text, Font font) {
    return MeasureText(text ? text : L"", text ? wcslen(text) : 0, font);
}

Size GetTextSize(const std::wstring& text, Font font) {
    return MeasureText(text.c_str(), text.size(), font);
}

}  // namespace Gui
