// Dialogs built from in-memory templates (both the plain and the extended layout).
//
// Dialog units become pixels with fixed base units (kBaseX by kBaseY), as if every
// dialog used the same font: the layout is then the same with or without a display.
// Template strings are 16-bit code units, as the template format defines them.
#include <windows.h>

#include "system_controls.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kBaseX = 8;
constexpr int kBaseY = 16;
constexpr wchar_t kDialogClass[] = L"#32770";

int px_x(int units) { return units * kBaseX / 4; }
int px_y(int units) { return units * kBaseY / 8; }

// Reads the template's WORD-aligned fields in order.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* p) : p_(p) {}
    WORD word() { return take<WORD>(); }
    DWORD dword() { return take<DWORD>(); }
    short sword() { return take<short>(); }
    BYTE byte() { return *p_++; }
    void align_dword() {
        auto v = reinterpret_cast<uintptr_t>(p_);
        p_ += (4 - (v & 3)) & 3;
    }
    void skip(size_t n) { p_ += n; }
    const BYTE* here() const { return p_; }
    // A null-terminated string of 16-bit units.
    std::wstring string() {
        std::wstring s;
        for (WORD c; (c = word()) != 0;) s.push_back(static_cast<wchar_t>(c));
        return s;
    }
    // A string or an ordinal: 0 = none, 0xFFFF = ordinal follows, else a string.
    void name_or_ordinal(std::wstring* name, WORD* ordinal) {
        name->clear();
        *ordinal = 0;
        WORD first;
        std::memcpy(&first, p_, sizeof(first));
        if (first == 0) {
            p_ += 2;
        } else if (first == 0xFFFF) {
            p_ += 2;
            *ordinal = word();
        } else {
            *name = string();
        }
    }

private:
    template <typename T>
    T take() {
        T v;
        std::memcpy(&v, p_, sizeof(v));
        p_ += sizeof(v);
        return v;
    }
    const BYTE* p_;
};

struct Item {
    DWORD style = 0;
    DWORD ex_style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::wstring cls;
    WORD cls_ordinal = 0;
    std::wstring title;
    WORD title_ordinal = 0;
    const BYTE* data = nullptr;
};

struct Template {
    DWORD style = 0;
    DWORD ex_style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::wstring menu, cls, title, face;
    WORD menu_ordinal = 0, cls_ordinal = 0;
    bool has_font = false;
    WORD point_size = 0, weight = FW_NORMAL;
    BYTE italic = 0, charset = DEFAULT_CHARSET;
    std::vector<Item> items;
};

Template parse(const void* raw) {
    TemplateReader r(static_cast<const BYTE*>(raw));
    Template t;
    WORD version;
    WORD signature;
    std::memcpy(&version, raw, 2);
    std::memcpy(&signature, static_cast<const BYTE*>(raw) + 2, 2);
    const bool extended = version == 1 && signature == 0xFFFF;
    WORD count;
    if (extended) {
        r.skip(4);
        r.dword();  // help id
        t.ex_style = r.dword();
        t.style = r.dword();
    } else {
        t.style = r.dword();
        t.ex_style = r.dword();
    }
    count = r.word();
    t.x = r.sword();
    t.y = r.sword();
    t.cx = r.sword();
    t.cy = r.sword();
    r.name_or_ordinal(&t.menu, &t.menu_ordinal);
    r.name_or_ordinal(&t.cls, &t.cls_ordinal);
    t.title = r.string();
    if (t.style & DS_SETFONT) {
        t.has_font = true;
        t.point_size = r.word();
        if (extended) {
            t.weight = r.word();
            t.italic = r.byte();
            t.charset = r.byte();
        }
        t.face = r.string();
    }
    for (WORD i = 0; i < count; ++i) {
        r.align_dword();
        Item item;
        if (extended) {
            r.dword();  // help id
            item.ex_style = r.dword();
            item.style = r.dword();
        } else {
            item.style = r.dword();
            item.ex_style = r.dword();
        }
        item.x = r.sword();
        item.y = r.sword();
        item.cx = r.sword();
        item.cy = r.sword();
        item.id = extended ? r.dword() : r.word();
        r.name_or_ordinal(&item.cls, &item.cls_ordinal);
        r.name_or_ordinal(&item.title, &item.title_ordinal);
        WORD extra = r.word();
        if (extra) item.data = r.here();
        r.skip(extra);
        t.items.push_back(std::move(item));
    }
    return t;
}

// The predefined control classes a template may name by ordinal.
const wchar_t* system_class_name(WORD ordinal) {
    switch (ordinal) {
        case 0x0080:
            return L"Button";
        case 0x0081:
            return L"Edit";
        case 0x0082:
            return L"Static";
        case 0x0083:
            return L"ListBox";
        case 0x0084:
            return L"ScrollBar";
        case 0x0085:
            return L"ComboBox";
    }
    return nullptr;
}

bool class_registered(const wchar_t* name) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    return GetClassInfoExW(nullptr, name, &wc) != FALSE;
}

// What a dialog keeps beside its window: how it ended, the font it made, the control
// it gives the keyboard focus to when it is (again) activated, and which button
// Enter presses.
struct DialogState {
    bool ended = false;
    INT_PTR result = 0;
    HFONT font = nullptr;
    HWND focus = nullptr;
    int default_id = 0;  // 0: none set, Enter means IDOK
};

std::mutex& state_mutex() {
    static std::mutex m;
    return m;
}

std::unordered_map<HWND, DialogState>& states() {
    static auto* map = new std::unordered_map<HWND, DialogState>;
    return *map;
}

bool ensure_dialog_class() {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_DBLCLKS | CS_SAVEBITS;
        wc.lpfnWndProc = DefDlgProcW;
        wc.cbWndExtra = DLGWINDOWEXTRA;
        wc.hbrBackground = w32::user::look::face_brush();
        wc.lpszClassName = kDialogClass;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

bool is_dialog(HWND hwnd) {
    std::lock_guard lock(state_mutex());
    return states().count(hwnd) != 0;
}

bool is_ended(HWND hwnd) {
    std::lock_guard lock(state_mutex());
    auto it = states().find(hwnd);
    return it != states().end() && it->second.ended;
}

// Messages whose answer is the dialog procedure's own return value, not DWLP_MSGRESULT.
bool answers_directly(UINT msg) {
    switch (msg) {
        case WM_INITDIALOG:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
            return true;
    }
    return false;
}

DialogState* state_locked(HWND dlg) {
    auto it = states().find(dlg);
    return it == states().end() ? nullptr : &it->second;
}

// The dialog whose control hwnd is (hwnd itself when it is a dialog), or null.
HWND dialog_of(HWND hwnd) {
    while (hwnd) {
        if (is_dialog(hwnd)) return hwnd;
        if (!(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)) return nullptr;
        hwnd = GetParent(hwnd);
    }
    return nullptr;
}

bool is_push_button(HWND hwnd) {
    return hwnd &&
           (SendMessageW(hwnd, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON));
}

// The dialog's controls in the order they were made, which is the tab order. New
// windows enter at the top of their siblings here, so that is the z-order read from
// the bottom.
std::vector<HWND> controls_in_order(HWND dlg) {
    std::vector<HWND> out;
    HWND first = GetWindow(dlg, GW_CHILD);
    for (HWND c = first ? GetWindow(first, GW_HWNDLAST) : nullptr; c; c = GetWindow(c, GW_HWNDPREV))
        out.push_back(c);
    return out;
}

int default_id(HWND dlg) {
    std::lock_guard lock(state_mutex());
    DialogState* st = state_locked(dlg);
    return st ? st->default_id : 0;
}

void set_button_type(HWND button, LONG type) {
    const LONG style = GetWindowLongW(button, GWL_STYLE);
    if ((style & BS_TYPEMASK) == type) return;
    SendMessageW(button, BM_SETSTYLE, static_cast<WPARAM>((style & 0xFFFF & ~BS_TYPEMASK) | type),
                 TRUE);
}

// The default look goes to the focused push button, else back to the default button.
void update_default_look(HWND dlg, HWND focus) {
    HWND wearer = is_push_button(focus) ? focus : nullptr;
    if (!wearer) {
        const int id = default_id(dlg);
        HWND def = id ? GetDlgItem(dlg, id) : nullptr;
        if (is_push_button(def)) wearer = def;
    }
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (c != wearer && is_push_button(c)) set_button_type(c, BS_PUSHBUTTON);
    }
    if (wearer) set_button_type(wearer, BS_DEFPUSHBUTTON);
}

// A window inside the dialog, not the dialog itself.
bool inside(HWND dlg, HWND hwnd) { return hwnd && hwnd != dlg && dialog_of(hwnd) == dlg; }

void remember_focus(HWND dlg, HWND to) {
    std::lock_guard lock(state_mutex());
    if (DialogState* st = state_locked(dlg)) st->focus = to;
}

HWND remembered_focus(HWND dlg) {
    HWND focus;
    {
        std::lock_guard lock(state_mutex());
        DialogState* st = state_locked(dlg);
        focus = st ? st->focus : nullptr;
    }
    return focus && IsWindow(focus) && inside(dlg, focus) ? focus : nullptr;
}

// Gives the focus to a control of the dialog. A hidden dialog only remembers it: the
// control gets it when the dialog is shown and activated.
void move_focus(HWND dlg, HWND to) {
    remember_focus(dlg, to);
    if (to && IsWindowVisible(dlg)) SetFocus(to);
    update_default_look(dlg, to);
}

bool can_take_focus(HWND c) {
    const LONG style = GetWindowLongW(c, GWL_STYLE);
    return (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

// The neighbour of current within its group (WS_GROUP starts one), wrapping around.
HWND next_in_group(HWND dlg, HWND current, bool previous) {
    const std::vector<HWND> children = controls_in_order(dlg);
    auto at = std::find(children.begin(), children.end(), current);
    if (at == children.end()) return current;
    size_t first = static_cast<size_t>(at - children.begin());
    while (first > 0 && !(GetWindowLongW(children[first], GWL_STYLE) & WS_GROUP)) --first;
    size_t last = static_cast<size_t>(at - children.begin());
    while (last + 1 < children.size() &&
           !(GetWindowLongW(children[last + 1], GWL_STYLE) & WS_GROUP))
        ++last;
    const size_t count = last - first + 1;
    size_t i = static_cast<size_t>(at - children.begin()) - first;
    for (size_t step = 1; step < count; ++step) {
        const size_t j = previous ? (i + count - step) % count : (i + step) % count;
        if (can_take_focus(children[first + j])) return children[first + j];
    }
    return current;
}

void focus_by_keyboard(HWND dlg, HWND to) {
    if (!to) return;
    move_focus(dlg, to);
    // Tabbing into a field selects its text, so typing replaces it.
    if (SendMessageW(to, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(to, EM_SETSEL, 0, -1);
}

// Enter: the focused push button, else the default button, else IDOK.
void press_default(HWND dlg, HWND focus) {
    int id;
    if (is_push_button(focus)) {
        id = static_cast<int>(GetWindowLongPtrW(focus, GWLP_ID));
    } else {
        const LRESULT def = SendMessageW(dlg, DM_GETDEFID, 0, 0);
        id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
    }
    HWND button = GetDlgItem(dlg, id);
    if (button && !IsWindowEnabled(button)) return;
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// A key the dialog itself handles: true when it did.
bool dialog_key(HWND dlg, HWND target, const MSG& msg) {
    const bool down = msg.message == WM_KEYDOWN;
    if (!down && msg.message != WM_CHAR) return false;
    const WPARAM key = msg.wParam;
    LRESULT code = 0;
    if (target != dlg)
        code = SendMessageW(target, WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(&msg));
    if (code & DLGC_WANTMESSAGE) return false;
    HWND focus = target == dlg ? nullptr : target;
    switch (key) {
        case VK_TAB:
            if (code & DLGC_WANTTAB) return false;
            if (down)
                focus_by_keyboard(dlg, GetNextDlgTabItem(dlg, focus, GetKeyState(VK_SHIFT) < 0));
            return true;
        case VK_RETURN:
            if (down) press_default(dlg, focus);
            return true;
        case VK_ESCAPE:
            if (down) {
                HWND cancel = GetDlgItem(dlg, IDCANCEL);
                if (!cancel || IsWindowEnabled(cancel))
                    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(cancel));
            }
            return true;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
            if (!down || !focus || (code & DLGC_WANTARROWS)) return false;
            focus_by_keyboard(dlg, next_in_group(dlg, focus, key == VK_LEFT || key == VK_UP));
            return true;
    }
    return false;
}

HWND create_dialog(HINSTANCE instance, LPCDLGTEMPLATEW dlg_template, HWND parent, DLGPROC proc,
                   LPARAM param) {
    if (!dlg_template) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!ensure_dialog_class()) return nullptr;
    Template t = parse(dlg_template);
    if (t.menu_ordinal || !t.menu.empty()) {
        // Menus are not part of the layer; a dialog with one cannot be made faithfully.
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    std::wstring cls_name = kDialogClass;
    if (!t.cls.empty()) cls_name = t.cls;

    DWORD style = t.style;
    RECT r{0, 0, px_x(t.cx), px_y(t.cy)};
    AdjustWindowRectEx(&r, style & ~WS_VISIBLE, FALSE, t.ex_style);
    int x = px_x(t.x) + r.left;
    int y = px_y(t.y) + r.top;
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (style & DS_CENTER) {
        // In the work area of the owner's monitor, else of the primary one.
        MONITORINFO mi{sizeof mi, {}, {}, 0};
        GetMonitorInfoW(MonitorFromWindow(parent, MONITOR_DEFAULTTOPRIMARY), &mi);
        x = (mi.rcWork.left + mi.rcWork.right - width) / 2;
        y = (mi.rcWork.top + mi.rcWork.bottom - height) / 2;
    } else if (!(style & WS_CHILD) && parent && !(style & DS_ABSALIGN)) {
        // A top-level dialog is placed relative to its owner's client area.
        POINT origin{0, 0};
        ClientToScreen(parent, &origin);
        x += origin.x;
        y += origin.y;
    }
    HWND dlg = CreateWindowExW(t.ex_style, cls_name.c_str(), t.title.c_str(), style & ~WS_VISIBLE,
                               x, y, width, height, parent, nullptr, instance, nullptr);
    if (!dlg) return nullptr;
    {
        std::lock_guard lock(state_mutex());
        states()[dlg] = DialogState{};
    }
    SetWindowLongPtrW(dlg, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));

    HFONT font = nullptr;
    if (t.has_font) {
        LOGFONTW lf{};
        lf.lfHeight = -((t.point_size * 96 + 36) / 72);
        lf.lfWeight = t.weight;
        lf.lfItalic = t.italic;
        lf.lfCharSet = t.charset;
        t.face.copy(lf.lfFaceName, LF_FACESIZE - 1);
        font = CreateFontIndirectW(&lf);
        if (font) {
            {
                std::lock_guard lock(state_mutex());
                states()[dlg].font = font;
            }
            SendMessageW(dlg, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
    }

    HWND first_tab = nullptr;
    for (const Item& item : t.items) {
        if (!IsWindow(dlg)) return nullptr;
        std::wstring name = item.cls;
        if (item.cls_ordinal) {
            const wchar_t* system = system_class_name(item.cls_ordinal);
            // The layer has no predefined controls: unless a program registered one under
            // that name, the item is left out and the dialog still comes up.
            if (!system || !class_registered(system)) continue;
            name = system;
        }
        std::wstring title = item.title;
        if (item.title_ordinal) title.clear();  // resource ids need a module's resources
        HWND child = CreateWindowExW(item.ex_style | WS_EX_NOPARENTNOTIFY, name.c_str(),
                                     title.c_str(), item.style | WS_CHILD, px_x(item.x),
                                     px_y(item.y), px_x(item.cx), px_y(item.cy), dlg,
                                     reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)),
                                     instance, const_cast<BYTE*>(item.data));
        if (!child) {
            if (t.style & DS_NOFAILCREATE) continue;
            DWORD error = GetLastError();
            DestroyWindow(dlg);
            SetLastError(error);
            return nullptr;
        }
        if (font) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (!first_tab && (item.style & WS_TABSTOP) && !(item.style & WS_DISABLED))
            first_tab = child;
        if (SendMessageW(child, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) {
            std::lock_guard lock(state_mutex());
            auto& st = states()[dlg];
            if (!st.default_id) st.default_id = static_cast<int>(item.id);
        }
    }
    if (!IsWindow(dlg)) return nullptr;
    // A procedure answering TRUE leaves the focus to the dialog: the first tab stop.
    const LRESULT focus_first =
        SendMessageW(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(first_tab), param);
    if (!IsWindow(dlg)) return nullptr;
    if (focus_first && first_tab && !w32::user::focused_control(dlg)) move_focus(dlg, first_tab);
    if ((style & WS_VISIBLE) && !is_ended(dlg)) ShowWindow(dlg, SW_SHOWNORMAL);
    return dlg;
}

}  // namespace

LRESULT WINAPI DefDlgProcW(HWND dialog, UINT msg, WPARAM wparam, LPARAM lparam) {
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(dialog, DWLP_DLGPROC));
    if (proc) {
        INT_PTR handled = proc(dialog, msg, wparam, lparam);
        if (handled) {
            if (answers_directly(msg)) return handled;
            return IsWindow(dialog) ? GetWindowLongPtrW(dialog, DWLP_MSGRESULT) : 0;
        }
        if (!IsWindow(dialog)) return 0;
    }
    switch (msg) {
        case WM_CLOSE:
            // Closing a dialog means cancelling it, as its Cancel button would.
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
            return 0;
        case DM_GETDEFID: {
            const int id = default_id(dialog);
            return id ? MAKELRESULT(id, DC_HASDEFID) : 0;
        }
        case DM_SETDEFID: {
            {
                std::lock_guard lock(state_mutex());
                if (DialogState* st = state_locked(dialog))
                    st->default_id = static_cast<int>(wparam);
            }
            update_default_look(dialog, w32::user::focused_control(dialog));
            return TRUE;
        }
        case WM_NEXTDLGCTL: {
            HWND focus = w32::user::focused_control(dialog);
            HWND to = LOWORD(lparam) ? reinterpret_cast<HWND>(wparam)
                                     : GetNextDlgTabItem(dialog, focus, wparam != 0);
            focus_by_keyboard(dialog, to);
            return 0;
        }
        case WM_ACTIVATE:
            // The focus leaves with the activation and comes back to where it was.
            if (LOWORD(wparam) == WA_INACTIVE) {
                if (HWND focus = GetFocus(); inside(dialog, focus)) remember_focus(dialog, focus);
                return 0;
            }
            if (HWND focus = remembered_focus(dialog); focus && !HIWORD(wparam)) {
                SetFocus(focus);
                return 0;
            }
            break;
        case WM_SETFOCUS: {
            HWND to = remembered_focus(dialog);
            if (!to) to = GetNextDlgTabItem(dialog, nullptr, FALSE);
            if (to) move_focus(dialog, to);
            return 0;
        }
        case WM_GETFONT: {
            std::lock_guard lock(state_mutex());
            auto it = states().find(dialog);
            return it == states().end() ? 0 : reinterpret_cast<LRESULT>(it->second.font);
        }
        case WM_NCDESTROY: {
            HFONT font = nullptr;
            {
                std::lock_guard lock(state_mutex());
                auto it = states().find(dialog);
                if (it != states().end()) {
                    font = it->second.font;
                    states().erase(it);
                }
            }
            if (font) DeleteObject(font);
            break;
        }
        case WM_INITDIALOG:
        case WM_SETFONT:
            return 0;
    }
    return DefWindowProcW(dialog, msg, wparam, lparam);
}

HWND WINAPI CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dlg_template,
                                       HWND parent, DLGPROC dialog_proc, LPARAM init_param) {
    return create_dialog(instance, dlg_template, parent, dialog_proc, init_param);
}

// The window a modal dialog disables: its parent's top-level window.
static HWND modal_owner(HWND parent) {
    HWND top = parent;
    while (top && (GetWindowLongPtrW(top, GWL_STYLE) & WS_CHILD)) top = GetParent(top);
    return top;
}

INT_PTR WINAPI DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dlg_template,
                                       HWND parent, DLGPROC dialog_proc, LPARAM init_param) {
    HWND owner = modal_owner(parent);
    // Only an owner this dialog disabled is enabled again at the end, so nested
    // dialogs leave their outer dialog's owner as they found it.
    const bool disabled_owner = owner && IsWindowEnabled(owner);
    if (disabled_owner) EnableWindow(owner, FALSE);
    HWND dlg = create_dialog(instance, dlg_template, parent, dialog_proc, init_param);
    if (!dlg) {
        if (disabled_owner) EnableWindow(owner, TRUE);
        return -1;
    }
    if (!is_ended(dlg)) ShowWindow(dlg, SW_SHOWNORMAL);
    MSG msg;
    bool quit = false;
    int quit_code = 0;
    while (IsWindow(dlg) && !is_ended(dlg)) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (!got) {
            quit = true;
            quit_code = static_cast<int>(msg.wParam);
            break;
        }
        if (!IsDialogMessageW(dlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    INT_PTR result = 0;
    {
        std::lock_guard lock(state_mutex());
        auto it = states().find(dlg);
        if (it != states().end()) result = it->second.result;
    }
    // The owner comes back before the dialog goes, so it is the one activated.
    if (disabled_owner && IsWindow(owner)) EnableWindow(owner, TRUE);
    if (IsWindow(dlg)) DestroyWindow(dlg);
    if (owner && IsWindow(owner) && IsWindowVisible(owner)) SetForegroundWindow(owner);
    // The program's own loop still has to see the quit request.
    if (quit) PostQuitMessage(quit_code);
    return result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    {
        std::lock_guard lock(state_mutex());
        auto it = states().find(dialog);
        if (it == states().end()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        it->second.ended = true;
        it->second.result = result;
    }
    ShowWindow(dialog, SW_HIDE);
    // Wakes a modal loop waiting in GetMessageW.
    PostMessageW(dialog, WM_NULL, 0, 0);
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    if (!IsWindow(dialog)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (static_cast<int>(GetWindowLongPtrW(child, GWLP_ID)) == id) return child;
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND hwnd) {
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (!(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)) return 0;
    return static_cast<int>(GetWindowLongPtrW(hwnd, GWLP_ID));
}

BOOL WINAPI IsDialogMessageW(HWND dialog, LPMSG msg) {
    if (!msg || !dialog || !msg->hwnd || !is_dialog(dialog)) return FALSE;
    HWND h = msg->hwnd;
    while (h && h != dialog) {
        if (!(GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD)) return FALSE;
        h = GetParent(h);
    }
    if (h != dialog) return FALSE;
    MSG m = *msg;
    // Keys meant for the dialog as a whole go to its focused control.
    if (m.hwnd == dialog && m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST) {
        if (HWND focus = w32::user::focused_control(dialog)) m.hwnd = focus;
    }
    if (dialog_key(dialog, m.hwnd, m)) return TRUE;
    TranslateMessage(&m);
    DispatchMessageW(&m);
    return TRUE;
}

HWND WINAPI GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    if (!is_dialog(dialog)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    std::vector<HWND> stops;
    for (HWND c : controls_in_order(dialog)) {
        if (c == control || ((GetWindowLongW(c, GWL_STYLE) & WS_TABSTOP) && can_take_focus(c)))
            stops.push_back(c);
    }
    if (stops.empty()) return nullptr;
    auto at = std::find(stops.begin(), stops.end(), control);
    if (at == stops.end()) return previous ? stops.back() : stops.front();
    const size_t n = stops.size();
    const size_t i = static_cast<size_t>(at - stops.begin());
    for (size_t step = 1; step < n; ++step) {
        HWND c = stops[previous ? (i + n - step) % n : (i + step) % n];
        if (c != control) return c;
    }
    return control;
}

LRESULT WINAPI SendDlgItemMessageW(HWND dialog, int id, UINT msg, WPARAM wparam, LPARAM lparam) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageW(item, msg, wparam, lparam) : 0;
}

BOOL WINAPI SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SetWindowTextW(item, text) : FALSE;
}

UINT WINAPI GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int max_count) {
    if (text && max_count > 0) text[0] = L'\0';
    HWND item = GetDlgItem(dialog, id);
    return item ? static_cast<UINT>(GetWindowTextW(item, text, max_count)) : 0;
}

namespace w32::user {

void focus_control(HWND control) {
    if (!control) return;
    HWND dlg =
        GetWindowLongPtrW(control, GWL_STYLE) & WS_CHILD ? dialog_of(GetParent(control)) : nullptr;
    if (dlg)
        move_focus(dlg, control);
    else
        SetFocus(control);
}

HWND focused_control(HWND hwnd) {
    HWND dlg = dialog_of(hwnd);
    if (!dlg) return nullptr;
    HWND focus = GetFocus();
    return inside(dlg, focus) ? focus : remembered_focus(dlg);
}

}  // namespace w32::user
