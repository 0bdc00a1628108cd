// MessageBoxW. With a display (or WIN32_DIALOG_WINDOWS) it is a modal dialog drawn by
// the layer: caption, icon, wrapped text and the buttons of its type; otherwise, or
// when WIN32_MSGBOX_ANSWER names an answer, it answers at once. Either way the record
// in WIN32_DIALOG_LOG says what the person was told and what they answered.
#include <windows.h>

#include "layer_dialog.h"
#include "system_controls.h"
#include "w32/builtin.h"
#include "w32/dialog_log.h"
#include "w32/text.h"

#include <stdlib.h>
#include <strings.h>

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <vector>

namespace {

namespace ld = w32::user::layer_dialog;
namespace look = w32::user::look;

struct ButtonSet {
    std::array<int, 3> ids;
    int count;
};

// Indexed by the MB_TYPEMASK bits.
constexpr std::array<ButtonSet, 7> kButtonSets = {{
    {{IDOK}, 1},
    {{IDOK, IDCANCEL}, 2},
    {{IDABORT, IDRETRY, IDIGNORE}, 3},
    {{IDYES, IDNO, IDCANCEL}, 3},
    {{IDYES, IDNO}, 2},
    {{IDRETRY, IDCANCEL}, 2},
    {{IDCANCEL, IDTRYAGAIN, IDCONTINUE}, 3},
}};

struct AnswerName {
    const char* name;
    int id;
    const wchar_t* english;
    const wchar_t* chinese;
};

constexpr std::array<AnswerName, 9> kAnswers = {{
    {"IDOK", IDOK, L"OK", L"确定"},
    {"IDCANCEL", IDCANCEL, L"Cancel", L"取消"},
    {"IDABORT", IDABORT, L"Abort", L"中止"},
    {"IDRETRY", IDRETRY, L"Retry", L"重试"},
    {"IDIGNORE", IDIGNORE, L"Ignore", L"忽略"},
    {"IDYES", IDYES, L"Yes", L"是"},
    {"IDNO", IDNO, L"No", L"否"},
    {"IDTRYAGAIN", IDTRYAGAIN, L"Try Again", L"重试"},
    {"IDCONTINUE", IDCONTINUE, L"Continue", L"继续"},
}};

const AnswerName* answer(int id) {
    for (const auto& a : kAnswers)
        if (a.id == id) return &a;
    return nullptr;
}

// The knob's answer as an id, or 0 when it is unset or says nothing we know.
int configured_answer() {
    const char* v = getenv("WIN32_MSGBOX_ANSWER");
    if (!v || !*v) return 0;
    for (const auto& a : kAnswers)
        if (strcasecmp(v, a.name) == 0) return a.id;
    char* end = nullptr;
    long n = strtol(v, &end, 10);
    return (*end == '\0' && n > 0 && n < 0x10000) ? static_cast<int>(n) : 0;
}

std::string answer_name(int id) {
    const AnswerName* a = answer(id);
    return a ? a->name : std::to_string(id);
}

// Layout, in pixels.
constexpr int kMargin = 24;
constexpr int kIconSize = 32;
constexpr int kIconGap = 14;
constexpr int kMaxTextWidth = 440;
constexpr int kButtonHeight = 26;
constexpr int kButtonMinWidth = 88;
constexpr int kButtonGap = 10;
constexpr int kBandPadding = 12;
constexpr int kIconId = 20;
constexpr int kTextId = 0xFFFF;

struct Box {
    std::wstring text;
    UINT type = 0;
    std::span<const int> buttons;
    int default_id = IDOK;
    bool chinese = false;
    HFONT font = nullptr;
    int band_top = 0;  // where the button band starts, client coordinates
};

bool has_button(const Box& box, int id) {
    return std::find(box.buttons.begin(), box.buttons.end(), id) != box.buttons.end();
}

// What Escape, the close box and a quit request answer; 0 when the box cannot be
// dismissed that way (Yes/No, Abort/Retry/Ignore).
int dismiss_answer(const Box& box) {
    if (has_button(box, IDCANCEL)) return IDCANCEL;
    if ((box.type & MB_TYPEMASK) == MB_OK) return IDOK;
    return 0;
}

SIZE text_size(HWND dlg, HFONT font, const std::wstring& text, int width, UINT format) {
    HDC hdc = GetDC(dlg);
    HGDIOBJ old = SelectObject(hdc, font);
    RECT r{0, 0, width, 0};
    DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_CALCRECT);
    SelectObject(hdc, old);
    ReleaseDC(dlg, hdc);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

HWND add_control(HWND dlg, const wchar_t* cls, const wchar_t* text, DWORD style, const RECT& r,
                 int id, HFONT font) {
    HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                             r.right - r.left, r.bottom - r.top, dlg,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    if (c) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return c;
}

void build(HWND dlg, Box* box) {
    box->font = ld::make_font(box->chinese);
    SendMessageW(dlg, WM_SETFONT, reinterpret_cast<WPARAM>(box->font), FALSE);
    HICON icon = ld::message_icon(box->type);
    const UINT text_format = DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL;
    const SIZE text = text_size(dlg, box->font, box->text, kMaxTextWidth, text_format);

    std::vector<int> widths;
    int buttons_width = 0;
    for (int id : box->buttons) {
        const AnswerName* a = answer(id);
        const SIZE label =
            text_size(dlg, box->font, box->chinese ? a->chinese : a->english, 1000, DT_SINGLELINE);
        widths.push_back(std::max<int>(kButtonMinWidth, label.cx + 24));
        buttons_width += widths.back();
    }
    buttons_width += kButtonGap * static_cast<int>(box->buttons.size() - 1);

    const int text_left = icon ? kMargin + kIconSize + kIconGap : kMargin;
    const int content_height = std::max<int>(icon ? kIconSize : 0, text.cy);
    const int title_len = GetWindowTextLengthW(dlg);
    std::wstring title(static_cast<size_t>(title_len) + 1, L'\0');
    GetWindowTextW(dlg, title.data(), title_len + 1);
    title.resize(static_cast<size_t>(title_len));
    // Room for the whole caption beside the close box, within reason.
    const int title_width =
        std::min<int>(text_size(dlg, box->font, title, 1000, DT_SINGLELINE | DT_NOPREFIX).cx + 60,
                      kMaxTextWidth + 2 * kMargin);
    const int width = std::max({text_left + static_cast<int>(text.cx) + kMargin,
                                buttons_width + 2 * kBandPadding, title_width, 200});
    const int band_height = kButtonHeight + 2 * kBandPadding;
    const int height = kMargin + content_height + kMargin + band_height;
    const RECT area = ld::place(dlg, width, height);
    box->band_top = area.bottom - band_height;

    const int top = area.top + kMargin;
    if (icon) {
        const RECT r{area.left + kMargin, top, area.left + kMargin + kIconSize, top + kIconSize};
        HWND c = add_control(dlg, L"Static", L"", SS_ICON, r, kIconId, box->font);
        SendMessageW(c, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }
    // Text shorter than the icon sits level with the icon's middle.
    const int text_top = top + std::max(0, (content_height - static_cast<int>(text.cy)) / 2);
    const RECT text_rect{area.left + text_left, text_top, area.left + text_left + text.cx,
                         text_top + text.cy};
    add_control(dlg, L"Static", box->text.c_str(), SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL,
                text_rect, kTextId, box->font);

    int x = area.right - kBandPadding - buttons_width;
    const int y = box->band_top + kBandPadding;
    HWND def = nullptr;
    for (size_t i = 0; i < box->buttons.size(); ++i) {
        const int id = box->buttons[i];
        const AnswerName* a = answer(id);
        const bool is_default = id == box->default_id;
        DWORD style = WS_TABSTOP | (is_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        if (i == 0) style |= WS_GROUP;
        const RECT r{x, y, x + widths[i], y + kButtonHeight};
        HWND b = add_control(dlg, L"Button", box->chinese ? a->chinese : a->english, style, r, id,
                             box->font);
        if (is_default) def = b;
        x += widths[i] + kButtonGap;
    }
    SendMessageW(dlg, DM_SETDEFID, static_cast<WPARAM>(box->default_id), 0);
    if (def) SendMessageW(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(def), TRUE);
    if (box->type & (MB_TOPMOST | MB_SYSTEMMODAL))
        SetWindowPos(dlg, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void paint(HWND dlg, const Box& box) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(dlg, &ps);
    RECT r;
    GetClientRect(dlg, &r);
    look::fill(hdc, RECT{0, 0, r.right, box.band_top}, look::kWindow);
    look::fill(hdc, RECT{0, box.band_top, r.right, r.bottom}, look::kFace);
    look::fill(hdc, RECT{0, box.band_top, r.right, box.band_top + 1}, RGB(223, 223, 223));
    ld::paint_frame(dlg, hdc, dismiss_answer(box) != 0);
    EndPaint(dlg, &ps);
}

INT_PTR CALLBACK box_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam) {
    Box* box = reinterpret_cast<Box*>(GetWindowLongPtrW(dlg, DWLP_USER));
    if (msg == WM_INITDIALOG) {
        box = reinterpret_cast<Box*>(lparam);
        SetWindowLongPtrW(dlg, DWLP_USER, lparam);
        build(dlg, box);
        return FALSE;  // the default button has the focus already
    }
    if (!box) return FALSE;
    if (ld::frame_message(dlg, msg, wparam, lparam, dismiss_answer(*box) != 0)) return TRUE;
    switch (msg) {
        case WM_ERASEBKGND:
            SetWindowLongPtrW(dlg, DWLP_MSGRESULT, 1);
            return TRUE;
        case WM_PAINT:
            paint(dlg, *box);
            return TRUE;
        case WM_CTLCOLORSTATIC:
            // The text and the icon stand on the white upper part.
            SetBkColor(reinterpret_cast<HDC>(wparam), look::kWindow);
            return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
        case WM_COMMAND: {
            const int id = LOWORD(wparam);
            if (has_button(*box, id)) {
                EndDialog(dlg, id);
            } else if (id == IDCANCEL && dismiss_answer(*box)) {
                EndDialog(dlg, dismiss_answer(*box));
            }
            return TRUE;
        }
    }
    return FALSE;
}

int run_box(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type,
            std::span<const int> buttons, int default_id) {
    Box box;
    box.text = text;
    box.type = type;
    box.buttons = buttons;
    box.default_id = default_id;
    box.chinese = ld::chinese(text + caption);
    INT_PTR result = ld::run(owner, caption, box_proc, reinterpret_cast<LPARAM>(&box));
    if (box.font) DeleteObject(box.font);
    if (result == -1) return 0;
    // A quit request ended the box before anyone answered it.
    if (!has_button(box, static_cast<int>(result)))
        result = dismiss_answer(box) ? dismiss_answer(box) : default_id;
    return static_cast<int>(result);
}

}  // namespace

int WINAPI MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    const UINT set_index = type & MB_TYPEMASK;
    if (set_index >= kButtonSets.size()) {
        SetLastError(ERROR_INVALID_MSGBOX_STYLE);
        return 0;
    }
    if (owner && !IsWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const ButtonSet& set = kButtonSets[set_index];
    std::span<const int> buttons(set.ids.data(), set.count);

    // A default button past the last one falls back to the first, as the real box does.
    const UINT def_index = (type & MB_DEFMASK) >> 8;
    const int default_id = def_index < buttons.size() ? buttons[def_index] : buttons[0];
    const wchar_t* shown_caption = caption ? caption : L"Error";
    const std::wstring shown_text = text ? text : L"";

    int chosen = default_id;
    const int wanted = configured_answer();
    const char* knob = getenv("WIN32_MSGBOX_ANSWER");
    if ((knob && *knob) || !ld::windows_wanted()) {
        // The person can only press a button the box has; any other wish leaves the default.
        for (int id : buttons)
            if (id == wanted) chosen = id;
    } else {
        chosen = run_box(owner, shown_text, shown_caption, type, buttons, default_id);
        if (!chosen) return 0;
    }
    w32::log_dialog("msgbox", shown_caption, shown_text, type, answer_name(chosen));
    return chosen;
}

W32_BUILTIN_EXPORT("user32.dll", MessageBoxW);
