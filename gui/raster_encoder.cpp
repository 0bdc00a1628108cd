#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "gui/raster.h"

namespace Gui {
namespace {

// A byte count beyond 32 bits is as good as out of memory.
void* AllocBytes(int64_t n) {
    if (n < 0 || n > 0xFFFFFFFFll) throw std::bad_alloc();
    void* p = malloc(n ? static_cast<size_t>(n) : 1);
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace

RasterEncoder::RasterEncoder() { format_.SetRGBA(); }

RasterEncoder::~RasterEncoder() {
    free(palette_);
    free(own_line_);
    free(converted_);
}

int RasterEncoder::GetPaletteCount() { return 0; }

void RasterEncoder::FreeOwnLine() {
    free(own_line_);
    own_line_ = nullptr;
}

void RasterEncoder::Create(Size size) {
    size_ = size;
    RGBA* fresh = static_cast<RGBA*>(AllocBytes(static_cast<int64_t>(size.cx) * 4));
    free(own_line_);
    own_line_ = fresh;
    line_ = own_line_;
    Start(size);
    free(converted_);
    converted_ = nullptr;
    row_bytes_ = format_.GetByteCount(size.cx);
}

void RasterEncoder::WriteLine(const RGBA* row) {
    if (format_.IsRGBA()) {
        WriteLineRaw(row);
        return;
    }
    if (!converted_) converted_ = static_cast<BYTE*>(AllocBytes(format_.GetByteCount(size_.cx)));
    RasterFormat::Write(converted_, row, format_, size_.cx, aux_ ? &aux_->conversion : nullptr);
    WriteLineRaw(converted_);
}

RGBA* RasterEncoder::GetPalette() {
    if (!palette_) palette_ = static_cast<RGBA*>(AllocBytes(256 * 4));
    return palette_;
}

void RasterEncoder::SetPaletteTable(std::unique_ptr<BYTE[]> table) {
    if (!aux_) aux_ = std::make_unique<EncoderAux>();
    aux_->buffer = std::move(table);
    aux_->conversion.table = aux_->buffer.get();
}

void ImageEncoder::Start(Size size) {
    rows_ = 0;
    buffer_.Create(size.cx, size.cy);
    if (size.cy != 0) {
        SetLine(buffer_.Begin());
        FreeOwnLine();
    }
}

void ImageEncoder::WriteLineRaw(const void* row) {
    // Rows past the height would overwrite the last one; they are dropped.
    if (rows_ >= buffer_.GetHeight() && buffer_.GetHeight() != 0) return;
    RGBA* line = CurrentLine();
    if (row != line) memcpy(line, row, static_cast<size_t>(GetSize().cx) * 4);
    ++rows_;
    if (rows_ < buffer_.GetHeight()) {
        SetLine(buffer_[rows_]);
        FreeOwnLine();
    }
}

void CopyRasterRect(RasterEncoder& target, Raster& source, const Rect& rect) {
    target.Create(rect.GetSize());
    for (int y = rect.top; y < rect.bottom; ++y) {
        Raster::Line line = source.GetLine(y);
        target.WriteLine(line.GetData() + rect.left);
    }
}

}  // namespace Gui
