// user32's own control classes ("Button", "Edit", "Static", "ListBox"), what they
// share (colours, the state each keeps in its window's extra bytes) and the focus
// within a dialog that they follow.
#pragma once

#include <windows.h>

namespace w32::user {

LRESULT CALLBACK button_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK edit_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK static_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK list_box_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// The system colours the controls and the layer's own dialogs are drawn with.
namespace look {
constexpr COLORREF kFace = RGB(240, 240, 240);
constexpr COLORREF kWindow = RGB(255, 255, 255);
constexpr COLORREF kText = RGB(0, 0, 0);
constexpr COLORREF kGrayText = RGB(109, 109, 109);
constexpr COLORREF kHighlight = RGB(51, 153, 255);
constexpr COLORREF kHighlightText = RGB(255, 255, 255);
constexpr COLORREF kButtonBorder = RGB(112, 112, 112);
constexpr COLORREF kButtonFace = RGB(225, 225, 225);
constexpr COLORREF kButtonPressed = RGB(204, 228, 247);
constexpr COLORREF kDefaultBorder = RGB(0, 120, 215);
constexpr COLORREF kFieldBorder = RGB(122, 122, 122);
constexpr COLORREF kCaption = RGB(255, 255, 255);
constexpr COLORREF kFrame = RGB(100, 100, 100);

void fill(HDC hdc, const RECT& r, COLORREF colour);
void outline(HDC hdc, const RECT& r, COLORREF colour);
// The dotted rectangle that marks the control with the keyboard focus.
void focus_rect(HDC hdc, const RECT& r);
// A brush of the face colour, made once and never deleted (the dialog class uses it).
HBRUSH face_brush();
// The font a control draws with: the one WM_SETFONT gave it, else the GUI font.
HFONT font_or_default(HFONT font);
// Asks the parent for the control's colours (WM_CTLCOLORSTATIC, ...). A parent that
// answers nothing leaves the given background and black text, and gets null back.
HBRUSH parent_colours(HWND control, HDC hdc, UINT msg, COLORREF background);
// Draws the frame a control's border styles put around its client area (WS_BORDER,
// WS_EX_CLIENTEDGE): the layer paints no window frames of its own.
void paint_border(HWND control, COLORREF inside);
// Sends WM_COMMAND(id, code) from a control to its parent.
void notify_parent(HWND control, WORD code);
}  // namespace look

// Control state kept behind the pointer in the window's first extra bytes: made on
// WM_NCCREATE, deleted on WM_NCDESTROY.
template <typename T>
T* control_state(HWND hwnd) {
    return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, 0));
}
template <typename T>
T* attach_state(HWND hwnd) {
    T* state = new T;
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(state));
    return state;
}
template <typename T>
void detach_state(HWND hwnd) {
    delete control_state<T>(hwnd);
    SetWindowLongPtrW(hwnd, 0, 0);
}

// Gives a clicked control the keyboard focus (SetFocus); inside a dialog the dialog
// also remembers it and moves its default button's look.
void focus_control(HWND control);
// The control of hwnd's dialog that has the focus, or that gets it back when the
// dialog is activated (hwnd may be the dialog or any window inside it), or null.
HWND focused_control(HWND hwnd);

}  // namespace w32::user
