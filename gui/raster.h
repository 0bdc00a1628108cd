// Rasters are sources of pixel rows (or whole-file decoders); encoders are sinks that
// receive rows. ImageRaster reads an image's rows, ImageEncoder collects rows into a
// new image. File formats register factories here, tried in registration order.
#pragma once

#include <windows.h>

#include <memory>

#include "gui/geometry.h"
#include "gui/image.h"
#include "gui/raster_format.h"
#include "gui/rgba.h"
#include "gui/vector_growth.h"

namespace Gui {

class Raster {
public:
    struct Info {
        int bpp = 32;
        int colors = 0x1000000;
        Size extra;
        Point hotspot;
        int reserved = 0;
    };

    // One row of a raster. Owned rows were allocated with malloc and are freed with
    // the line; a move hands the ownership over.
    class Line {
    public:
        Line() = default;
        Line(const RGBA* data, const void* fmtdata, Raster* raster, bool free_data = false,
             bool free_fmtdata = false)
            : data_(data),
              fmtdata_(fmtdata),
              raster_(raster),
              free_data_(free_data),
              free_fmtdata_(free_fmtdata) {}
        Line(Line&& other) noexcept { Pick(other); }
        Line& operator=(Line&& other) noexcept;
        Line(const Line&) = delete;
        Line& operator=(const Line&) = delete;
        ~Line() { Free(); }

        const RGBA* GetData() const { return data_; }
        const void* GetFormatData() const { return fmtdata_; }
        Raster* GetRaster() const { return raster_; }
        bool OwnsData() const { return free_data_; }
        bool OwnsFormatData() const { return free_fmtdata_; }
        operator const RGBA*() const { return data_; }

    private:
        void Pick(Line& other);
        void Free();

        const RGBA* data_ = nullptr;
        const void* fmtdata_ = nullptr;
        Raster* raster_ = nullptr;
        bool free_data_ = false;
        bool free_fmtdata_ = false;
    };

    using Factory = Raster* (*)();

    Raster() = default;
    Raster(const Raster&) = delete;
    Raster& operator=(const Raster&) = delete;

    virtual Image Reserved0(DWORD& arg);
    // Whole-file decoders; the empty image when the data is not in this format.
    virtual Image LoadFile(const wchar_t* path);
    virtual Image LoadMemory(const void* data, DWORD length);
    virtual void Reserved3(DWORD arg);
    virtual int Reserved4();
    virtual bool Reserved5();
    virtual Size GetSize() = 0;
    virtual Info GetInfo();
    virtual Line GetLine(int row) = 0;
    virtual int Reserved9(DWORD arg);
    virtual bool Reserved10();
    virtual int Reserved11();
    virtual void* Reserved12();
    virtual void* Reserved13();
    virtual ~Raster() = default;

    // Factories are appended under the factory list lock and never removed.
    static void Register(Factory factory);
    static const VectorBase& GetFactories();
    // Each registered format in turn until one yields a non-empty image; the whole
    // run holds the factory list lock.
    static Image LoadAnyFile(const wchar_t* path);
    static Image LoadAnyMemory(const void* data, DWORD length);
};

// Reads the rows of an image in place; holds a counted reference to its pixels.
class ImageRaster : public Raster {
public:
    explicit ImageRaster(const Image& img) : img_(img) {}

    Size GetSize() override;
    Info GetInfo() override;
    // Points into the image's own pixels; row must lie within the image.
    Line GetLine(int row) override;

private:
    Image img_;
};

// What the row conversion is handed: owns the one buffer its table lives in.
struct EncoderAux {
    std::unique_ptr<BYTE[]> buffer;
    PaletteConversion conversion{nullptr};
};

class RasterEncoder {
public:
    RasterEncoder();
    RasterEncoder(const RasterEncoder&) = delete;
    RasterEncoder& operator=(const RasterEncoder&) = delete;
    virtual ~RasterEncoder();

    virtual int GetPaletteCount();
    virtual void Start(Size size) = 0;
    // One row in the output format.
    virtual void WriteLineRaw(const void* row) = 0;

    // Starts a new encoding of the given size.
    void Create(Size size);
    void Create(int cx, int cy) { Create(Size(cx, cy)); }
    // Where a writer may fill the next row in place before passing it to WriteLine.
    RGBA* GetLineBuffer() const { return line_; }
    // One row of width toolkit pixels, converted when the output format is not native.
    void WriteLine(const RGBA* row);
    // 256 entries, made on the first call and kept to the encoder's end.
    RGBA* GetPalette();

    Size GetSize() const { return size_; }
    int GetRowBytes() const { return row_bytes_; }
    const RasterFormat& GetFormat() const { return format_; }
    void SetFormat(const RasterFormat& format) { format_ = format; }
    // Hands a palette lookup table (one byte per 15-bit colour key) to the conversion.
    void SetPaletteTable(std::unique_ptr<BYTE[]> table);
    const EncoderAux* GetAux() const { return aux_.get(); }

protected:
    // Where the next row goes; encoders that write in place move it.
    void SetLine(RGBA* line) { line_ = line; }
    RGBA* CurrentLine() const { return line_; }
    void FreeOwnLine();

private:
    Size size_;
    Size dots_, reserved_size_;
    RGBA* line_ = nullptr;
    BYTE* converted_ = nullptr;
    int row_bytes_ = 0;
    RGBA* own_line_ = nullptr;
    RGBA* palette_ = nullptr;
    std::unique_ptr<EncoderAux> aux_;
    RasterFormat format_;
};

// Collects rows straight into the pixel buffer of a new image.
class ImageEncoder : public RasterEncoder {
public:
    void Start(Size size) override;
    void WriteLineRaw(const void* row) override;

    int GetRowsWritten() const { return rows_; }
    int GetHeight() const { return buffer_.GetHeight(); }
    ImageBuffer& GetBuffer() { return buffer_; }
    // The encoded image; the buffer is left without pixels.
    Image GetImage() { return Image(buffer_); }
    operator Image() { return GetImage(); }

private:
    int rows_ = 0;
    ImageBuffer buffer_;
};

// One target row per WriteLine, each taken from rect.left of the source's rows
// rect.top onward; the encoder is created at the rectangle's size.
void CopyRasterRect(RasterEncoder& target, Raster& source, const Rect& rect);

}  // namespace Gui
