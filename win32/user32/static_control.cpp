// The "Static" class: text (SS_LEFT, SS_CENTER, SS_RIGHT, SS_LEFTNOWORDWRAP, with or
// without SS_NOPREFIX) and icons (SS_ICON, set with STM_SETICON). The parent picks
// the colours through WM_CTLCOLORSTATIC. Without SS_NOTIFY it lets the pointer
// through to its parent, as Windows' statics do.
#include "system_controls.h"

#include <string>

namespace w32::user {
namespace {

struct Static {
    HFONT font = nullptr;
    HICON icon = nullptr;
};

// Icons carry premultiplied colour with alpha: blend the colour bitmap.
void paint_icon(HDC hdc, HICON icon) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return;
    if (info.hbmColor) {
        BITMAP bm{};
        GetObjectW(info.hbmColor, sizeof bm, &bm);
        HDC mem = CreateCompatibleDC(hdc);
        HGDIOBJ old = SelectObject(mem, info.hbmColor);
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        AlphaBlend(hdc, 0, 0, bm.bmWidth, bm.bmHeight, mem, 0, 0, bm.bmWidth, bm.bmHeight, blend);
        SelectObject(mem, old);
        DeleteDC(mem);
        DeleteObject(info.hbmColor);
    }
    if (info.hbmMask) DeleteObject(info.hbmMask);
}

void paint(HWND hwnd, const Static& s) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH brush = look::parent_colours(hwnd, hdc, WM_CTLCOLORSTATIC, look::kFace);
    if (brush)
        FillRect(hdc, &r, brush);
    else
        look::fill(hdc, r, look::kFace);
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    const LONG type = style & SS_TYPEMASK;
    if (type == SS_ICON) {
        paint_icon(hdc, s.icon);
    } else {
        const int len = GetWindowTextLengthW(hwnd);
        std::wstring text(static_cast<size_t>(len) + 1, L'\0');
        GetWindowTextW(hwnd, text.data(), len + 1);
        UINT format = type == SS_CENTER           ? DT_CENTER | DT_WORDBREAK
                      : type == SS_RIGHT          ? DT_RIGHT | DT_WORDBREAK
                      : type == SS_LEFTNOWORDWRAP ? DT_LEFT
                                                  : DT_LEFT | DT_WORDBREAK;
        if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
        if (style & SS_EDITCONTROL) format |= DT_EDITCONTROL;
        if (!IsWindowEnabled(hwnd)) SetTextColor(hdc, look::kGrayText);
        SetBkMode(hdc, TRANSPARENT);
        HGDIOBJ old_font = SelectObject(hdc, look::font_or_default(s.font));
        DrawTextW(hdc, text.c_str(), len, &r, format);
        SelectObject(hdc, old_font);
    }
    EndPaint(hwnd, &ps);
}

}  // namespace

LRESULT CALLBACK static_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    Static* s = control_state<Static>(hwnd);
    if (!s && msg != WM_NCCREATE) return DefWindowProcW(hwnd, msg, wparam, lparam);
    switch (msg) {
        case WM_NCCREATE:
            attach_state<Static>(hwnd);
            break;
        case WM_NCDESTROY:
            detach_state<Static>(hwnd);
            break;
        case WM_PAINT:
            paint(hwnd, *s);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_SETFONT:
            s->font = reinterpret_cast<HFONT>(wparam);
            if (LOWORD(lparam)) InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(s->font);
        case WM_SETTEXT:
        case WM_ENABLE: {
            const LRESULT r = DefWindowProcW(hwnd, msg, wparam, lparam);
            InvalidateRect(hwnd, nullptr, FALSE);
            return r;
        }
        case WM_NCHITTEST:
            if (!(GetWindowLongW(hwnd, GWL_STYLE) & SS_NOTIFY)) return HTTRANSPARENT;
            break;
        case WM_GETDLGCODE:
            return DLGC_STATIC;
        case STM_SETICON: {
            HICON old = s->icon;
            s->icon = reinterpret_cast<HICON>(wparam);
            InvalidateRect(hwnd, nullptr, FALSE);
            return reinterpret_cast<LRESULT>(old);
        }
        case STM_GETICON:
            return reinterpret_cast<LRESULT>(s->icon);
    }
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

}  // namespace w32::user
