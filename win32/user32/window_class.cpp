#include "window_class.h"

#include "system_controls.h"
#include "window.h"

#include <w32/text.h>

#include <cwctype>

namespace w32::user {

namespace {

constexpr ATOM kFirstAtom = 0xC000;

struct ClassList {
    std::vector<std::shared_ptr<WindowClass>> classes;
    ATOM next_atom = kFirstAtom;
};

std::shared_ptr<WindowClass> system_class(const wchar_t* name, WNDPROC proc, ATOM atom) {
    auto cls = std::make_shared<WindowClass>();
    cls->name = name;
    cls->atom = atom;
    cls->style = CS_DBLCLKS | CS_PARENTDC;
    cls->proc = proc;
    cls->wnd_extra = sizeof(void*);
    cls->system = true;
    return cls;
}

ClassList& class_list() {
    static auto* list = [] {
        auto* l = new ClassList;
        // Their atoms are the ordinals dialog templates name them by.
        l->classes.push_back(system_class(L"Button", button_proc, 0x0080));
        l->classes.push_back(system_class(L"Edit", edit_proc, 0x0081));
        l->classes.push_back(system_class(L"Static", static_proc, 0x0082));
        l->classes.push_back(system_class(L"ListBox", list_box_proc, 0x0083));
        return l;
    }();
    return *list;
}

// A program's own class of that name, or null.
std::shared_ptr<WindowClass> find_program_class_locked(LPCWSTR name) {
    auto cls = find_class_locked(name);
    return cls && !cls->system ? cls : nullptr;
}

ATOM register_class(const WNDCLASSEXW& wc) {
    if (!wc.lpszClassName || wc.cbClsExtra < 0 || wc.cbWndExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (IS_INTRESOURCE(wc.lpszClassName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard lock(user_mutex());
    if (find_program_class_locked(wc.lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto& list = class_list();
    if (list.next_atom == 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    auto cls = std::make_shared<WindowClass>();
    cls->name = wc.lpszClassName;
    cls->atom = list.next_atom++;
    cls->style = wc.style;
    cls->proc = wc.lpfnWndProc;
    cls->cls_extra = wc.cbClsExtra;
    cls->wnd_extra = wc.cbWndExtra;
    cls->instance = wc.hInstance;
    cls->icon = wc.hIcon;
    cls->icon_small = wc.hIconSm;
    cls->cursor = wc.hCursor;
    cls->background = wc.hbrBackground;
    cls->menu_name = wc.lpszMenuName;
    cls->extra.assign(static_cast<size_t>(wc.cbClsExtra), 0);
    list.classes.push_back(cls);
    return cls->atom;
}

void fill_info(const WindowClass& cls, WNDCLASSEXW* wc) {
    wc->style = cls.style;
    wc->lpfnWndProc = cls.proc;
    wc->cbClsExtra = cls.cls_extra;
    wc->cbWndExtra = cls.wnd_extra;
    wc->hInstance = cls.instance;
    wc->hIcon = cls.icon;
    wc->hIconSm = cls.icon_small;
    wc->hCursor = cls.cursor;
    wc->hbrBackground = cls.background;
    wc->lpszMenuName = cls.menu_name;
    wc->lpszClassName = cls.name.c_str();
}

}  // namespace

bool equal_no_case(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] &&
            std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i])))
            return false;
    }
    return true;
}

std::shared_ptr<WindowClass> find_class_locked(LPCWSTR name) {
    if (!name) return nullptr;
    std::shared_ptr<WindowClass> system;
    for (auto& cls : class_list().classes) {
        const bool match = IS_INTRESOURCE(name)
                               ? cls->atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name))
                               : equal_no_case(cls->name, name);
        if (!match) continue;
        if (!cls->system) return cls;
        system = cls;
    }
    return system;
}

}  // namespace w32::user

using namespace w32::user;

ATOM WINAPI RegisterClassW(const WNDCLASSW* wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXW ex{};
    ex.cbSize = sizeof(ex);
    ex.style = wc->style;
    ex.lpfnWndProc = wc->lpfnWndProc;
    ex.cbClsExtra = wc->cbClsExtra;
    ex.cbWndExtra = wc->cbWndExtra;
    ex.hInstance = wc->hInstance;
    ex.hIcon = wc->hIcon;
    ex.hCursor = wc->hCursor;
    ex.hbrBackground = wc->hbrBackground;
    ex.lpszMenuName = wc->lpszMenuName;
    ex.lpszClassName = wc->lpszClassName;
    return register_class(ex);
}

ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* wc) {
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return register_class(*wc);
}

BOOL WINAPI UnregisterClassW(LPCWSTR class_name, HINSTANCE) {
    std::lock_guard lock(user_mutex());
    auto cls = find_program_class_locked(class_name);
    if (!cls) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (cls->windows > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    auto& classes = class_list().classes;
    std::erase(classes, cls);
    return TRUE;
}

BOOL WINAPI GetClassInfoExW(HINSTANCE, LPCWSTR class_name, LPWNDCLASSEXW wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(user_mutex());
    auto cls = find_class_locked(class_name);
    if (!cls) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    // The name pointer stays valid while the class is registered, as on Windows.
    fill_info(*cls, wc);
    return cls->atom;
}

BOOL WINAPI GetClassInfoW(HINSTANCE instance, LPCWSTR class_name, LPWNDCLASSW wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    WNDCLASSEXW ex{};
    ex.cbSize = sizeof(ex);
    BOOL atom = GetClassInfoExW(instance, class_name, &ex);
    if (!atom) return FALSE;
    wc->style = ex.style;
    wc->lpfnWndProc = ex.lpfnWndProc;
    wc->cbClsExtra = ex.cbClsExtra;
    wc->cbWndExtra = ex.cbWndExtra;
    wc->hInstance = ex.hInstance;
    wc->hIcon = ex.hIcon;
    wc->hCursor = ex.hCursor;
    wc->hbrBackground = ex.hbrBackground;
    wc->lpszMenuName = ex.lpszMenuName;
    wc->lpszClassName = ex.lpszClassName;
    return atom;
}

int WINAPI GetClassNameW(HWND hwnd, LPWSTR name, int max_count) {
    std::wstring class_name;
    {
        std::lock_guard lock(user_mutex());
        auto w = find_window_locked(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        switch (w->kind) {
            case WindowKind::Normal:
                class_name = w->cls->name;
                break;
            case WindowKind::Desktop:
                class_name = L"#32769";
                break;
            case WindowKind::MessageRoot:
                class_name = L"Message";
                break;
            case WindowKind::Remote:
                class_name = w->remote_class;
                break;
        }
    }
    if (!name || max_count <= 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    size_t n = std::min(class_name.size(), static_cast<size_t>(max_count - 1));
    class_name.copy(name, n);
    name[n] = L'\0';
    return static_cast<int>(n);
}
