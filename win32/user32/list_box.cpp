// The "ListBox" class, single selection with strings: LB_ADDSTRING, LB_RESETCONTENT,
// LB_SETCURSEL/LB_GETCURSEL, LB_GETTEXT(LEN), LB_GETCOUNT, the top index and item
// height. The pointer selects and double-clicks (LBN_SELCHANGE, LBN_DBLCLK with
// LBS_NOTIFY), the arrows, Page Up/Down, Home, End and a typed first letter move the
// selection, the wheel scrolls. A scroll bar appears when the items do not fit: a
// click beside its thumb pages, dragging the thumb scrolls.
#include "system_controls.h"

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

namespace w32::user {
namespace {

constexpr int kBarWidth = 17;

struct ListBox {
    HFONT font = nullptr;
    std::vector<std::wstring> items;
    int selected = -1;
    int top = 0;
    bool focused = false;
    bool dragging_thumb = false;
    int drag_offset = 0;  // pointer y within the thumb when the drag began
};

int item_height(HWND hwnd, const ListBox& l) {
    HDC hdc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(hdc, look::font_or_default(l.font));
    TEXTMETRICW tm{};
    GetTextMetricsW(hdc, &tm);
    SelectObject(hdc, old);
    ReleaseDC(hwnd, hdc);
    return std::max<int>(1, tm.tmHeight + 2);
}

int visible_rows(HWND hwnd, const ListBox& l) {
    RECT r;
    GetClientRect(hwnd, &r);
    return std::max(1, static_cast<int>(r.bottom) / item_height(hwnd, l));
}

int max_top(HWND hwnd, const ListBox& l) {
    return std::max(0, static_cast<int>(l.items.size()) - visible_rows(hwnd, l));
}

bool has_bar(HWND hwnd, const ListBox& l) { return max_top(hwnd, l) > 0; }

// The scroll bar's thumb, in client coordinates.
RECT thumb_rect(HWND hwnd, const ListBox& l) {
    RECT r;
    GetClientRect(hwnd, &r);
    const int count = static_cast<int>(l.items.size());
    const int rows = visible_rows(hwnd, l);
    const int track = r.bottom;
    const int length = std::max(12, track * rows / std::max(1, count));
    const int room = std::max(0, track - length);
    const int top = max_top(hwnd, l) ? room * l.top / max_top(hwnd, l) : 0;
    return RECT{r.right - kBarWidth, top, r.right, top + length};
}

void set_top(HWND hwnd, ListBox* l, int top) {
    top = std::clamp(top, 0, max_top(hwnd, *l));
    if (top == l->top) return;
    l->top = top;
    InvalidateRect(hwnd, nullptr, FALSE);
}

void show_item(HWND hwnd, ListBox* l, int index) {
    if (index < 0) return;
    if (index < l->top) set_top(hwnd, l, index);
    const int rows = visible_rows(hwnd, *l);
    if (index >= l->top + rows) set_top(hwnd, l, index - rows + 1);
}

void select(HWND hwnd, ListBox* l, int index, bool notify) {
    const int count = static_cast<int>(l->items.size());
    index = count ? std::clamp(index, 0, count - 1) : -1;
    show_item(hwnd, l, index);
    if (index == l->selected) return;
    l->selected = index;
    InvalidateRect(hwnd, nullptr, FALSE);
    if (notify && (GetWindowLongW(hwnd, GWL_STYLE) & LBS_NOTIFY))
        look::notify_parent(hwnd, LBN_SELCHANGE);
}

void paint(HWND hwnd, const ListBox& l) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH brush = look::parent_colours(hwnd, hdc, WM_CTLCOLORLISTBOX, look::kWindow);
    if (brush)
        FillRect(hdc, &r, brush);
    else
        look::fill(hdc, r, look::kWindow);
    const COLORREF text_colour = IsWindowEnabled(hwnd) ? GetTextColor(hdc) : look::kGrayText;
    const bool bar = has_bar(hwnd, l);
    const LONG right = bar ? r.right - kBarWidth : r.right;
    const int h = item_height(hwnd, l);
    HGDIOBJ old_font = SelectObject(hdc, look::font_or_default(l.font));
    SetBkMode(hdc, TRANSPARENT);
    for (int i = l.top, y = 0; i < static_cast<int>(l.items.size()) && y < r.bottom; ++i, y += h) {
        RECT row{0, y, right, y + h};
        SetTextColor(hdc, text_colour);
        if (i == l.selected) {
            look::fill(hdc, row, look::kHighlight);
            SetTextColor(hdc, look::kHighlightText);
        }
        RECT text_rect{row.left + 3, row.top, row.right - 2, row.bottom};
        DrawTextW(hdc, l.items[static_cast<size_t>(i)].c_str(), -1, &text_rect,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        if (i == l.selected && l.focused) look::focus_rect(hdc, row);
    }
    SelectObject(hdc, old_font);
    if (bar) {
        look::fill(hdc, RECT{right, 0, r.right, r.bottom}, look::kFace);
        RECT thumb = thumb_rect(hwnd, l);
        thumb.left += 2, thumb.right -= 2;
        look::fill(hdc, thumb, look::kButtonFace);
        look::outline(hdc, thumb, look::kButtonBorder);
    }
    EndPaint(hwnd, &ps);
    look::paint_border(hwnd, look::kWindow);
}

void press(HWND hwnd, ListBox* l, int x, int y) {
    focus_control(hwnd);
    RECT r;
    GetClientRect(hwnd, &r);
    if (has_bar(hwnd, *l) && x >= r.right - kBarWidth) {
        const RECT thumb = thumb_rect(hwnd, *l);
        const int rows = visible_rows(hwnd, *l);
        if (y < thumb.top) {
            set_top(hwnd, l, l->top - rows);
        } else if (y >= thumb.bottom) {
            set_top(hwnd, l, l->top + rows);
        } else {
            l->dragging_thumb = true;
            l->drag_offset = y - thumb.top;
        }
        return;
    }
    const int index = l->top + y / item_height(hwnd, *l);
    if (index < static_cast<int>(l->items.size())) select(hwnd, l, index, true);
}

void drag_thumb(HWND hwnd, ListBox* l, int y) {
    RECT r;
    GetClientRect(hwnd, &r);
    const RECT thumb = thumb_rect(hwnd, *l);
    const int room = std::max(1, static_cast<int>(r.bottom - (thumb.bottom - thumb.top)));
    const int top = y - l->drag_offset;
    set_top(hwnd, l, (top * max_top(hwnd, *l) + room / 2) / room);
}

LRESULT key_down(HWND hwnd, ListBox* l, WPARAM key) {
    const int rows = visible_rows(hwnd, *l);
    const int count = static_cast<int>(l->items.size());
    if (!count) return 0;
    const int at = l->selected;
    switch (key) {
        case VK_UP:
            select(hwnd, l, at < 0 ? 0 : at - 1, true);
            break;
        case VK_DOWN:
            select(hwnd, l, at + 1, true);
            break;
        case VK_PRIOR:
            select(hwnd, l, at - rows + 1, true);
            break;
        case VK_NEXT:
            select(hwnd, l, std::max(at, 0) + rows - 1, true);
            break;
        case VK_HOME:
            select(hwnd, l, 0, true);
            break;
        case VK_END:
            select(hwnd, l, count - 1, true);
            break;
    }
    return 0;
}

// The next item after the selection whose text starts with c.
void jump_to_letter(HWND hwnd, ListBox* l, wchar_t c) {
    const int count = static_cast<int>(l->items.size());
    for (int step = 1; step <= count; ++step) {
        const int i = (std::max(l->selected, -1) + step + count) % count;
        const std::wstring& s = l->items[static_cast<size_t>(i)];
        if (!s.empty() &&
            std::towlower(static_cast<wint_t>(s[0])) == std::towlower(static_cast<wint_t>(c))) {
            select(hwnd, l, i, true);
            return;
        }
    }
}

}  // namespace

LRESULT CALLBACK list_box_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    ListBox* l = control_state<ListBox>(hwnd);
    if (!l && msg != WM_NCCREATE) return DefWindowProcW(hwnd, msg, wparam, lparam);
    const int count = l ? static_cast<int>(l->items.size()) : 0;
    const int index = static_cast<int>(wparam);
    switch (msg) {
        case WM_NCCREATE:
            attach_state<ListBox>(hwnd);
            break;
        case WM_NCDESTROY:
            detach_state<ListBox>(hwnd);
            break;
        case WM_PAINT:
            paint(hwnd, *l);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_SETFONT:
            l->font = reinterpret_cast<HFONT>(wparam);
            if (LOWORD(lparam)) InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(l->font);
        case WM_SIZE:
            set_top(hwnd, l, l->top);
            return 0;
        case WM_ENABLE:
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            l->focused = msg == WM_SETFOCUS;
            l->dragging_thumb = false;
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_KEYDOWN:
            return key_down(hwnd, l, wparam);
        case WM_CHAR:
            if (wparam > 0x20) jump_to_letter(hwnd, l, static_cast<wchar_t>(wparam));
            return 0;
        case WM_LBUTTONDOWN:
            press(hwnd, l, GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
            return 0;
        case WM_MOUSEMOVE:
            if (l->dragging_thumb && (wparam & MK_LBUTTON))
                drag_thumb(hwnd, l, GET_Y_LPARAM(lparam));
            else
                l->dragging_thumb = false;
            return 0;
        case WM_LBUTTONUP:
            l->dragging_thumb = false;
            return 0;
        case WM_LBUTTONDBLCLK: {
            RECT r;
            GetClientRect(hwnd, &r);
            if (has_bar(hwnd, *l) && GET_X_LPARAM(lparam) >= r.right - kBarWidth) return 0;
            const int hit = l->top + GET_Y_LPARAM(lparam) / item_height(hwnd, *l);
            if (hit >= count) return 0;
            select(hwnd, l, hit, true);
            if (GetWindowLongW(hwnd, GWL_STYLE) & LBS_NOTIFY) look::notify_parent(hwnd, LBN_DBLCLK);
            return 0;
        }
        case WM_MOUSEWHEEL:
            set_top(hwnd, l, l->top - GET_WHEEL_DELTA_WPARAM(wparam) * 3 / WHEEL_DELTA);
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lparam) != HTCLIENT) break;
            SetCursor(LoadCursorW(nullptr, IDC_ARROW));
            return TRUE;
        case LB_ADDSTRING: {
            auto text = reinterpret_cast<LPCWSTR>(lparam);
            l->items.emplace_back(text ? text : L"");
            InvalidateRect(hwnd, nullptr, FALSE);
            return count;
        }
        case LB_RESETCONTENT:
            l->items.clear();
            l->selected = -1;
            l->top = 0;
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case LB_SETCURSEL:
            if (index == -1) {  // takes the selection away, and answers LB_ERR all the same
                l->selected = -1;
                InvalidateRect(hwnd, nullptr, FALSE);
            }
            if (index < 0 || index >= count) return LB_ERR;
            select(hwnd, l, index, false);
            return index;
        case LB_GETCURSEL:
            return l->selected;
        case LB_GETCOUNT:
            return count;
        case LB_GETTEXTLEN:
            if (index < 0 || index >= count) return LB_ERR;
            return static_cast<LRESULT>(l->items[static_cast<size_t>(index)].size());
        case LB_GETTEXT: {
            if (index < 0 || index >= count || !lparam) return LB_ERR;
            const std::wstring& s = l->items[static_cast<size_t>(index)];
            auto out = reinterpret_cast<LPWSTR>(lparam);
            s.copy(out, s.size());
            out[s.size()] = L'\0';
            return static_cast<LRESULT>(s.size());
        }
        case LB_GETTOPINDEX:
            return l->top;
        case LB_SETTOPINDEX:
            if (index < 0 || index >= std::max(count, 1)) return LB_ERR;
            set_top(hwnd, l, index);
            return LB_OKAY;
        case LB_GETITEMHEIGHT:
            return item_height(hwnd, *l);
    }
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

}  // namespace w32::user
