// make_icon: draws the demo build's program icon (a white download arrow on a
// rounded blue square) and writes it as an .ico file with 16, 32 and 48 pixel
// images, 32-bit colour with alpha. Drawn at build time so that no binary image
// lives in the sources.
//   make_icon <out.ico>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Rgba {
    uint8_t r, g, b, a;
};

void put16(std::string& b, unsigned v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& b, unsigned v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// Coverage of one pixel by the icon's shapes, sampled 4x4 for smooth edges.
Rgba shade(int size, int x, int y) {
    int inside = 0, arrow = 0;
    const double s = size, radius = s * 0.22;
    for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
            double px = x + (sx + 0.5) / 4, py = y + (sy + 0.5) / 4;
            // Rounded square: distance to the inner rectangle.
            double dx = std::fmax(std::fmax(radius - px, px - (s - radius)), 0.0);
            double dy = std::fmax(std::fmax(radius - py, py - (s - radius)), 0.0);
            if (dx * dx + dy * dy > radius * radius) continue;
            ++inside;
            double u = px / s, v = py / s;
            bool shaft = u > 0.42 && u < 0.58 && v > 0.18 && v < 0.55;
            bool head = v >= 0.50 && v < 0.74 && std::fabs(u - 0.5) < (0.74 - v) * 1.1;
            bool base = v > 0.78 && v < 0.86 && u > 0.24 && u < 0.76;
            if (shaft || head || base) ++arrow;
        }
    }
    if (inside == 0) return {0, 0, 0, 0};
    // Blue fading a little downward, white where the arrow is.
    double t = static_cast<double>(arrow) / inside, g = static_cast<double>(y) / size;
    auto mix = [&](double blue, double white) {
        return static_cast<uint8_t>(blue * (1 - t) + white * t);
    };
    return {mix(0x1E - 10 * g, 255), mix(0x88 - 30 * g, 255), mix(0xE5 - 40 * g, 255),
            static_cast<uint8_t>(255 * inside / 16)};
}

std::string image(int size) {
    std::string b;
    put32(b, 40);
    put32(b, static_cast<unsigned>(size));
    put32(b, static_cast<unsigned>(size * 2));  // colour rows and mask rows
    put16(b, 1);
    put16(b, 32);
    for (int i = 0; i < 6; ++i) put32(b, 0);
    for (int y = size - 1; y >= 0; --y) {  // bottom-up
        for (int x = 0; x < size; ++x) {
            Rgba p = shade(size, x, y);
            b += static_cast<char>(p.b);
            b += static_cast<char>(p.g);
            b += static_cast<char>(p.r);
            b += static_cast<char>(p.a);
        }
    }
    const int mask_row = ((size + 31) / 32) * 4;
    for (int y = size - 1; y >= 0; --y) {
        std::string row(static_cast<size_t>(mask_row), '\0');
        for (int x = 0; x < size; ++x) {
            if (shade(size, x, y).a == 0)
                row[static_cast<size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
        }
        b += row;
    }
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon <out.ico>\n");
        return 2;
    }
    const int sizes[] = {16, 32, 48};
    std::vector<std::string> images;
    for (int s : sizes) images.push_back(image(s));
    std::string ico;
    put16(ico, 0);
    put16(ico, 1);
    put16(ico, static_cast<unsigned>(images.size()));
    unsigned offset = static_cast<unsigned>(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        ico += static_cast<char>(sizes[i]);
        ico += static_cast<char>(sizes[i]);
        ico += '\0';  // no palette
        ico += '\0';
        put16(ico, 1);
        put16(ico, 32);
        put32(ico, static_cast<unsigned>(images[i].size()));
        put32(ico, offset);
        offset += static_cast<unsigned>(images[i].size());
    }
    for (const auto& img : images) ico += img;
    std::string temporary = std::string(argv[1]) + ".part";
    FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f || std::fwrite(ico.data(), 1, ico.size(), f) != ico.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", temporary.c_str());
        return 1;
    }
    if (std::rename(temporary.c_str(), argv[1]) != 0) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
