#include "ctrls/standard_styles.h"

#include <stdlib.h>

#include "gui/font.h"

namespace ctrls {
namespace {

using Gui::Color;
using Gui::Image;
using Gui::ImageBuffer;
using Gui::RGBA;

RGBA Opaque(int rgb) { return Gui::MakeRGBA(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF, 255); }

Color Rgb(int rgb) { return Color(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF); }

void Fill(ImageBuffer& b, RGBA p) {
    for (int i = 0; i < b.GetLength(); ++i) b.Begin()[i] = p;
}

// A one-pixel frame around a face, stretched by its middle pixels.
Image Frame(int cx, int cy, int face, int edge) {
    ImageBuffer b(cx, cy);
    Fill(b, Opaque(edge));
    for (int y = 1; y < cy - 1; ++y)
        for (int x = 1; x < cx - 1; ++x) b[y][x] = Opaque(face);
    b.SetHotSpot(Gui::Point(1, 1));
    b.SetSpot2(Gui::Point(cx - 2, cy - 2));
    return Image(b);
}

// A caption box: a glyph (a bar or a cross, 10 pixels wide) in the middle of a
// 28 x 24 face; a null face leaves the box transparent.
Image CaptionBox(bool cross, int face, int ink) {
    ImageBuffer b(28, 24);
    Fill(b, face < 0 ? Gui::MakeRGBA(0, 0, 0, 0) : Opaque(face));
    for (int i = 0; i < 10; ++i) {
        if (cross) {
            b[7 + i][9 + i] = Opaque(ink);
            b[7 + i][18 - i] = Opaque(ink);
        } else {
            b[12][9 + i] = Opaque(ink);
        }
    }
    return Image(b);
}

// A 13 x 13 check box, with a tick when checked.
Image CheckBox(bool checked, int face, int edge, int ink) {
    ImageBuffer b(13, 13);
    Fill(b, Opaque(edge));
    for (int y = 1; y < 12; ++y)
        for (int x = 1; x < 12; ++x) b[y][x] = Opaque(face);
    if (checked) {
        // Down from (3, 6) to (5, 8), then up to (9, 4), two pixels thick.
        for (int x = 3; x <= 9; ++x) {
            const int y = x <= 5 ? x + 3 : 13 - x;
            b[y][x] = b[y + 1][x] = Opaque(ink);
        }
    }
    return Image(b);
}

}  // namespace

void FillStandardStyle(ButtonStyle& s) {
    const int face[4] = {0xE1E1E1, 0xE5F1FB, 0xCCE4F7, 0xCCCCCC};
    const int edge[4] = {0xADADAD, 0x0078D7, 0x005499, 0xBFBFBF};
    for (int i = 0; i < 4; ++i) {
        s.look[i] = Frame(3, 3, face[i], edge[i]);
        s.textcolor[i] = i == 3 ? Rgb(0xA0A0A0) : Gui::GetDefaultInk();
    }
    s.align = 0;
    s.valign = 0;
}

void FillStandardStyle(SystemPanelStyle& s) {
    // Boxes without a place (width 0) sit at the panel's top right, close outermost.
    const int face[4] = {-1, 0xE5E5E5, 0xCACACA, -1};
    const int close_face[4] = {-1, 0xE81123, 0xF1707A, -1};
    for (int i = 0; i < 4; ++i) {
        const int ink = i == 3 ? 0xA0A0A0 : 0x333333;
        s.minbox.look[i] = CaptionBox(false, face[i], ink);
        s.closebox.look[i] = CaptionBox(true, close_face[i], i == 1 || i == 2 ? 0xFFFFFF : ink);
    }
    s.minbox.pressoffset = s.closebox.pressoffset = Gui::Point(0, 0);
    s.dragtop = 30;
    s.iconpos = Gui::Point(8, 7);
    s.titlepos = Gui::Point(30, 8);
    s.titlefont = Gui::GetDefaultFont();
    s.titleink = Gui::GetDefaultInk();
}

void FillStandardStyle(OptionStyle& s) {
    const int face[4] = {0xFFFFFF, 0xFFFFFF, 0xCCE4F7, 0xF0F0F0};
    const int edge[4] = {0x333333, 0x0078D7, 0x005499, 0xBCBCBC};
    for (int i = 0; i < 4; ++i) {
        const int ink = i == 3 ? 0xBCBCBC : 0x333333;
        s.unpressed[i] = CheckBox(false, face[i], edge[i], ink);
        s.pressed[i] = CheckBox(true, face[i], edge[i], ink);
    }
    s.optionview_width = 18;
}

void FillStandardStyle(EditStyle& s) {
    s.paper = Gui::White();
    s.disabled = Rgb(0xF0F0F0);
    s.text = Gui::GetDefaultInk();
    s.textdisabled = Rgb(0xA0A0A0);
    s.selected = Rgb(0x3399FF);
    s.selectedtext = Gui::White();
    const int edge[4] = {0xABADB3, 0x7EB4EA, 0x569DE5, 0xD9D9D9};
    for (int i = 0; i < 4; ++i) s.edge[i] = Frame(3, 3, i == 3 ? 0xF0F0F0 : 0xFFFFFF, edge[i]);
    s.margin = Gui::Rect(3, 1, 3, 1);
}

void FillStandardStyle(ProgressStyle& s) {
    s.bg = Frame(3, 3, 0xE6E6E6, 0xBCBCBC);
    s.block = Frame(3, 3, 0x06B025, 0x06A022);
}

}  // namespace ctrls
