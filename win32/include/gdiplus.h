// The image subset of the GDI+ flat API: start-up, bitmaps decoded from files and
// streams (JPEG, PNG, BMP), pixel reads, the encoder list and JPEG saving.
// Every Gdip* call answers GdiplusNotInitialized until GdiplusStartup succeeded.
#pragma once

#include "objidl.h"
#include "windows.h"

typedef enum Status {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
    ProfileNotFound = 21
} Status;
typedef Status GpStatus;

typedef DWORD ARGB;
typedef INT PixelFormat;

#define PixelFormat24bppRGB 0x00021808
#define PixelFormat32bppRGB 0x00022009
#define PixelFormat32bppARGB 0x0026200A

// Opaque objects; a bitmap is an image.
struct GpImage {
protected:
    GpImage() = default;
};
struct GpBitmap : GpImage {
protected:
    GpBitmap() = default;
};

typedef void(WINAPI* DebugEventProc)(INT level, CHAR* message);
typedef Status(WINAPI* NotificationHookProc)(ULONG_PTR* token);
typedef void(WINAPI* NotificationUnhookProc)(ULONG_PTR token);

struct GdiplusStartupInput {
    UINT32 GdiplusVersion = 1;
    DebugEventProc DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};

struct GdiplusStartupOutput {
    NotificationHookProc NotificationHook;
    NotificationUnhookProc NotificationUnhook;
};

typedef struct ImageCodecInfo {
    CLSID Clsid;
    GUID FormatID;
    const WCHAR* CodecName;
    const WCHAR* DllName;
    const WCHAR* FormatDescription;
    const WCHAR* FilenameExtension;
    const WCHAR* MimeType;
    DWORD Flags;
    DWORD Version;
    DWORD SigCount;
    DWORD SigSize;
    const BYTE* SigPattern;
    const BYTE* SigMask;
} ImageCodecInfo;

#define ImageCodecFlagsEncoder 0x00000001
#define ImageCodecFlagsDecoder 0x00000002
#define ImageCodecFlagsSupportBitmap 0x00000004
#define ImageCodecFlagsBuiltin 0x00010000

typedef struct EncoderParameter {
    GUID Guid;
    ULONG NumberOfValues;
    ULONG Type;
    VOID* Value;
} EncoderParameter;

typedef struct EncoderParameters {
    UINT Count;
    EncoderParameter Parameter[1];
} EncoderParameters;

#define EncoderParameterValueTypeLong 4

W32_BEGIN_C
extern const GUID EncoderQuality;  // one Long value, 0 to 100 (default 75)
extern const GUID ImageFormatJPEG;

// Counted: each successful start-up needs its GdiplusShutdown with the token it gave.
Status WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                             GdiplusStartupOutput* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);

GpStatus WINAPI GdipCreateBitmapFromFile(const WCHAR* filename, GpBitmap** bitmap);
GpStatus WINAPI GdipCreateBitmapFromFileICM(const WCHAR* filename, GpBitmap** bitmap);
// Reads the stream from its position to its end; the bitmap keeps no reference to it.
GpStatus WINAPI GdipCreateBitmapFromStream(IStream* stream, GpBitmap** bitmap);
GpStatus WINAPI GdipCreateBitmapFromStreamICM(IStream* stream, GpBitmap** bitmap);
// The bitmap's pixels with alpha 255; the palette is not used.
GpStatus WINAPI GdipCreateBitmapFromHBITMAP(HBITMAP hbm, HPALETTE palette, GpBitmap** bitmap);
GpStatus WINAPI GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format,
                                          BYTE* scan0, GpBitmap** bitmap);
GpStatus WINAPI GdipDisposeImage(GpImage* image);

GpStatus WINAPI GdipGetImageWidth(GpImage* image, UINT* width);
GpStatus WINAPI GdipGetImageHeight(GpImage* image, UINT* height);
GpStatus WINAPI GdipGetImagePixelFormat(GpImage* image, PixelFormat* format);
GpStatus WINAPI GdipGetImageRawFormat(GpImage* image, GUID* format);
// Straight (not premultiplied) ARGB.
GpStatus WINAPI GdipBitmapGetPixel(GpBitmap* bitmap, INT x, INT y, ARGB* color);
GpStatus WINAPI GdipBitmapSetPixel(GpBitmap* bitmap, INT x, INT y, ARGB color);

GpStatus WINAPI GdipGetImageEncodersSize(UINT* count, UINT* size);
GpStatus WINAPI GdipGetImageEncoders(UINT count, UINT size, ImageCodecInfo* encoders);
GpStatus WINAPI GdipSaveImageToFile(GpImage* image, const WCHAR* filename, const CLSID* encoder,
                                    const EncoderParameters* params);
W32_END_C

// Programs also reach the start-up names through the library's namespace.
namespace Gdiplus {
using ::ARGB;
using ::EncoderParameters;
using ::GdiplusShutdown;
using ::GdiplusStartup;
using ::GdiplusStartupInput;
using ::GdiplusStartupOutput;
using ::GpBitmap;
using ::GpImage;
using ::GpStatus;
using ::ImageCodecInfo;
using ::Status;
namespace DllExports {
using ::GdipBitmapGetPixel;
using ::GdipCreateBitmapFromFile;
using ::GdipCreateBitmapFromHBITMAP;
using ::GdipCreateBitmapFromStream;
using ::GdipCreateBitmapFromStreamICM;
using ::GdipDisposeImage;
using ::GdipGetImageEncoders;
using ::GdipGetImageEncodersSize;
using ::GdipGetImageHeight;
using ::GdipGetImageWidth;
using ::GdipSaveImageToFile;
}  // namespace DllExports
}  // namespace Gdiplus
