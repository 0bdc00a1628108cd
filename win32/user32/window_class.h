// Registered window classes, one process-wide list guarded by user_mutex().
// Names compare without regard to case, as on Windows; atoms count from 0xC000.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace w32::user {

struct WindowClass {
    std::wstring name;
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int cls_extra = 0;
    int wnd_extra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HICON icon_small = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    LPCWSTR menu_name = nullptr;
    std::vector<BYTE> extra;
    int windows = 0;  // live windows of the class
    // One of user32's own control classes: a program's class of the same name
    // comes first, and it cannot be unregistered.
    bool system = false;
};

// With user_mutex() held; name may be an atom (MAKEINTATOM).
std::shared_ptr<WindowClass> find_class_locked(LPCWSTR name);

bool equal_no_case(std::wstring_view a, std::wstring_view b);

}  // namespace w32::user
