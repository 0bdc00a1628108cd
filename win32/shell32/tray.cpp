// Shell_NotifyIconW: the process keeps every icon's state here. With a display and
// an XEmbed system tray the X11 presenter docks the visible icons there and brings
// their clicks back through w32::tray::click; without one, Win32TrayClick posts the
// callback message a click would bring. An icon whose owner window is gone leaves
// the tray the next time the tray is looked at. WIN32_TRAY_LOG names a file that
// records every change and click.
#include <w32/presenter.h>
#include <w32/text.h>
#include <w32/tray.h>

#include <shellapi.h>
#include <win32_debug.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Icon {
    HWND owner = nullptr;
    UINT id = 0;
    UINT flags = 0;
    UINT callback = 0;
    HICON icon = nullptr;
    DWORD state = 0;
    UINT timeout = 0;
    UINT version = 0;
    std::wstring tip;
};

struct Tray {
    std::mutex mu;
    std::vector<Icon> icons;
};

Tray& tray() {
    static auto* t = new Tray;  // never destroyed: other threads may still call in at exit
    return *t;
}

constexpr DWORD kSizeV1 = offsetof(NOTIFYICONDATAW, szTip) + 64 * sizeof(WCHAR);
constexpr DWORD kSizeTip128 = offsetof(NOTIFYICONDATAW, dwState);
constexpr DWORD kSizeState = offsetof(NOTIFYICONDATAW, szInfo);
constexpr DWORD kSizeTimeout = offsetof(NOTIFYICONDATAW, szInfoTitle);
constexpr DWORD kStateBits = NIS_HIDDEN | NIS_SHAREDICON;
constexpr size_t kTipMax = 127;

std::string hex(const void* p) {
    char buf[32];
    snprintf(buf, sizeof buf, "%08lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p)));
    return buf;
}

// One line per event: what<TAB>owner<TAB>id[<TAB>detail]. Best effort: a record
// that cannot be written never changes the tray's answer.
void log_event(const char* what, HWND owner, UINT id, const std::string& detail = {}) {
    const char* path = getenv("WIN32_TRAY_LOG");
    if (!path || !*path) return;
    std::string line = std::string(what) + "\t" + hex(owner) + "\t" + std::to_string(id);
    if (!detail.empty()) line += "\t" + detail;
    line += "\n";
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    ssize_t n = write(fd, line.data(), line.size());
    (void)n;
    close(fd);
}

std::string describe(const Icon& icon) {
    char buf[64];
    snprintf(buf, sizeof buf, "msg=0x%x icon=%s state=%lu tip=", icon.callback,
             hex(icon.icon).c_str(), static_cast<unsigned long>(icon.state));
    return buf + w32::to_utf8(icon.tip);
}

// Drops the icons of destroyed windows; called with the tray locked.
void prune_locked(Tray& t) {
    for (auto it = t.icons.begin(); it != t.icons.end();) {
        if (IsWindow(it->owner)) {
            ++it;
            continue;
        }
        log_event("gone", it->owner, it->id);
        it = t.icons.erase(it);
    }
}

Icon* find_locked(Tray& t, HWND owner, UINT id) {
    for (auto& icon : t.icons)
        if (icon.owner == owner && icon.id == id) return &icon;
    return nullptr;
}

// Applies the fields uFlags names, reading no further than cbSize allows.
void apply(Icon& icon, const NOTIFYICONDATAW& d) {
    if (d.uFlags & NIF_MESSAGE) icon.callback = d.uCallbackMessage;
    if (d.uFlags & NIF_ICON) icon.icon = d.hIcon;
    if (d.uFlags & NIF_TIP) {
        size_t cap = d.cbSize >= kSizeTip128 ? kTipMax : 63;
        size_t n = 0;
        while (n < cap && d.szTip[n]) ++n;
        icon.tip.assign(d.szTip, n);
    }
    if ((d.uFlags & NIF_STATE) && d.cbSize >= kSizeState) {
        DWORD mask = d.dwStateMask & kStateBits;
        icon.state = (icon.state & ~mask) | (d.dwState & mask);
    }
    if ((d.uFlags & NIF_INFO) && d.cbSize >= kSizeTimeout) icon.timeout = d.uTimeout;
    icon.flags |=
        d.uFlags & (NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_STATE | NIF_INFO | NIF_SHOWTIP);
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL notify_icon(DWORD message, PNOTIFYICONDATAW data);

// Posts the callback message of an icon, laid out for the version it asked for.
BOOL post_click(HWND owner, UINT id, UINT mouse_msg, POINT p) {
    UINT callback = 0, version = 0;
    {
        auto& t = tray();
        std::lock_guard lock(t.mu);
        prune_locked(t);
        const Icon* icon = find_locked(t, owner, id);
        if (!icon) return fail(ERROR_NOT_FOUND);
        if (!icon->callback || (icon->state & NIS_HIDDEN)) return fail(ERROR_INVALID_PARAMETER);
        callback = icon->callback;
        version = icon->version;
        char detail[32];
        snprintf(detail, sizeof detail, "0x%04x", mouse_msg);
        log_event("click", owner, id, detail);
    }
    // Posted outside the tray's lock: the owner's thread may be inside Shell_NotifyIconW.
    if (version >= NOTIFYICON_VERSION_4)
        return PostMessageW(owner, callback, MAKEWPARAM(p.x, p.y), MAKELPARAM(mouse_msg, id));
    return PostMessageW(owner, callback, static_cast<WPARAM>(id), static_cast<LPARAM>(mouse_msg));
}

}  // namespace

std::vector<w32::tray::IconView> w32::tray::visible_icons() {
    auto& t = ::tray();
    std::lock_guard lock(t.mu);
    prune_locked(t);
    std::vector<IconView> out;
    for (const auto& icon : t.icons)
        if (!(icon.state & NIS_HIDDEN))
            out.push_back(IconView{icon.owner, icon.id, icon.icon, icon.tip});
    return out;
}

BOOL w32::tray::click(HWND owner, UINT id, UINT mouse_msg, POINT p) {
    return post_click(owner, id, mouse_msg, p);
}

extern "C" BOOL WINAPI Shell_NotifyIconW(DWORD message, PNOTIFYICONDATAW data) {
    const BOOL done = notify_icon(message, data);
    if (done && message != NIM_SETFOCUS) w32::present::tray_changed();
    return done;
}

namespace {

BOOL notify_icon(DWORD message, PNOTIFYICONDATAW data) {
    if (!data || data->cbSize < kSizeV1) return fail(ERROR_INVALID_PARAMETER);
    if (message > NIM_SETVERSION) return fail(ERROR_INVALID_PARAMETER);
    if (!IsWindow(data->hWnd)) return fail(ERROR_INVALID_WINDOW_HANDLE);
    auto& t = tray();
    std::lock_guard lock(t.mu);
    prune_locked(t);
    Icon* icon = find_locked(t, data->hWnd, data->uID);
    switch (message) {
        case NIM_ADD: {
            if (icon) return fail(ERROR_ALREADY_EXISTS);
            Icon fresh;
            fresh.owner = data->hWnd;
            fresh.id = data->uID;
            // The time-out rides along with an add even without a balloon.
            if (data->cbSize >= kSizeTimeout) fresh.timeout = data->uTimeout;
            apply(fresh, *data);
            log_event("add", fresh.owner, fresh.id, describe(fresh));
            t.icons.push_back(std::move(fresh));
            return TRUE;
        }
        case NIM_MODIFY:
            if (!icon) return fail(ERROR_NOT_FOUND);
            apply(*icon, *data);
            log_event("modify", icon->owner, icon->id, describe(*icon));
            return TRUE;
        case NIM_DELETE:
            if (!icon) return fail(ERROR_NOT_FOUND);
            log_event("delete", icon->owner, icon->id);
            t.icons.erase(t.icons.begin() + (icon - t.icons.data()));
            return TRUE;
        case NIM_SETFOCUS:
            if (!icon) return fail(ERROR_NOT_FOUND);
            return TRUE;
        case NIM_SETVERSION:
            if (!icon) return fail(ERROR_NOT_FOUND);
            if (data->cbSize < kSizeTimeout) return fail(ERROR_INVALID_PARAMETER);
            icon->version = data->uVersion;
            return TRUE;
    }
    return fail(ERROR_INVALID_PARAMETER);
}

}  // namespace

extern "C" BOOL WINAPI Win32TrayClick(HWND owner, UINT id, UINT button_message) {
    POINT p{};
    GetCursorPos(&p);
    return post_click(owner, id, button_message, p);
}

extern "C" UINT WINAPI Win32TrayIconCount(HWND owner) {
    auto& t = tray();
    std::lock_guard lock(t.mu);
    prune_locked(t);
    UINT n = 0;
    for (const auto& icon : t.icons)
        if (!owner || icon.owner == owner) ++n;
    return n;
}

extern "C" BOOL WINAPI Win32TrayIconState(HWND owner, UINT id, WIN32_TRAY_ICON_STATE* state) {
    if (!state) return fail(ERROR_INVALID_PARAMETER);
    auto& t = tray();
    std::lock_guard lock(t.mu);
    prune_locked(t);
    const Icon* icon = find_locked(t, owner, id);
    if (!icon) return fail(ERROR_NOT_FOUND);
    *state = WIN32_TRAY_ICON_STATE{};
    state->owner = icon->owner;
    state->id = icon->id;
    state->flags = icon->flags;
    state->callback_message = icon->callback;
    state->icon = icon->icon;
    state->state = icon->state;
    state->timeout = icon->timeout;
    icon->tip.copy(state->tip, kTipMax);
    return TRUE;
}
