// The "Edit" class, one line: typing, a caret, a selection by keyboard (shift with
// the arrows, Home and End) and pointer, EM_SETSEL/EM_GETSEL/EM_REPLACESEL, a text
// limit, and EN_CHANGE to the parent after each change. The text scrolls sideways to
// keep the caret in view. No clipboard and no undo.
#include "system_controls.h"

#include <algorithm>
#include <string>
#include <vector>

namespace w32::user {
namespace {

constexpr int kMargin = 2;

struct Edit {
    HFONT font = nullptr;
    std::wstring text;
    size_t caret = 0;
    size_t anchor = 0;  // the other end of the selection
    int scroll = 0;     // pixels of text hidden on the left
    size_t limit = 0x7FFE;
    bool focused = false;
    bool selecting = false;  // the left button went down on us and is still down
};

size_t sel_start(const Edit& e) { return std::min(e.caret, e.anchor); }
size_t sel_end(const Edit& e) { return std::max(e.caret, e.anchor); }

// Left edges of every character, and the end of the last one, in text pixels.
std::vector<int> positions(HWND hwnd, const Edit& e) {
    HDC hdc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(hdc, look::font_or_default(e.font));
    std::vector<int> x(e.text.size() + 1, 0);
    for (size_t i = 0; i < e.text.size(); ++i) {
        SIZE size{};
        GetTextExtentPoint32W(hdc, &e.text[i], 1, &size);
        x[i + 1] = x[i] + size.cx;
    }
    SelectObject(hdc, old);
    ReleaseDC(hwnd, hdc);
    return x;
}

void keep_caret_visible(HWND hwnd, Edit* e) {
    RECT r;
    GetClientRect(hwnd, &r);
    const int room = std::max(1, static_cast<int>(r.right) - 2 * kMargin);
    const std::vector<int> x = positions(hwnd, *e);
    const int caret_x = x[e->caret];
    if (caret_x - e->scroll > room) e->scroll = caret_x - room;
    if (caret_x < e->scroll) e->scroll = std::max(0, caret_x - room / 3);
    e->scroll = std::max(0, std::min(e->scroll, std::max(0, x.back() - room)));
}

void changed(HWND hwnd, Edit* e, bool text_changed) {
    keep_caret_visible(hwnd, e);
    InvalidateRect(hwnd, nullptr, FALSE);
    if (text_changed) {
        DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(e->text.c_str()));
        look::notify_parent(hwnd, EN_CHANGE);
    }
}

void replace_selection(HWND hwnd, Edit* e, const std::wstring& with) {
    const size_t start = sel_start(*e), end = sel_end(*e);
    std::wstring insert = with;
    const size_t room = e->limit - std::min(e->limit, e->text.size() - (end - start));
    if (insert.size() > room) {
        insert.resize(room);
        look::notify_parent(hwnd, EN_MAXTEXT);
    }
    if (insert.empty() && start == end) return;
    e->text.replace(start, end - start, insert);
    e->caret = e->anchor = start + insert.size();
    changed(hwnd, e, true);
}

size_t index_at(HWND hwnd, const Edit& e, int client_x) {
    const std::vector<int> x = positions(hwnd, e);
    const int at = client_x - kMargin + e.scroll;
    for (size_t i = 0; i + 1 < x.size(); ++i)
        if (at < (x[i] + x[i + 1]) / 2) return i;
    return e.text.size();
}

void paint(HWND hwnd, const Edit& e) {
    const bool read_only = GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY;
    const bool enabled = IsWindowEnabled(hwnd);
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    const COLORREF back = read_only || !enabled ? look::kFace : look::kWindow;
    HBRUSH brush = look::parent_colours(
        hwnd, hdc, read_only || !enabled ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT, back);
    if (brush)
        FillRect(hdc, &r, brush);
    else
        look::fill(hdc, r, back);
    if (!enabled) SetTextColor(hdc, look::kGrayText);
    HGDIOBJ old_font = SelectObject(hdc, look::font_or_default(e.font));
    TEXTMETRICW tm{};
    GetTextMetricsW(hdc, &tm);
    const int y = std::max(0, (static_cast<int>(r.bottom) - static_cast<int>(tm.tmHeight)) / 2);
    SetBkMode(hdc, TRANSPARENT);
    const int x0 = kMargin - e.scroll;
    ExtTextOutW(hdc, x0, y, ETO_CLIPPED, &r, e.text.c_str(), static_cast<UINT>(e.text.size()),
                nullptr);
    const std::vector<int> x = positions(hwnd, e);
    if (e.focused && sel_start(e) != sel_end(e)) {
        RECT sel{x0 + x[sel_start(e)], y, x0 + x[sel_end(e)], y + tm.tmHeight};
        look::fill(hdc, sel, look::kHighlight);
        SetTextColor(hdc, look::kHighlightText);
        ExtTextOutW(hdc, sel.left, y, ETO_CLIPPED, &sel, e.text.c_str() + sel_start(e),
                    static_cast<UINT>(sel_end(e) - sel_start(e)), nullptr);
    }
    if (e.focused) {
        RECT caret{x0 + x[e.caret], y, x0 + x[e.caret] + 1, y + tm.tmHeight};
        look::fill(hdc, caret, look::kText);
    }
    SelectObject(hdc, old_font);
    EndPaint(hwnd, &ps);
    look::paint_border(hwnd, back);
}

void move_caret(HWND hwnd, Edit* e, size_t to, bool extend) {
    e->caret = std::min(to, e->text.size());
    if (!extend) e->anchor = e->caret;
    changed(hwnd, e, false);
}

LRESULT key_down(HWND hwnd, Edit* e, WPARAM key) {
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    switch (key) {
        case VK_LEFT:
            if (!shift && sel_start(*e) != sel_end(*e))
                move_caret(hwnd, e, sel_start(*e), false);
            else
                move_caret(hwnd, e, e->caret ? e->caret - 1 : 0, shift);
            break;
        case VK_RIGHT:
            if (!shift && sel_start(*e) != sel_end(*e))
                move_caret(hwnd, e, sel_end(*e), false);
            else
                move_caret(hwnd, e, e->caret + 1, shift);
            break;
        case VK_HOME:
            move_caret(hwnd, e, 0, shift);
            break;
        case VK_END:
            move_caret(hwnd, e, e->text.size(), shift);
            break;
        case VK_DELETE:
            if (GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY) break;
            if (sel_start(*e) == sel_end(*e) && e->caret < e->text.size()) e->anchor = e->caret + 1;
            replace_selection(hwnd, e, L"");
            break;
    }
    return 0;
}

LRESULT char_typed(HWND hwnd, Edit* e, wchar_t c) {
    if (c == 1) {  // Ctrl+A
        e->anchor = 0;
        move_caret(hwnd, e, e->text.size(), true);
        return 0;
    }
    if (GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY) return 0;
    if (c == VK_BACK) {
        if (sel_start(*e) == sel_end(*e) && e->caret > 0) e->anchor = e->caret - 1;
        replace_selection(hwnd, e, L"");
    } else if (c >= 0x20 && c != 0x7F) {
        replace_selection(hwnd, e, std::wstring(1, c));
    }
    return 0;
}

}  // namespace

LRESULT CALLBACK edit_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    Edit* e = control_state<Edit>(hwnd);
    if (!e && msg != WM_NCCREATE) return DefWindowProcW(hwnd, msg, wparam, lparam);
    switch (msg) {
        case WM_NCCREATE: {
            Edit* fresh = attach_state<Edit>(hwnd);
            auto cs = reinterpret_cast<const CREATESTRUCTW*>(lparam);
            if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) fresh->text = cs->lpszName;
            break;
        }
        case WM_NCDESTROY:
            detach_state<Edit>(hwnd);
            break;
        case WM_PAINT:
            paint(hwnd, *e);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_SETFONT:
            e->font = reinterpret_cast<HFONT>(wparam);
            if (LOWORD(lparam)) InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(e->font);
        case WM_SETTEXT: {
            auto text = reinterpret_cast<LPCWSTR>(lparam);
            e->text = text && !IS_INTRESOURCE(text) ? text : L"";
            if (e->text.size() > e->limit) e->text.resize(e->limit);
            e->caret = e->anchor = 0;
            e->scroll = 0;
            changed(hwnd, e, true);
            return TRUE;
        }
        case WM_ENABLE:
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            e->focused = msg == WM_SETFOCUS;
            e->selecting = false;
            InvalidateRect(hwnd, nullptr, FALSE);
            look::notify_parent(hwnd, e->focused ? EN_SETFOCUS : EN_KILLFOCUS);
            return 0;
        case WM_KEYDOWN:
            return key_down(hwnd, e, wparam);
        case WM_CHAR:
            return char_typed(hwnd, e, static_cast<wchar_t>(wparam));
        case WM_LBUTTONDOWN:
            focus_control(hwnd);
            move_caret(hwnd, e, index_at(hwnd, *e, GET_X_LPARAM(lparam)), wparam & MK_SHIFT);
            e->selecting = true;
            return 0;
        case WM_MOUSEMOVE:
            if (e->selecting && (wparam & MK_LBUTTON))
                move_caret(hwnd, e, index_at(hwnd, *e, GET_X_LPARAM(lparam)), true);
            return 0;
        case WM_LBUTTONUP:
            e->selecting = false;
            return 0;
        case WM_LBUTTONDBLCLK:
            e->anchor = 0;
            move_caret(hwnd, e, e->text.size(), true);
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lparam) != HTCLIENT) break;
            SetCursor(LoadCursorW(nullptr, IDC_IBEAM));
            return TRUE;
        case EM_GETSEL: {
            const DWORD start = static_cast<DWORD>(sel_start(*e));
            const DWORD end = static_cast<DWORD>(sel_end(*e));
            if (wparam) *reinterpret_cast<DWORD*>(wparam) = start;
            if (lparam) *reinterpret_cast<DWORD*>(lparam) = end;
            return MAKELONG(std::min<DWORD>(start, 0xFFFF), std::min<DWORD>(end, 0xFFFF));
        }
        case EM_SETSEL: {
            const auto start = static_cast<LONG>(wparam), end = static_cast<LONG>(lparam);
            const size_t size = e->text.size();
            if (start < 0) {
                e->anchor = e->caret;  // -1 takes the selection away
            } else {
                e->anchor = std::min(static_cast<size_t>(start), size);
                e->caret = end < 0 ? size : std::min(static_cast<size_t>(end), size);
            }
            changed(hwnd, e, false);
            return 0;
        }
        case EM_REPLACESEL: {
            auto text = reinterpret_cast<LPCWSTR>(lparam);
            replace_selection(hwnd, e, text ? text : L"");
            return 0;
        }
        case EM_LIMITTEXT:
            e->limit = wparam ? static_cast<size_t>(wparam) : 0x7FFFFFFE;
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

}  // namespace w32::user
