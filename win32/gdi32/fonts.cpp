// Logical fonts: creation, the stock fonts and the metrics of the selected font.
#include "font_face.h"

#include <algorithm>
#include <cstring>

namespace w32::gdi {
namespace {

LOGFONTW logfont(LONG height, LONG weight, BYTE pitch_and_family, const wchar_t* face) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfPitchAndFamily = pitch_and_family;
    std::wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}

}  // namespace

std::shared_ptr<Font> make_stock_font(int index) {
    auto f = std::make_shared<Font>();
    switch (index) {
        case DEFAULT_GUI_FONT:
            // As Windows 7 has it: 8 points at 96 dpi in the dialog face.
            f->logfont = logfont(-11, FW_NORMAL, DEFAULT_PITCH, L"MS Shell Dlg");
            break;
        case SYSTEM_FONT:
        case DEVICE_DEFAULT_FONT:
            f->logfont = logfont(16, FW_BOLD, VARIABLE_PITCH | FF_SWISS, L"System");
            break;
        case ANSI_VAR_FONT:
            f->logfont = logfont(12, FW_NORMAL, VARIABLE_PITCH | FF_SWISS, L"MS Sans Serif");
            break;
        case OEM_FIXED_FONT:
        case SYSTEM_FIXED_FONT:
            f->logfont = logfont(12, FW_NORMAL, FIXED_PITCH | FF_MODERN, L"Terminal");
            break;
        case ANSI_FIXED_FONT:
        default:
            f->logfont = logfont(12, FW_NORMAL, FIXED_PITCH | FF_MODERN, L"Courier");
            break;
    }
    return f;
}

}  // namespace w32::gdi

using namespace w32::gdi;

HFONT WINAPI CreateFontIndirectW(const LOGFONTW* lf) {
    if (!lf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto f = std::make_shared<Font>();
    f->logfont = *lf;
    // The face name is kept terminated, as GDI does.
    f->logfont.lfFaceName[LF_FACESIZE - 1] = 0;
    return static_cast<HFONT>(add_object(f));
}

HFONT WINAPI CreateFontW(int height, int width, int escapement, int orientation, int weight,
                         DWORD italic, DWORD underline, DWORD strike_out, DWORD charset,
                         DWORD out_precision, DWORD clip_precision, DWORD quality,
                         DWORD pitch_and_family, LPCWSTR face) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = static_cast<BYTE>(italic);
    lf.lfUnderline = static_cast<BYTE>(underline);
    lf.lfStrikeOut = static_cast<BYTE>(strike_out);
    lf.lfCharSet = static_cast<BYTE>(charset);
    lf.lfOutPrecision = static_cast<BYTE>(out_precision);
    lf.lfClipPrecision = static_cast<BYTE>(clip_precision);
    lf.lfQuality = static_cast<BYTE>(quality);
    lf.lfPitchAndFamily = static_cast<BYTE>(pitch_and_family);
    if (face) std::wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirectW(&lf);
}

BOOL WINAPI GetTextMetricsW(HDC hdc, LPTEXTMETRICW tm) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto dc = find_dc(hdc);
    if (!dc) return FALSE;
    if (!tm) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    FontFace* face = face_of(*dc->font);
    if (!face) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    // Faces are shared between fonts; what only the LOGFONTW says comes from it.
    const LOGFONTW& lf = dc->font->logfont;
    *tm = face->metrics();
    tm->tmWeight = lf.lfWeight > 0 ? lf.lfWeight : FW_NORMAL;
    tm->tmItalic = lf.lfItalic ? 1 : 0;
    tm->tmUnderlined = lf.lfUnderline ? 1 : 0;
    tm->tmStruckOut = lf.lfStrikeOut ? 1 : 0;
    tm->tmCharSet = lf.lfCharSet;
    return TRUE;
}

int WINAPI GetTextFaceW(HDC hdc, int count, LPWSTR face_name) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto dc = find_dc(hdc);
    if (!dc) return 0;
    std::wstring name(dc->font->logfont.lfFaceName);
    if (name.empty()) {
        FontFace* face = face_of(*dc->font);
        if (face) name = face->family();
    }
    int needed = static_cast<int>(name.size()) + 1;
    if (!face_name) return needed;
    if (count <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int n = std::min(count - 1, static_cast<int>(name.size()));
    std::wmemcpy(face_name, name.data(), static_cast<size_t>(n));
    face_name[n] = 0;
    return n + 1;
}
