#include "ctrls/edit_text.h"

#include <wctype.h>

#include <algorithm>

#include "ctrls/standard_styles.h"
#include "gui/draw.h"
#include "gui/image_painter.h"
#include "gui/style.h"

namespace ctrls {
namespace {

// Word boundaries lie between characters of different kinds: 0 blanks, 1 letters,
// digits and ideographs, 2 other marks.
int CharKind(wchar_t c) { return iswspace(c) ? 0 : iswalnum(c) || c >= 0x2E80 ? 1 : 2; }

// A null colour of the style is the standard one.
Gui::Color Pick(Gui::Color c, Gui::Color standard) { return c.IsNull() ? standard : c; }

}  // namespace

const EditText::Style& EditText::StyleDefault() {
    return Gui::DefaultStyle<Style, FillStandardStyle>();
}

EditText::EditText() : style_(StyleDefault()), font_(Gui::GetDefaultFont()) { WantFocus(); }

EditText::~EditText() { KillTimeCallback(); }

EditText& EditText::SetStyle(const Style& style) {
    style_ = style;
    ScrollToCaret();
    Refresh();
    return *this;
}

EditText& EditText::SetFont(const Gui::Font& font) {
    font_ = font;
    offsets_valid_ = false;
    ScrollToCaret();
    Refresh();
    return *this;
}

EditText& EditText::SetText(const std::wstring& text) {
    text_ = text;
    offsets_valid_ = false;
    scroll_ = 0;
    MoveCaret(static_cast<int>(text_.size()), false);
    return *this;
}

EditText& EditText::SetReadOnly(bool read_only) {
    read_only_ = read_only;
    return *this;
}

void EditText::SetSelection(int anchor, int caret) {
    anchor_ = std::clamp(anchor, 0, static_cast<int>(text_.size()));
    MoveCaret(caret, true);
}

bool EditText::GetSelection(int& low, int& high) const {
    low = std::min(anchor_, caret_);
    high = std::max(anchor_, caret_);
    return low < high;
}

EditText::Look EditText::GetLook() const {
    if (!IsEnabled()) return DISABLED;
    if (HasFocus()) return FOCUSED;
    return hot_ ? HOT : NORMAL;
}

// ---- Geometry ----

Gui::Rect EditText::Inner() const {
    const Gui::Size size = GetSize();
    const Gui::Rect& m = style_.margin;
    return Gui::Rect(m.left, m.top, std::max(m.left, size.cx - m.right),
                     std::max(m.top, size.cy - m.bottom));
}

const std::vector<int>& EditText::Offsets() {
    if (!offsets_valid_) {
        // Whole prefixes are measured, so the offsets are what drawing them gives.
        offsets_.assign(text_.size() + 1, 0);
        for (size_t i = 1; i <= text_.size(); ++i)
            offsets_[i] = Gui::GetTextSize(text_.substr(0, i), font_).cx;
        offsets_valid_ = true;
    }
    return offsets_;
}

int EditText::PosAt(int x) {
    const std::vector<int>& o = Offsets();
    const int tx = x - Inner().left + scroll_;
    const int n = static_cast<int>(std::lower_bound(o.begin(), o.end(), tx) - o.begin());
    if (n == 0) return 0;
    if (n > static_cast<int>(text_.size())) return static_cast<int>(text_.size());
    // The nearer boundary of the character under x.
    return tx - o[n - 1] < o[n] - tx ? n - 1 : n;
}

int EditText::WordEdge(int pos, int dir) const {
    const int n = static_cast<int>(text_.size());
    auto kind_at = [&](int i) { return CharKind(text_[i]); };
    if (dir > 0) {
        // To the start of the next word: over the rest of this one, then the blanks.
        for (const int k = pos < n ? kind_at(pos) : 0; pos < n && kind_at(pos) == k;) ++pos;
        while (pos < n && kind_at(pos) == 0) ++pos;
    } else {
        // To the start of this word, or of the one before the blanks.
        while (pos > 0 && kind_at(pos - 1) == 0) --pos;
        for (const int k = pos > 0 ? kind_at(pos - 1) : 0; pos > 0 && kind_at(pos - 1) == k;) --pos;
    }
    return pos;
}

void EditText::ScrollToCaret() {
    const std::vector<int>& o = Offsets();
    const int width = std::max(Inner().Width() - 1, 0);  // the caret takes a pixel
    const int at = o[caret_];
    if (at - scroll_ > width) scroll_ = at - width;
    if (at < scroll_) scroll_ = at;
    // No blank room at the right while text is scrolled off the left.
    scroll_ = std::max(0, std::min(scroll_, o.back() - width));
}

// ---- Editing ----

void EditText::MoveCaret(int pos, bool extend) {
    caret_ = std::clamp(pos, 0, static_cast<int>(text_.size()));
    if (!extend) anchor_ = caret_;
    ScrollToCaret();
    if (HasFocus()) {
        // A moving caret stays visible; the blink starts over.
        caret_shown_ = true;
        KillTimeCallback();
        SetTimeCallback(-kBlinkMs, Gui::MakePteCallback(this, &EditText::Blink));
    }
    Refresh();
}

bool EditText::Replace(const std::wstring& text) {
    if (read_only_) return false;
    int low, high;
    const bool selected = GetSelection(low, high);
    if (!selected && text.empty()) return false;
    text_.replace(low, high - low, text);
    offsets_valid_ = false;
    MoveCaret(low + static_cast<int>(text.size()), false);
    return true;
}

bool EditText::DeleteSelection() { return Replace(std::wstring()); }

void EditText::Changed() {
    Refresh();
    Action();
}

bool EditText::Copy() {
    int low, high;
    if (!GetSelection(low, high)) return false;
    if (!OpenClipboard(GetTopCtrl()->GetHWND())) return false;
    bool placed = false;
    if (EmptyClipboard()) {
        const size_t n = high - low;
        HANDLE mem = GlobalAlloc(GMEM_MOVEABLE, (n + 1) * sizeof(WCHAR));
        if (WCHAR* p = mem ? static_cast<WCHAR*>(GlobalLock(mem)) : nullptr) {
            text_.copy(p, n, low);
            p[n] = 0;
            GlobalUnlock(mem);
            placed = SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
        }
        if (mem && !placed) GlobalFree(mem);
    }
    CloseClipboard();
    return placed;
}

bool EditText::Cut() {
    if (read_only_ || !Copy() || !DeleteSelection()) return false;
    Changed();
    return true;
}

bool EditText::Paste() {
    if (read_only_ || !OpenClipboard(GetTopCtrl()->GetHWND())) return false;
    std::wstring text;
    HANDLE mem = GetClipboardData(CF_UNICODETEXT);
    if (const WCHAR* p = mem ? static_cast<const WCHAR*>(GlobalLock(mem)) : nullptr) {
        const size_t n = GlobalSize(mem) / sizeof(WCHAR);
        text.assign(p, std::find(p, p + n, L'\0'));
        GlobalUnlock(mem);
    }
    CloseClipboard();
    if (!mem) return false;
    // One line: the text up to its first line break.
    const size_t line_end = text.find_first_of(L"\r\n");
    if (line_end != std::wstring::npos) text.erase(line_end);
    if (!Replace(text)) return false;
    Changed();
    return true;
}

// ---- Keys ----

bool EditText::Key(UINT message, WPARAM wparam, LPARAM) {
    if (!IsEnabled()) return false;
    if (message == WM_KEYDOWN) return KeyDown(static_cast<UINT>(wparam));
    if (message == WM_CHAR) return Char(static_cast<wchar_t>(wparam));
    return false;
}

bool EditText::KeyDown(UINT vk) {
    const bool ctrl = Gui::GetCtrl(), shift = Gui::GetShift();
    const int end = static_cast<int>(text_.size());
    int low, high;
    const bool selected = GetSelection(low, high);
    switch (vk) {
        case VK_LEFT:
            MoveCaret(ctrl ? WordEdge(caret_, -1) : selected && !shift ? low : caret_ - 1, shift);
            return true;
        case VK_RIGHT:
            MoveCaret(ctrl ? WordEdge(caret_, 1) : selected && !shift ? high : caret_ + 1, shift);
            return true;
        case VK_HOME:
            MoveCaret(0, shift);
            return true;
        case VK_END:
            MoveCaret(end, shift);
            return true;
        case VK_DELETE:
            if (shift) {
                Cut();
                return true;
            }
            if (!selected && caret_ < end) anchor_ = caret_ + 1;
            if (DeleteSelection()) Changed();
            return true;
        case VK_INSERT:
            if (ctrl) Copy();
            if (shift) Paste();
            return ctrl || shift;
        default:
            break;
    }
    if (!ctrl || Gui::GetAlt()) return false;  // Ctrl+Alt is AltGr on some keyboards
    switch (vk) {
        case 'A':
            SelectAll();
            return true;
        case 'C':
            Copy();
            return true;
        case 'X':
            Cut();
            return true;
        case 'V':
            Paste();
            return true;
        default:
            return false;
    }
}

bool EditText::Char(wchar_t c) {
    // A character past the first plane may come as its two UTF-16 halves.
    const wchar_t high_half = pending_high_;
    pending_high_ = 0;
    if (c >= 0xD800 && c < 0xDC00) {
        pending_high_ = c;
        return true;
    }
    if (c >= 0xDC00 && c < 0xE000) {
        if (!high_half) return true;  // a lone half is no text
        c = 0x10000 + ((high_half - 0xD800) << 10) + (c - 0xDC00);
    }
    if (c == VK_BACK) {
        int low, high;
        if (!GetSelection(low, high) && caret_ > 0) anchor_ = caret_ - 1;
        if (DeleteSelection()) Changed();
        return true;
    }
    // Other control characters (those of Ctrl chords among them) are no text.
    if (c < 0x20 || c == 0x7F) return false;
    if (Replace(std::wstring(1, c))) Changed();
    return true;
}

// ---- Focus and caret ----

bool EditText::TakeFocus() {
    if (!SetFocus()) return false;
    MoveCaret(caret_, true);
    return true;
}

void EditText::Blink() {
    if (!HasFocus()) {
        // The focus went elsewhere without telling this control.
        StopCaret();
        return;
    }
    caret_shown_ = !caret_shown_;
    Refresh();
}

void EditText::StopCaret() {
    KillTimeCallback();
    caret_shown_ = false;
    Refresh();
}

void EditText::LostFocus() { StopCaret(); }

// ---- Mouse ----

void EditText::MouseEnter(Gui::Point, DWORD) {
    hot_ = true;
    Refresh();
}

void EditText::MouseLeave() {
    hot_ = false;
    Refresh();
}

void EditText::LeftDown(Gui::Point p, DWORD keyflags) {
    if (!IsEnabled()) return;
    if (IsWantFocus()) TakeFocus();
    MoveCaret(PosAt(p.x), (keyflags & K_SHIFT) != 0);
    selecting_ = true;
    SetCapture();
}

void EditText::LeftDouble(Gui::Point p, DWORD) {
    const int n = static_cast<int>(text_.size());
    if (!IsEnabled() || n == 0) return;
    // The character under the pointer and the run of its kind around it.
    const std::vector<int>& o = Offsets();
    const int tx = p.x - Inner().left + scroll_;
    int a = static_cast<int>(std::upper_bound(o.begin(), o.end(), tx) - o.begin()) - 1;
    a = std::clamp(a, 0, n - 1);
    int b = a + 1;
    const int kind = CharKind(text_[a]);
    while (a > 0 && CharKind(text_[a - 1]) == kind) --a;
    while (b < n && CharKind(text_[b]) == kind) ++b;
    anchor_ = a;
    MoveCaret(b, true);
}

void EditText::MouseMove(Gui::Point p, DWORD) {
    if (selecting_) MoveCaret(PosAt(p.x), true);
}

void EditText::LeftUp(Gui::Point, DWORD) {
    if (!selecting_) return;
    selecting_ = false;
    ReleaseCapture();
}

void EditText::CancelMode() { selecting_ = false; }

Gui::Image EditText::CursorImage(Gui::Point, DWORD) { return Gui::Image::IBeam(); }

void EditText::Layout() { ScrollToCaret(); }

// ---- Painting ----

void EditText::Paint(Gui::Draw& w) {
    const Style& standard = StyleDefault();
    const Look look = GetLook();
    PaintImageRect(w, Gui::Rect(GetSize()),
                   style_.edge[look].IsEmpty() ? style_.edge[NORMAL] : style_.edge[look]);
    const Gui::Rect in = Inner();
    const bool enabled = look != DISABLED;
    w.DrawRect(in, enabled ? style_.paper : style_.disabled);
    const Gui::Color ink = enabled ? Pick(style_.text, standard.text)
                                   : Pick(style_.textdisabled, standard.textdisabled);
    const std::vector<int>& o = Offsets();
    const int h = Gui::GetTextSize(L"", font_).cy;
    const int x = in.left - scroll_, y = in.top + (in.Height() - h) / 2;
    w.Clip(in);
    int low = 0, high = 0;
    if (HasFocus() && GetSelection(low, high)) {
        w.DrawRect(x + o[low], y, o[high] - o[low], h, Pick(style_.selected, standard.selected));
        w.DrawText(x + o[low], y, text_.data() + low, font_,
                   Pick(style_.selectedtext, standard.selectedtext), high - low);
    }
    // What lies outside the selection (all of it when nothing is selected).
    w.DrawText(x, y, text_.data(), font_, ink, low);
    w.DrawText(x + o[high], y, text_.data() + high, font_, ink,
               static_cast<int>(text_.size()) - high);
    if (HasFocus() && caret_shown_) w.DrawRect(x + o[caret_], y, 1, h, ink);
    w.End();
}

}  // namespace ctrls
