// skin_art: draws the demo skin's pictures as PNG files, so that no binary image
// lives in the sources. The names it is given are the pictures skin.info refers
// to; each is drawn at the size the skin's layout uses.
//   skin_art <output folder> <name.png>...
#include <stdio.h>

#include <cmath>
#include <functional>
#include <map>
#include <string>

#include "canvas.h"
#include "glyphs.h"

namespace {

using namespace art;

constexpr const char* kFontFamily = "WenQuanYi Micro Hei";
Glyphs g_glyphs;

// A button face: its gradient, edge and the light line along its top.
struct Face {
    const char* top;
    const char* bottom;
    const char* border;
    float highlight;  // alpha of the white top line
    bool pressed;     // a shadow inside the top edge
};

// One look of a nine-grid button picture of the given size and corner radius.
Canvas Button(int w, int h, float radius, const Face& f) {
    Canvas c(w, h);
    c.FillRoundRect(0, 0, w, h, radius, VGradient(0, Hex(f.top), h, Hex(f.bottom)));
    if (f.highlight > 0) {
        c.Fill(
            [=](float x, float y) {
                return y < 2 ? Coverage(RoundRectDistance(x, y, 1, 1, w - 1, h - 1, radius - 1))
                             : 0.0f;
            },
            Solid(Hex("#FFFFFF", f.highlight)));
    }
    if (f.pressed) {
        c.Fill(
            [=](float x, float y) {
                return Coverage(RoundRectDistance(x, y, 0, 0, w, h, radius)) *
                       std::max(0.0f, 1 - (y - 1) / 4);
            },
            Solid(Hex("#000000", 0.22f)));
    }
    c.StrokeRoundRect(0, 0, w, h, radius, 1, Solid(Hex(f.border)));
    return c;
}

// The big action buttons: 16 x 44, corners of 5, hot spots [6,6,9,37].
Canvas BigButton(const Face& f) { return Button(16, 44, 5, f); }

const Face kDisabledBig = {"#3A4252", "#323846", "#2A303C", 0.04f, false};

std::map<std::string, std::function<Canvas()>> BigButtons() {
    struct Colours {
        const char* name;
        Face looks[3];
    };
    const Colours sets[] = {
        {"btn_primary",
         {{"#FFAA45", "#F27A1A", "#C9600F", 0.35f, false},
          {"#FFBB5E", "#F78C30", "#D26B15", 0.40f, false},
          {"#E8761C", "#D9650F", "#B1520B", 0.0f, true}}},
        {"btn_success",
         {{"#43CF78", "#23A458", "#1A8446", 0.30f, false},
          {"#58DB8A", "#2DB565", "#1E914D", 0.35f, false},
          {"#22A156", "#1A8A48", "#146E39", 0.0f, true}}},
        {"btn_neutral",
         {{"#54647F", "#3E4B62", "#2F394B", 0.18f, false},
          {"#627492", "#485770", "#36425A", 0.22f, false},
          {"#3A465B", "#323C4F", "#273040", 0.0f, true}}},
    };
    std::map<std::string, std::function<Canvas()>> out;
    for (const Colours& s : sets) {
        for (int i = 0; i < 4; ++i) {
            Face face = i < 3 ? s.looks[i] : kDisabledBig;
            out[std::string(s.name) + "_" + std::to_string(i) + ".png"] = [face] {
                return BigButton(face);
            };
        }
    }
    return out;
}

// The small folder buttons: 16 x 24, corners of 4, hot spots [5,5,10,18].
Canvas SmallButton(int look) {
    const Face faces[4] = {{"#283243", "#222A38", "#3A475C", 0.05f, false},
                           {"#303C51", "#283245", "#4E8FD9", 0.08f, false},
                           {"#1D2430", "#1A202B", "#3A475C", 0.0f, true},
                           {"#212834", "#1E242F", "#2B3342", 0.0f, false}};
    return Button(16, 24, 4, faces[look]);
}

// Minimise and close boxes: 28 x 24, the glyph alone until the mouse is over it.
Canvas CaptionBox(bool close, int look) {
    Canvas c(28, 24);
    if (look == 1)
        c.FillRoundRect(0, 0, 28, 24, 4, Solid(close ? Hex("#E5484D") : Hex("#FFFFFF", 0.14f)));
    if (look == 2)
        c.FillRoundRect(0, 0, 28, 24, 4, Solid(close ? Hex("#BF3A3F") : Hex("#000000", 0.25f)));
    const float alpha[4] = {0.82f, 1.0f, 0.9f, 0.3f};
    Paint ink = Solid(Hex("#FFFFFF", alpha[look]));
    if (close) {
        c.Line(9.5f, 7.5f, 18.5f, 16.5f, 1.4f, ink);
        c.Line(18.5f, 7.5f, 9.5f, 16.5f, 1.4f, ink);
    } else {
        c.FillRect(9, 12, 19, 13.2f, ink);
    }
    return c;
}

// The program's mark: a white download arrow on a rounded blue square.
Canvas AppIcon(int s) {
    Canvas c(s, s);
    c.FillRoundRect(0, 0, s, s, s * 0.22f, VGradient(0, Hex("#3A9BF5"), s, Hex("#1763C6")));
    auto arrow = [s](float x, float y) {
        int hits = 0;
        for (int sy = 0; sy < 4; ++sy)
            for (int sx = 0; sx < 4; ++sx) {
                float u = (x - 0.5f + (sx + 0.5f) / 4) / s, v = (y - 0.5f + (sy + 0.5f) / 4) / s;
                bool shaft = u > 0.41f && u < 0.59f && v > 0.17f && v < 0.52f;
                bool head = v >= 0.47f && v < 0.73f && std::fabs(u - 0.5f) < (0.73f - v) * 1.15f;
                bool base = v > 0.78f && v < 0.87f && u > 0.23f && u < 0.77f;
                hits += shaft || head || base;
            }
        return hits / 16.0f;
    };
    c.Fill(arrow, Solid(Hex("#FFFFFF")));
    return c;
}

// The whole window: title bar, the band the banner covers, the panel, a dark edge
// and rounded corners of 6.
Canvas WindowBackground() {
    const int w = 600, h = 279;
    Canvas c(w, h);
    auto shape = [=](float x, float y) { return Coverage(RoundRectDistance(x, y, 0, 0, w, h, 6)); };
    c.Fill(shape, VStops({{0, Hex("#1D2636")},
                          {32, Hex("#151C29")},
                          {32, Hex("#0E1424")},
                          {170, Hex("#0E1424")},
                          {170, Hex("#1E2534")},
                          {279, Hex("#171C27")}}));
    c.FillRect(1, 170, w - 1, 171, Solid(Hex("#2D384B")));
    c.Fill([=](float x, float y) { return y < 2 && y > 1 ? shape(x, y) : 0.0f; },
           Solid(Hex("#FFFFFF", 0.07f)));
    c.StrokeRoundRect(0, 0, w, h, 6, 1, Solid(Hex("#080B12")));
    return c;
}

// The game's title art: a dusk sky over ranges of mountains, a castle against the
// setting sun, and the game's name.
Canvas Banner() {
    const int w = 598, h = 138;
    Canvas c(w, h);
    c.FillRect(0, 0, w, h,
               VStops({{0, Hex("#0A1230")},
                       {50, Hex("#232C66")},
                       {88, Hex("#6A4889")},
                       {112, Hex("#D9786A")},
                       {138, Hex("#F0A274")}}));
    // Stars, fewer and fainter toward the horizon.
    unsigned seed = 20240611;
    auto rnd = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return ((seed >> 8) & 0xFFFF) / 65535.0f;
    };
    for (int i = 0; i < 110; ++i) {
        float x = rnd() * w, y = rnd() * 86, bright = rnd();
        float fade = 1 - y / 95;
        if (bright > 0.93f) c.FillCircle(x, y, 1.6f, Solid(Hex("#DCE6FF", 0.25f * fade)));
        c.FillRect(std::floor(x), std::floor(y), std::floor(x) + 1, std::floor(y) + 1,
                   Solid(Hex("#FFFFFF", (0.35f + 0.6f * bright) * fade)));
    }
    // The sun low over the ranges, with its glow.
    const float sx = 468, sy = 86;
    c.Fill(
        [=](float x, float y) { return std::exp(-std::pow(std::hypot(x - sx, y - sy) / 70, 2)); },
        Solid(Hex("#FFB07A", 0.55f)));
    c.FillCircle(sx, sy, 21, VGradient(sy - 21, Hex("#FFF1C9"), sy + 21, Hex("#FFBE72")));
    // Thin clouds across the sun.
    for (int i = 0; i < 5; ++i) {
        float cy = 78 + i * 6.5f, cx = 380 + rnd() * 180, len = 70 + rnd() * 90;
        c.Fill(
            [=](float x, float y) {
                float dx = (x - cx) / len, dy = (y - cy) / 1.6f;
                return std::exp(-(dx * dx + dy * dy) * 2.5f);
            },
            Solid(Hex("#FFD2B0", 0.35f)));
    }
    // Mountain ranges from far to near.
    struct Range {
        float base, peak, freq, phase, roll;
        const char* top;
        const char* bottom;
    };
    const Range ranges[] = {
        {104, 34, 0.017f, 0.6f, 6, "#7A5E9C", "#51457F"},
        {118, 26, 0.026f, 2.1f, 5, "#3A3470", "#2A2656"},
        {128, 18, 0.037f, 4.0f, 4, "#211F47", "#181838"},
        {135, 9, 0.052f, 1.3f, 3, "#12142B", "#0E1122"},
    };
    int index = 0;
    for (const Range& r : ranges) {
        auto top = [r](float x) {
            return r.base - r.peak * (1 - std::fabs(std::sin(x * r.freq + r.phase))) -
                   r.roll * std::sin(x * r.freq * 2.7f + r.phase * 1.9f) -
                   r.roll * 0.5f * std::sin(x * r.freq * 6.3f + 0.4f);
        };
        c.FillBelow(top, VGradient(r.base - r.peak - 6, Hex(r.top), h, Hex(r.bottom)));
        if (index == 0) {
            c.Fill([](float, float y) { return std::exp(-std::pow((y - 112) / 7, 2)); },
                   Solid(Hex("#E9A0A0", 0.18f)));
        }
        if (index == 1) {
            // A castle on the ridge below the sun, a few windows lit.
            Paint stone = Solid(Hex("#1E1C45"));
            const float ground = top(520) + 4;
            c.FillRect(494, ground - 24, 560, ground, stone);
            for (float x = 496; x < 558; x += 6)
                c.FillRect(x, ground - 27, x + 3, ground - 24, stone);
            const float towers[][3] = {{488, 8, 38}, {512, 8, 50}, {533, 7, 40}, {555, 7, 33}};
            for (const auto& t : towers) {
                float left = t[0], width = t[1], height = t[2];
                c.FillRect(left, ground - height, left + width, ground, stone);
                float apex = ground - height - width * 1.3f;
                c.Fill(
                    [=](float x, float y) {
                        if (y < apex || y > ground - height + 0.5f) return 0.0f;
                        float half = width / 2 * (y - apex) / (ground - height - apex);
                        return std::clamp(half - std::fabs(x - (left + width / 2)) + 0.5f, 0.0f,
                                          1.0f);
                    },
                    stone);
            }
            for (const auto& wnd : {std::pair{515.5f, ground - 40}, std::pair{491.5f, ground - 28},
                                    std::pair{535.5f, ground - 30}, std::pair{524.5f, ground - 14},
                                    std::pair{545.5f, ground - 15}})
                c.FillRect(wnd.first, wnd.second, wnd.first + 1.5f, wnd.second + 2.5f,
                           Solid(Hex("#FFD98A")));
        }
        ++index;
    }
    // Darker toward the panel and behind the title, so the text reads.
    c.FillRect(0, 112, w, h, VGradient(112, Hex("#0E1424", 0), h, Hex("#0E1424", 0.6f)));
    c.Fill(
        [](float x, float y) {
            return std::exp(-(std::pow((x - 130) / 170, 2) + std::pow((y - 64) / 52, 2)));
        },
        Solid(Hex("#070B1C", 0.45f)));

    // The game's name with an edge and a soft shadow, a line of tagline under it.
    const std::string title = "演示游戏";
    const int size = 44, tx = 34, baseline = 80;
    Mask text(w, h);
    g_glyphs.Draw(text, title, size, tx, baseline, 1.2f);
    Mask shadow = text;
    shadow.Dilate(2);
    shadow.Blur(3);
    c.FillMask(shadow, 0, 3, Solid(Hex("#000000", 0.75f)));
    Mask edge = text;
    edge.Dilate(2);
    c.FillMask(edge, 0, 0, Solid(Hex("#3B1E0A", 0.9f)));
    c.FillMask(text, 0, 0,
               VGradient(baseline - size * 0.8f, Hex("#FFF6D2"), baseline, Hex("#F0AE3E")));

    Mask caps(w, h);
    g_glyphs.Draw(caps, "D E M O    G A M E", 11, tx + 2, baseline - size - 2);
    c.FillMask(caps, 0, 0, Solid(Hex("#A9B8E8", 0.9f)));
    Mask tagline(w, h);
    g_glyphs.Draw(tagline, "踏上传奇之旅 · 即刻下载", 14, tx + 2, baseline + 26);
    Mask tag_shadow = tagline;
    tag_shadow.Blur(1);
    c.FillMask(tag_shadow, 0, 1, Solid(Hex("#000000", 0.8f)));
    c.FillMask(tagline, 0, 0, Solid(Hex("#E6EBF8")));
    return c;
}

// The tray menu's paper: white, a grey edge, corners of 4; hot spots [4,4,19,19].
Canvas MenuBackground() {
    Canvas c(24, 24);
    c.FillRoundRect(0, 0, 24, 24, 4, Solid(Hex("#FFFFFF")));
    c.StrokeRoundRect(0, 0, 24, 24, 4, 1, Solid(Hex("#C9D2DE")));
    return c;
}

// Progress groove and fill, 14 x 10 pills; hot spots [5,0,8,9].
Canvas ProgressTrack() {
    Canvas c(14, 10);
    c.FillRoundRect(0, 0, 14, 10, 5, Solid(Hex("#0E131B")));
    c.StrokeRoundRect(0, 0, 14, 10, 5, 1, Solid(Hex("#2B3648")));
    return c;
}

Canvas ProgressFill() {
    Canvas c(14, 10);
    c.FillRoundRect(0, 0, 14, 10, 5, VGradient(0, Hex("#74C2FF"), 10, Hex("#2C7BE5")));
    c.Fill(
        [](float x, float y) {
            return y < 3 && y > 1 ? Coverage(RoundRectDistance(x, y, 1, 1, 13, 9, 4)) : 0.0f;
        },
        Solid(Hex("#FFFFFF", 0.35f)));
    return c;
}

std::map<std::string, std::function<Canvas()>> Pictures() {
    std::map<std::string, std::function<Canvas()>> out = BigButtons();
    for (int i = 0; i < 4; ++i) {
        const std::string n = std::to_string(i);
        out["btn_small_" + n + ".png"] = [i] { return SmallButton(i); };
        out["sys_min_" + n + ".png"] = [i] { return CaptionBox(false, i); };
        out["sys_close_" + n + ".png"] = [i] { return CaptionBox(true, i); };
    }
    out["wnd_bg.png"] = WindowBackground;
    out["banner.png"] = Banner;
    out["icon16.png"] = [] { return AppIcon(16); };
    out["tray.png"] = [] { return AppIcon(32); };
    out["menu_bg.png"] = MenuBackground;
    out["progress_bg.png"] = ProgressTrack;
    out["progress_block.png"] = ProgressFill;
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: skin_art <output folder> <name.png>...\n");
        return 2;
    }
    if (!g_glyphs.Open(kFontFamily)) return 1;
    const auto pictures = Pictures();
    for (int i = 2; i < argc; ++i) {
        auto it = pictures.find(argv[i]);
        if (it == pictures.end()) {
            fprintf(stderr, "skin_art: no picture named %s\n", argv[i]);
            return 1;
        }
        const std::string path = std::string(argv[1]) + "/" + argv[i];
        if (!it->second().WritePng(path)) {
            fprintf(stderr, "skin_art: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
