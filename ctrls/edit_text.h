// A skinned one-line edit field. Its frame is the style's edge image for the state
// (normal, hot, focused, disabled), the paper fills the inside less the margin, the
// text scrolls sideways to keep the caret in view. It takes the focus on a click,
// blinks its caret while it has it, selects with the mouse (a double click takes a
// word) and with Shift and the arrows, Home and End (with Ctrl the arrows go by
// words), and takes the keys its top-level window routes to it:
// typing (any character, so text an input method commits too, surrogate pairs
// joined), Backspace, Delete,
// Ctrl+A, and the clipboard (Ctrl+C, Ctrl+X, Ctrl+V, Ctrl+Insert, Shift+Delete,
// Shift+Insert). A read-only field selects and copies but does not change.
// WhenAction runs after every change the user makes.
#pragma once

#include <string>
#include <vector>

#include "ctrls/edit_style.h"
#include "ctrls/key_target.h"
#include "gui/ctrl.h"
#include "gui/font.h"

namespace ctrls {

class EditText : public Gui::Ctrl, public KeyTarget {
public:
    using Style = EditStyle;
    enum Look { NORMAL = 0, HOT = 1, FOCUSED = 2, DISABLED = 3 };
    static constexpr int kBlinkMs = 500;

    static const Style& StyleDefault();

    EditText();
    ~EditText() override;

    EditText& SetStyle(const Style& style);
    const Style& GetStyle() const { return style_; }
    EditText& SetFont(const Gui::Font& font);
    const Gui::Font& GetFont() const { return font_; }
    // Replaces the text (without WhenAction) and puts the caret at its end.
    EditText& SetText(const std::wstring& text);
    const std::wstring& GetText() const { return text_; }
    EditText& SetReadOnly(bool read_only = true);
    bool IsReadOnly() const { return read_only_; }

    // Anchor and caret, clamped to the text; the selection lies between them.
    void SetSelection(int anchor, int caret);
    void SelectAll() { SetSelection(0, static_cast<int>(text_.size())); }
    // The selected range [low, high); false when nothing is selected.
    bool GetSelection(int& low, int& high) const;
    int GetCaret() const { return caret_; }

    bool Copy();
    bool Cut();
    bool Paste();

    // Takes the focus and starts the caret; a click does it too.
    bool TakeFocus();
    bool IsCaretShown() const { return caret_shown_; }
    Look GetLook() const;

    bool Key(UINT message, WPARAM wparam, LPARAM lparam) override;
    void Paint(Gui::Draw& w) override;
    void Layout() override;
    void MouseEnter(Gui::Point p, DWORD keyflags) override;
    void MouseLeave() override;
    void LeftDown(Gui::Point p, DWORD keyflags) override;
    void LeftDouble(Gui::Point p, DWORD keyflags) override;
    void MouseMove(Gui::Point p, DWORD keyflags) override;
    void LeftUp(Gui::Point p, DWORD keyflags) override;
    void CancelMode() override;
    void LostFocus() override;
    Gui::Image CursorImage(Gui::Point p, DWORD keyflags) override;

private:
    Gui::Rect Inner() const;
    // Pixel offset of each caret position from the text's start (cached).
    const std::vector<int>& Offsets();
    int PosAt(int x);  // x in control coordinates
    // The next word boundary from pos in the direction dir (1 or -1).
    int WordEdge(int pos, int dir) const;
    void MoveCaret(int pos, bool extend);
    void ScrollToCaret();
    // Replaces the selection with text; false when nothing changed.
    bool Replace(const std::wstring& text);
    bool DeleteSelection();
    void Changed();
    void Blink();
    void StopCaret();
    bool KeyDown(UINT vk);
    bool Char(wchar_t c);

    Style style_;
    Gui::Font font_;
    std::wstring text_;
    int anchor_ = 0;
    int caret_ = 0;
    int scroll_ = 0;  // pixels of text scrolled off the left
    bool read_only_ = false;
    bool hot_ = false;
    bool selecting_ = false;  // the left button is down after a press here
    bool caret_shown_ = false;
    wchar_t pending_high_ = 0;  // the first half of a surrogate pair
    std::vector<int> offsets_;
    bool offsets_valid_ = false;
};

}  // namespace ctrls
