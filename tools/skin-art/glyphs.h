// Text for the skin's pictures: glyphs of the CJK font that the program draws its
// own text with, rendered by FreeType into coverage masks.
#pragma once

#include <string>

#include "canvas.h"

namespace art {

class Glyphs {
public:
    // Finds the font through fontconfig; false (with a message) when it is missing.
    bool Open(const char* family);
    ~Glyphs();

    // Pixel width of the UTF-8 text at the size.
    int Measure(const std::string& utf8, int pixels, float embolden = 0) const;
    // Adds the text's coverage to the mask with its baseline at (x, baseline);
    // embolden thickens strokes by that many pixels.
    void Draw(Mask& mask, const std::string& utf8, int pixels, int x, int baseline,
              float embolden = 0) const;

private:
    int Run(Mask* mask, const std::string& utf8, int pixels, int x, int baseline,
            float embolden) const;

    void* library_ = nullptr;
    void* face_ = nullptr;
};

}  // namespace art
