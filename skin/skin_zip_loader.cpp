#include "skin/skin_zip_loader.h"

#include <string.h>
#include <strings.h>

#include "base/log.h"
#include "base/string_util.h"
#include "gui/raster.h"
#include "skin/xml_archive.h"

namespace skin {

namespace {

bool EndsWithNoCase(const std::string& text, const char* suffix) {
    size_t n = strlen(suffix);
    return text.size() >= n && strcasecmp(text.c_str() + text.size() - n, suffix) == 0;
}

// The width and height a PNG header declares, so that a small entry cannot ask
// the decoder for a huge picture; (0, 0) for data that is not PNG, which is left
// to the decoders.
void PngDeclaredSize(const CUIMemoryFile& file, uint64_t& width, uint64_t& height) {
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto* p = reinterpret_cast<const unsigned char*>(file.GetData());
    width = height = 0;
    if (file.GetSize() < 24 || memcmp(p, kSignature, 8) != 0) return;
    auto be32 = [p](int at) {
        return (uint32_t{p[at]} << 24) | (uint32_t{p[at + 1]} << 16) | (uint32_t{p[at + 2]} << 8) |
               p[at + 3];
    };
    width = be32(16);
    height = be32(20);
}

}  // namespace

bool SkinZipLoader::IsImageName(const std::string& name) {
    return EndsWithNoCase(name, ".png") || EndsWithNoCase(name, ".jpg") ||
           EndsWithNoCase(name, ".jpeg");
}

bool SkinZipLoader::Open(const std::wstring& package_path) {
    decoded_pixels_ = 0;
    return pak_.Open(package_path);
}

bool SkinZipLoader::OpenMemory(const void* data, size_t size) {
    decoded_pixels_ = 0;
    return pak_.OpenMemory(data, size);
}

void SkinZipLoader::Close() {
    decoded_pixels_ = 0;
    pak_.Close();
}

bool SkinZipLoader::LoadInfo(SkinLoader& loader) const {
    CUIMemoryFile info;
    if (!pak_.ReadEntry("skin.info", info)) return false;
    return loader.LoadInfo(std::string(info.GetData(), info.GetSize()));
}

Gui::Image SkinZipLoader::ReadImage(const std::string& name) const {
    CUIMemoryFile file;
    if (!IsImageName(name) || !pak_.ReadEntry(name, file)) return Gui::Image();
    uint64_t width, height;
    PngDeclaredSize(file, width, height);
    if (width > kMaxImageSide || height > kMaxImageSide ||
        decoded_pixels_ + width * height > kMaxTotalPixels)
        return Gui::Image();
    Gui::Image image =
        Gui::Raster::LoadAnyMemory(file.GetData(), static_cast<DWORD>(file.GetSize()));
    if (image.GetWidth() > kMaxImageSide || image.GetHeight() > kMaxImageSide) return Gui::Image();
    const uint64_t pixels = uint64_t(image.GetWidth()) * uint64_t(image.GetHeight());
    if (decoded_pixels_.fetch_add(pixels) + pixels > kMaxTotalPixels) {
        decoded_pixels_ -= pixels;
        return Gui::Image();
    }
    return image;
}

int SkinZipLoader::LoadImages(SkinLoader& loader) const {
    int failed = 0;
    for (const CMiniUnPak::Entry& entry : pak_.GetEntries()) {
        if (!IsImageName(entry.name)) continue;
        Gui::Image image = ReadImage(entry.name);
        if (image.IsEmpty()) {
            BASE_LOG(LL_ERROR, LCAT_ALL)
                << L"皮肤图片读取失败：" << base::Utf8ToWide(entry.name.c_str());
            ++failed;
            continue;
        }
        loader.AddImage(entry.name, image);
    }
    return failed;
}

}  // namespace skin
