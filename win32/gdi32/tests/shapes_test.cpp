// Lines and (rounded) rectangles against hand-computed pixels.
#include "dib_canvas.h"

#include <functional>

namespace {

const COLORREF kWhite = RGB(255, 255, 255);

// Selects a new pen and deletes the one it replaces, unless that is the stock pen.
void Pen(HDC dc, int style, int width, COLORREF colour = kWhite) {
    HGDIOBJ old = SelectObject(dc, CreatePen(style, width, colour));
    if (old != GetStockObject(BLACK_PEN)) DeleteObject(old);
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

struct Shape {
    const char* what;
    int width, height;
    std::function<void(HDC)> draw;  // on a background of 0xFF000000, the null brush selected
    const char* picture;
};

TEST(Shapes, LinesAndRectanglesCoverThePixelsWindowsCovers) {
    GdiObject<HBRUSH> blue(CreateSolidBrush(RGB(0, 0, 255)));
    GdiObject<HRGN> clip(CreateRectRgn(0, 0, 4, 2));
    const Shape cases[] = {
        {"a line leaves out its last pixel, with alpha 0", 6, 2,
         [](HDC dc) { Pen(dc, PS_SOLID, 1, RGB(255, 0, 0)), Line(dc, 0, 1, 4, 1); },
         "......\nrrrr..\n"},
        {"diagonal", 4, 4, [](HDC dc) { Pen(dc, PS_SOLID, 0), Line(dc, 0, 0, 3, 3); },
         "#...\n.#..\n..#.\n....\n"},
        {"shallow", 5, 2, [](HDC dc) { Pen(dc, PS_SOLID, 0), Line(dc, 0, 0, 4, 2); },
         "##...\n..##.\n"},
        {"the null pen", 4, 1, [](HDC dc) { Pen(dc, PS_NULL, 0), Line(dc, 0, 0, 3, 0); }, "....\n"},
        {"dots: three on, three off", 12, 1,
         [](HDC dc) { SetBkMode(dc, TRANSPARENT), Pen(dc, PS_DOT, 1), Line(dc, 0, 0, 11, 0); },
         "###...###...\n"},
        {"opaque dots: the gaps in the background colour", 8, 1,
         [](HDC dc) {
             SetBkColor(dc, RGB(0, 0, 255));
             Pen(dc, PS_DOT, 1, RGB(255, 0, 0));
             Line(dc, 0, 0, 7, 0);
         },
         "rrrbbbr.\n"},
        {"a wide dotted pen is solid around the line", 10, 5,
         [](HDC dc) { Pen(dc, PS_DOT, 3, RGB(255, 0, 0)), Line(dc, 1, 2, 8, 2); },
         "..........\nrrrrrrrrr.\nrrrrrrrrr.\nrrrrrrrrr.\n..........\n"},
        {"clipped, and offset by the viewport", 6, 2,
         [&](HDC dc) {
             Pen(dc, PS_SOLID, 1);
             SelectClipRgn(dc, clip);
             SetViewportOrgEx(dc, 1, 1, nullptr);
             Line(dc, 0, 0, 5, 0);
         },
         "......\n.###..\n"},
        {"zero corners: a framed rectangle", 6, 5,
         [&](HDC dc) {
             Pen(dc, PS_SOLID, 1);
             SelectObject(dc, blue);
             RoundRect(dc, 0, 0, 5, 4, 0, 0);
         },
         "#####.\n#bbb#.\n#bbb#.\n#####.\n......\n"},
        {"small corners cut the corner pixels", 6, 6,
         [](HDC dc) { Pen(dc, PS_SOLID, 1), RoundRect(dc, 0, 0, 6, 6, 4, 4); },
         ".####.\n#....#\n#....#\n#....#\n#....#\n.####.\n"},
        {"the brush fills inside the frame", 6, 6,
         [](HDC dc) {
             Pen(dc, PS_SOLID, 1, RGB(255, 0, 0));
             SelectObject(dc, GetStockObject(WHITE_BRUSH));
             RoundRect(dc, 0, 0, 6, 6, 4, 4);
         },
         ".rrrr.\nr####r\nr####r\nr####r\nr####r\n.rrrr.\n"},
        {"full corners, or wider ones, make a circle", 8, 8,
         [](HDC dc) {
             Pen(dc, PS_SOLID, 1), RoundRect(dc, 0, 0, 8, 8, 8, 8);
             RoundRect(dc, 0, 0, 8, 8, 40, 9);
         },
         "..####..\n.#....#.\n#......#\n#......#\n#......#\n#......#\n.#....#.\n..####..\n"},
        {"the null pen fills one pixel short", 5, 5,
         [](HDC dc) {
             Pen(dc, PS_NULL, 0);
             SelectObject(dc, GetStockObject(WHITE_BRUSH));
             Rectangle(dc, 0, 0, 4, 4);
         },
         "###..\n###..\n###..\n.....\n.....\n"},
        {"a wide pen's frame lies inside the box", 6, 6,
         [](HDC dc) { Pen(dc, PS_SOLID, 2), RoundRect(dc, 0, 0, 6, 6, 0, 0); },
         "######\n######\n##..##\n##..##\n######\n######\n"},
    };
    for (const Shape& t : cases) {
        DibCanvas c(t.width, t.height);
        c.fill(0xFF000000);
        SelectObject(c.dc(), GetStockObject(NULL_BRUSH));
        t.draw(c.dc());
        EXPECT_EQ(c.picture(0xFF000000), t.picture) << t.what;
        DeleteObject(SelectObject(c.dc(), GetStockObject(BLACK_PEN)));
    }
}

TEST(Shapes, LinesMoveTheCurrentPositionWhateverThePen) {
    DibCanvas c(6, 1);
    for (int style : {PS_SOLID, PS_NULL}) {
        Pen(c.dc(), style, 1);
        Line(c.dc(), 0, 0, 4 + style, 0);
        POINT pos{};
        ASSERT_TRUE(GetCurrentPositionEx(c.dc(), &pos));
        EXPECT_EQ(pos, (POINT{4 + style, 0}));
    }
    DeleteObject(SelectObject(c.dc(), GetStockObject(BLACK_PEN)));
}

}  // namespace
