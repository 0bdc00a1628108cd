// The JPEG file decoder of the toolkit's raster list, over the GDI+ flat API (from
// memory it reads whatever GDI+ recognises). Pixels come out opaque. GDI+ must have
// been started by the application. Beside it: the JPEG encoder lookup and saving.
#pragma once

#include <windows.h>

#include <string>

#include "gui/raster.h"

namespace raster {

class JPGRaster : public Gui::Raster {
public:
    // A new heap raster, or null when it cannot be allocated.
    static Gui::Raster* Create();

    // Only paths ending in ".jpg" or ".jpeg" (any case).
    Gui::Image LoadFile(const wchar_t* path) override;
    Gui::Image LoadMemory(const void* data, DWORD length) override;
    Gui::Size GetSize() override;
    Line GetLine(int row) override;
};

// Index of the first installed encoder of MIME type "image/jpeg", its CLSID written
// out; -1 (the CLSID untouched) when there is none.
int GetJpegEncoderClsid(CLSID* clsid);
// The bitmap saved as a JPEG file; true when GDI+ saved it.
bool SaveJpeg(const std::wstring& path, HBITMAP bitmap);

}  // namespace raster
