// Realises the skin's fonts: one GDI font per skin key, made on first use and
// kept for the life of the process (controls hold copies of the handle).
#pragma once

#include <string>

#include "gui/font.h"

namespace downloader {

class SkinManager {
public:
    // Fills font with the realised font of the skin key. True when this call made
    // the font (a cache miss), false when it came from the cache.
    static bool CreateFont(const std::string& key, Gui::Font& font);
    // The realised font of the key becomes the toolkit's default font.
    static void SetDefaultFont(const std::string& key);
};

}  // namespace downloader
