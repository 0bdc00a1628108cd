// FindWindowW and FindWindowExW: this process's windows first, then the top-level
// windows of the user's other processes, which get a local proxy handle.
#include "remote_windows.h"
#include "window.h"
#include "window_class.h"

#include <algorithm>

namespace w32::user {

namespace {

bool class_matches(const Window& w, LPCWSTR class_name) {
    if (!class_name) return true;
    if (IS_INTRESOURCE(class_name)) {
        return w.cls && w.cls->atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(class_name));
    }
    return w.cls && equal_no_case(w.cls->name, class_name);
}

// The proxy handle of a window of another process, made once per window.
HWND proxy_locked(const remote::Entry& e) {
    static auto* proxies = new std::vector<HWND>;  // few: one per foreign window found
    for (auto it = proxies->begin(); it != proxies->end();) {
        auto w = find_window_locked(*it);
        if (!w) {
            it = proxies->erase(it);
            continue;
        }
        if (w->pid == e.pid && w->remote_hwnd == e.hwnd) {
            w->text = e.title;
            w->remote_class = e.class_name;
            w->tid = e.tid;
            return w->hwnd;
        }
        ++it;
    }
    auto w = std::make_shared<Window>();
    w->kind = WindowKind::Remote;
    w->pid = e.pid;
    w->tid = e.tid;
    w->remote_hwnd = e.hwnd;
    w->remote_class = e.class_name;
    w->text = e.title;
    HWND h = add_window_locked(w);
    if (h) proxies->push_back(h);
    return h;
}

HWND find_remote(HWND child_after, LPCWSTR class_name, LPCWSTR title) {
    if (class_name && IS_INTRESOURCE(class_name)) return nullptr;  // atoms are per process
    auto entries = remote::others();
    std::lock_guard lock(user_mutex());
    bool skipping = child_after != nullptr;
    for (auto& e : entries) {
        HWND h = proxy_locked(e);
        if (skipping) {
            if (h == child_after) skipping = false;
            continue;
        }
        if (class_name && !equal_no_case(e.class_name, class_name)) continue;
        if (title && !equal_no_case(e.title, title)) continue;
        return h;
    }
    return nullptr;
}

}  // namespace

}  // namespace w32::user

using namespace w32::user;

HWND WINAPI FindWindowExW(HWND parent, HWND child_after, LPCWSTR class_name, LPCWSTR title) {
    bool after_is_remote = false;
    {
        std::lock_guard lock(user_mutex());
        WindowPtr p;
        if (!parent)
            p = desktop_locked();
        else if (parent == HWND_MESSAGE)
            p = message_root_locked();
        else
            p = find_window_locked(parent);
        if (!p || p->kind == WindowKind::Remote) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        if (child_after) {
            auto a = find_window_locked(child_after);
            after_is_remote = a && a->kind == WindowKind::Remote;
            if (!a || (!after_is_remote && a->parent != p->hwnd)) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
        }
        if (!after_is_remote) {
            const auto& list = p->children;
            auto it = list.begin();
            if (child_after) it = std::find(list.begin(), list.end(), child_after) + 1;
            for (; it < list.end(); ++it) {
                auto w = find_window_locked(*it);
                if (!w || w->destroying || !class_matches(*w, class_name)) continue;
                if (title && !equal_no_case(w->text, title)) continue;
                return w->hwnd;
            }
        }
        if (p->kind != WindowKind::Desktop) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return nullptr;
        }
    }
    HWND found = find_remote(after_is_remote ? child_after : nullptr, class_name, title);
    if (!found) SetLastError(ERROR_FILE_NOT_FOUND);
    return found;
}

HWND WINAPI FindWindowW(LPCWSTR class_name, LPCWSTR title) {
    return FindWindowExW(nullptr, nullptr, class_name, title);
}
