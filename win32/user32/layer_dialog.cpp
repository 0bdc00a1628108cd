#include "layer_dialog.h"

#include "system_controls.h"

#include <w32/presenter.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace w32::user::layer_dialog {
namespace {

constexpr int kCloseBox = 30;  // width of the close box at the band's right end

bool has_cjk(std::wstring_view text) {
    for (wchar_t c : text)
        if ((c >= 0x3000 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
            (c >= 0xFF00 && c <= 0xFFEF))
            return true;
    return false;
}

bool chinese_locale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = getenv(name);
        if (v && *v) return strncmp(v, "zh", 2) == 0;
    }
    return false;
}

RECT close_box(HWND dlg) {
    RECT r;
    GetClientRect(dlg, &r);
    return RECT{r.right - kBorder - kCloseBox, kBorder, r.right - kBorder,
                kBorder + kCaptionHeight};
}

bool inside(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

}  // namespace

bool windows_wanted() {
    const char* knob = getenv("WIN32_DIALOG_WINDOWS");
    if (knob && *knob && strcmp(knob, "0") != 0) return true;
    return present::showing();
}

bool chinese(std::wstring_view text) { return has_cjk(text) || chinese_locale(); }

HFONT make_font(bool chinese) {
    LOGFONTW lf{};
    lf.lfHeight = -12;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = chinese ? GB2312_CHARSET : DEFAULT_CHARSET;
    wcscpy(lf.lfFaceName, chinese ? L"微软雅黑" : L"MS Shell Dlg");
    return CreateFontIndirectW(&lf);
}

INT_PTR run(HWND owner, const std::wstring& caption, DLGPROC proc, LPARAM param) {
    // A template of no items: the procedure makes the controls it measured for.
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    DLGTEMPLATE head{};
    head.style = WS_POPUP | WS_CLIPCHILDREN | DS_MODALFRAME;
    std::memcpy(t.data(), &head, sizeof head);
    t.push_back(0);  // no menu
    t.push_back(0);  // the dialog class
    for (wchar_t c : caption) t.push_back(c > 0xFFFF ? L'?' : static_cast<WORD>(c));
    t.push_back(0);
    return DialogBoxIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(t.data()), owner,
                                   proc, param);
}

RECT place(HWND dlg, int width, int height) {
    const int outer_w = width + 2 * kBorder;
    const int outer_h = height + kCaptionHeight + 2 * kBorder;
    // Centred on a shown owner, kept in its monitor's work area; else in the middle of
    // the primary monitor's.
    HWND owner = GetWindow(dlg, GW_OWNER);
    const bool on_owner = owner && IsWindowVisible(owner) && !IsIconic(owner);
    MONITORINFO mi{sizeof mi, {}, {}, 0};
    GetMonitorInfoW(MonitorFromWindow(on_owner ? owner : nullptr, MONITOR_DEFAULTTOPRIMARY), &mi);
    const RECT area = mi.rcWork;
    RECT around = area;
    if (on_owner) GetWindowRect(owner, &around);
    int x = (around.left + around.right - outer_w) / 2;
    int y = (around.top + around.bottom - outer_h) / 2;
    x = std::max<int>(area.left, std::min<int>(x, area.right - outer_w));
    y = std::max<int>(area.top, std::min<int>(y, area.bottom - outer_h));
    SetWindowPos(dlg, nullptr, x, y, outer_w, outer_h, SWP_NOZORDER | SWP_NOACTIVATE);
    return RECT{kBorder, kBorder + kCaptionHeight, kBorder + width,
                kBorder + kCaptionHeight + height};
}

void paint_frame(HWND dlg, HDC hdc, bool close_enabled) {
    RECT r;
    GetClientRect(dlg, &r);
    RECT band{kBorder, kBorder, r.right - kBorder, kBorder + kCaptionHeight};
    look::fill(hdc, band, look::kCaption);
    look::outline(hdc, r, look::kFrame);
    const int len = GetWindowTextLengthW(dlg);
    std::wstring title(static_cast<size_t>(len) + 1, L'\0');
    GetWindowTextW(dlg, title.data(), len + 1);
    HGDIOBJ old_font = SelectObject(
        hdc, look::font_or_default(reinterpret_cast<HFONT>(SendMessageW(dlg, WM_GETFONT, 0, 0))));
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, look::kText);
    RECT text{band.left + 10, band.top, band.right - kCloseBox - 4, band.bottom};
    DrawTextW(hdc, title.c_str(), len, &text,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    // The close box: a cross, grey when the dialog cannot be closed.
    const RECT box = close_box(dlg);
    const int cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
    const COLORREF cross = close_enabled ? look::kText : look::kGrayText;
    for (int d = -5; d <= 5; ++d) {
        look::fill(hdc, RECT{cx + d, cy + d, cx + d + 1, cy + d + 1}, cross);
        look::fill(hdc, RECT{cx + d, cy - d, cx + d + 1, cy - d + 1}, cross);
    }
    SelectObject(hdc, old_font);
}

bool frame_message(HWND dlg, UINT msg, WPARAM, LPARAM lparam, bool close_enabled) {
    switch (msg) {
        case WM_NCHITTEST: {
            POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
            ScreenToClient(dlg, &p);
            LRESULT hit = HTCLIENT;
            if (p.y >= kBorder && p.y < kBorder + kCaptionHeight && !inside(close_box(dlg), p))
                hit = HTCAPTION;
            SetWindowLongPtrW(dlg, DWLP_MSGRESULT, hit);
            return true;
        }
        case WM_LBUTTONUP: {
            const POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
            if (!inside(close_box(dlg), p)) return false;
            if (close_enabled) SendMessageW(dlg, WM_CLOSE, 0, 0);
            return true;
        }
    }
    return false;
}

}  // namespace w32::user::layer_dialog
