// What the system controls share: their colours, frames and parent notifications.
#include "system_controls.h"

namespace w32::user::look {

void fill(HDC hdc, const RECT& r, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(hdc, &r, brush);
    DeleteObject(brush);
}

void outline(HDC hdc, const RECT& r, COLORREF colour) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    fill(hdc, RECT{r.left, r.top, r.right, r.top + 1}, colour);
    fill(hdc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, colour);
    fill(hdc, RECT{r.left, r.top, r.left + 1, r.bottom}, colour);
    fill(hdc, RECT{r.right - 1, r.top, r.right, r.bottom}, colour);
}

void focus_rect(HDC hdc, const RECT& r) {
    HBRUSH brush = CreateSolidBrush(kText);
    // Every other pixel along the edges, as the classic focus rectangle has it.
    for (LONG x = r.left; x < r.right; x += 2) {
        RECT top{x, r.top, x + 1, r.top + 1}, bottom{x, r.bottom - 1, x + 1, r.bottom};
        FillRect(hdc, &top, brush);
        FillRect(hdc, &bottom, brush);
    }
    for (LONG y = r.top; y < r.bottom; y += 2) {
        RECT left{r.left, y, r.left + 1, y + 1}, right{r.right - 1, y, r.right, y + 1};
        FillRect(hdc, &left, brush);
        FillRect(hdc, &right, brush);
    }
    DeleteObject(brush);
}

HBRUSH face_brush() {
    static HBRUSH brush = CreateSolidBrush(kFace);
    return brush;
}

HFONT font_or_default(HFONT font) {
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

HBRUSH parent_colours(HWND control, HDC hdc, UINT msg, COLORREF background) {
    SetTextColor(hdc, kText);
    SetBkColor(hdc, background);
    HWND parent = GetParent(control);
    if (!parent) return nullptr;
    return reinterpret_cast<HBRUSH>(SendMessageW(parent, msg, reinterpret_cast<WPARAM>(hdc),
                                                 reinterpret_cast<LPARAM>(control)));
}

void paint_border(HWND control, COLORREF inside) {
    RECT window, client;
    GetWindowRect(control, &window);
    GetClientRect(control, &client);
    POINT origin{0, 0};
    ClientToScreen(control, &origin);
    const LONG left = origin.x - window.left, top = origin.y - window.top;
    const LONG width = window.right - window.left, height = window.bottom - window.top;
    if (left == 0 && top == 0 && client.right == width && client.bottom == height) return;
    HDC hdc = GetWindowDC(control);
    const RECT all{0, 0, width, height};
    // The band between the outer line and the client area takes the field's colour.
    fill(hdc, RECT{0, 0, width, top}, inside);
    fill(hdc, RECT{0, top + client.bottom, width, height}, inside);
    fill(hdc, RECT{0, top, left, top + client.bottom}, inside);
    fill(hdc, RECT{left + client.right, top, width, top + client.bottom}, inside);
    outline(hdc, all, kFieldBorder);
    ReleaseDC(control, hdc);
}

void notify_parent(HWND control, WORD code) {
    HWND parent = GetParent(control);
    if (!parent) return;
    const WORD id = static_cast<WORD>(GetWindowLongPtrW(control, GWLP_ID));
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

}  // namespace w32::user::look
