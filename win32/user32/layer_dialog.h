// What the layer's own modal dialogs (the message box, the folder picker) share:
// when they are windows at all, their language, font, frame and modal run.
//
// They are bare pop-up dialogs of the "#32770" class that draw their own frame (a
// caption band with the title and a close box), since the layer paints no window
// frames; the pointer moves them by the band (HTCAPTION).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace w32::user::layer_dialog {

constexpr int kBorder = 1;
constexpr int kCaptionHeight = 30;

// True when the dialogs are windows a person answers: a display shows them, or
// WIN32_DIALOG_WINDOWS asks for them without one (they then exist in the layer only).
bool windows_wanted();

// Chinese wording when the text holds Chinese characters or the locale (LC_ALL,
// LC_MESSAGES, LANG) is Chinese; English otherwise.
bool chinese(std::wstring_view text);

// The dialog font: "微软雅黑" for Chinese wording, the dialog face otherwise, 9 points.
// The caller deletes it.
HFONT make_font(bool chinese);

// Runs a modal dialog titled caption, owned by owner's top-level window (disabled
// meanwhile). proc builds the controls and the size in WM_INITDIALOG and ends the
// dialog with EndDialog; frame_message() handles the frame for it.
INT_PTR run(HWND owner, const std::wstring& caption, DLGPROC proc, LPARAM param);

// Sizes the dialog to a client area of width x height inside the frame and centres it
// on its owner (or the screen), kept on the screen. Answers the content rectangle (in
// client coordinates, below the caption band).
RECT place(HWND dlg, int width, int height);

// Handles the frame's messages (hit testing, the close box, painting the frame after
// the content): true when the message was the frame's. close_enabled says whether
// the close box works; a working close box sends WM_CLOSE.
bool frame_message(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam, bool close_enabled);

// The icon of a MB_ICON* kind, drawn by the layer and kept for the process; null for
// none or a kind it does not know.
HICON message_icon(UINT mb_icon);

// Paints the border and caption band; called by the dialog's WM_PAINT after its content.
void paint_frame(HWND dlg, HDC hdc, bool close_enabled);

}  // namespace w32::user::layer_dialog
