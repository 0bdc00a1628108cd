// The encoder list (one JPEG encoder) and saving a bitmap with it.
#include <cstring>
#include <new>
#include <string_view>

#include "gdiplus/file_bytes.h"
#include "gdiplus/raster.h"

const GUID ImageFormatJPEG = {
    0xB96B3CAE, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
const GUID EncoderQuality = {
    0x1D5BE4B5, 0xFA4A, 0x452D, {0x9C, 0xDD, 0x5D, 0xB3, 0x51, 0x05, 0xE7, 0xEB}};

namespace {

constexpr std::wstring_view kCodecName = L"Built-in JPEG Codec";
constexpr std::wstring_view kDescription = L"JPEG";
constexpr std::wstring_view kExtensions = L"*.JPG;*.JPEG;*.JPE;*.JFIF";
constexpr std::wstring_view kMime = L"image/jpeg";
constexpr BYTE kSignature[2] = {0xFF, 0xD8};
constexpr BYTE kMask[2] = {0xFF, 0xFF};

// The record, then its strings and signature bytes in the same buffer, as callers
// free the list with one delete.
constexpr UINT strings_bytes() {
    return static_cast<UINT>(
        (kCodecName.size() + kDescription.size() + kExtensions.size() + kMime.size() + 4) *
        sizeof(WCHAR));
}
constexpr UINT kListSize =
    sizeof(ImageCodecInfo) + strings_bytes() + sizeof kSignature + sizeof kMask;

const WCHAR* put_string(std::wstring_view s, BYTE*& cursor) {
    auto* out = reinterpret_cast<WCHAR*>(cursor);
    std::memcpy(out, s.data(), s.size() * sizeof(WCHAR));
    out[s.size()] = L'\0';
    cursor += (s.size() + 1) * sizeof(WCHAR);
    return out;
}

int quality_of(const EncoderParameters* params) {
    int quality = 75;
    if (!params) return quality;
    for (UINT i = 0; i < params->Count; ++i) {
        const EncoderParameter& p = params->Parameter[i];
        if (p.Guid == EncoderQuality && p.Type == EncoderParameterValueTypeLong &&
            p.NumberOfValues >= 1 && p.Value) {
            ULONG v = *static_cast<const ULONG*>(p.Value);
            quality = v > 100 ? 100 : static_cast<int>(v);
        }
    }
    return quality;
}

}  // namespace

GpStatus WINAPI GdipGetImageEncodersSize(UINT* count, UINT* size) {
    if (!gdip::started()) return GdiplusNotInitialized;
    if (!count || !size) return InvalidParameter;
    *count = 1;
    *size = kListSize;
    return Ok;
}

GpStatus WINAPI GdipGetImageEncoders(UINT count, UINT size, ImageCodecInfo* encoders) {
    if (!gdip::started()) return GdiplusNotInitialized;
    if (!encoders) return InvalidParameter;
    if (count != 1 || size != kListSize) return GenericError;
    ImageCodecInfo& info = encoders[0];
    std::memset(&info, 0, sizeof info);
    BYTE* cursor = reinterpret_cast<BYTE*>(encoders + 1);
    info.Clsid = gdip::kJpegEncoderClsid;
    info.FormatID = ImageFormatJPEG;
    info.CodecName = put_string(kCodecName, cursor);
    info.DllName = nullptr;
    info.FormatDescription = put_string(kDescription, cursor);
    info.FilenameExtension = put_string(kExtensions, cursor);
    info.MimeType = put_string(kMime, cursor);
    info.Flags = ImageCodecFlagsEncoder | ImageCodecFlagsDecoder | ImageCodecFlagsSupportBitmap |
                 ImageCodecFlagsBuiltin;
    info.Version = 1;
    info.SigCount = 1;
    info.SigSize = sizeof kSignature;
    std::memcpy(cursor, kSignature, sizeof kSignature);
    info.SigPattern = cursor;
    cursor += sizeof kSignature;
    std::memcpy(cursor, kMask, sizeof kMask);
    info.SigMask = cursor;
    return Ok;
}

GpStatus WINAPI GdipSaveImageToFile(GpImage* image, const WCHAR* filename, const CLSID* encoder,
                                    const EncoderParameters* params) {
    if (!gdip::started()) return GdiplusNotInitialized;
    if (!image || !filename || !encoder) return InvalidParameter;
    if (*encoder != gdip::kJpegEncoderClsid) return FileNotFound;
    try {
        std::vector<uint8_t> bytes;
        if (!gdip::encode_jpeg(static_cast<gdip::Bitmap*>(image)->raster, quality_of(params),
                               bytes))
            return OutOfMemory;
        return gdip::write_whole_file(filename, bytes) ? Ok : Win32Error;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
}
