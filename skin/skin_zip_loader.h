// skin::SkinZipLoader loads a skin package into the value store: its skin.info and
// every image it holds (PNG or JPEG entries, decoded through the toolkit's raster
// list). It is also the package image reader that the store asks for an image it
// does not hold yet.
#pragma once

#include <stdint.h>

#include <atomic>
#include <string>

#include "gui/image.h"
#include "skin/mini_unpak.h"
#include "skin/skin_loader.h"

namespace skin {

class SkinZipLoader {
public:
    // Images wider or taller than this are refused before they are decoded.
    static constexpr int kMaxImageSide = 4096;
    // Pixels decoded from one package in all: many large pictures, or many entries
    // sharing the bytes of one, cannot exhaust memory.
    static constexpr uint64_t kMaxTotalPixels = 16u << 20;

    bool Open(const std::wstring& package_path);
    bool OpenMemory(const void* data, size_t size);
    void Close();
    const CMiniUnPak& GetPackage() const { return pak_; }

    // Replaces the store's values with the package's skin.info.
    bool LoadInfo(SkinLoader& loader) const;
    // Puts every image of the package into the store's table; answers how many
    // image entries could not be read (each is logged).
    int LoadImages(SkinLoader& loader) const;
    // The decoded image of the entry; the empty image when it is missing, damaged,
    // too large, over the package's budget or in no registered format.
    Gui::Image ReadImage(const std::string& name) const;

    static bool IsImageName(const std::string& name);

private:
    CMiniUnPak pak_;
    mutable std::atomic<uint64_t> decoded_pixels_{0};
};

}  // namespace skin
