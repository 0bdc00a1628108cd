#include "window.h"

#include "message_queue.h"
#include "remote_windows.h"
#include "window_class.h"

#include <w32/gdi.h>
#include <w32/presenter.h>
#include <w32/screen.h>

#include <algorithm>

namespace w32::user {

namespace {

constexpr size_t kMaxWindows = 0x7FFE;
constexpr uint32_t kMaxGeneration = 0x7FFF;

struct Table {
    std::vector<WindowPtr> slots;
    std::vector<uint32_t> generation;
    std::vector<size_t> free_slots;
    WindowPtr desktop;
    WindowPtr message_root;
    HWND foreground = nullptr;
    HWND focus = nullptr;
    HWND capture = nullptr;
    HCURSOR cursor = nullptr;
};

Table& table() {
    static auto* t = new Table;  // never destroyed: threads may outlive static dtors
    return *t;
}

bool decode(HWND h, size_t* slot, uint32_t* gen) {
    auto v = reinterpret_cast<uintptr_t>(h);
    if (v > 0xFFFFFFFFu) return false;
    auto lo = static_cast<uint32_t>(v & 0xFFFF);
    auto hi = static_cast<uint32_t>(v >> 16);
    if (lo == 0 || (lo & 1) || hi == 0 || hi > kMaxGeneration) return false;
    *slot = lo / 2 - 1;
    *gen = hi;
    return true;
}

WindowPtr make_pseudo(WindowKind kind, const RECT& rect) {
    auto w = std::make_shared<Window>();
    w->kind = kind;
    w->pid = GetCurrentProcessId();
    w->rect = rect;
    w->client = rect;
    w->style = kind == WindowKind::Desktop ? (WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN) : WS_POPUP;
    add_window_locked(w);
    return w;
}

std::mutex& publish_mutex() {
    static auto* mu = new std::mutex;
    return *mu;
}

}  // namespace

std::mutex& user_mutex() {
    static auto* mu = new std::mutex;
    return *mu;
}

WindowPtr find_window_locked(HWND hwnd) {
    size_t slot;
    uint32_t gen;
    if (!decode(hwnd, &slot, &gen)) return nullptr;
    auto& t = table();
    if (slot >= t.slots.size() || t.generation[slot] != gen) return nullptr;
    return t.slots[slot];
}

HWND add_window_locked(const WindowPtr& w) {
    auto& t = table();
    size_t slot;
    if (!t.free_slots.empty()) {
        slot = t.free_slots.back();
        t.free_slots.pop_back();
    } else {
        if (t.slots.size() >= kMaxWindows) return nullptr;
        slot = t.slots.size();
        t.slots.emplace_back();
        t.generation.push_back(1);
    }
    t.slots[slot] = w;
    w->hwnd = reinterpret_cast<HWND>(
        static_cast<uintptr_t>((t.generation[slot] << 16) | ((slot + 1) * 2)));
    return w->hwnd;
}

void remove_window_locked(HWND hwnd) {
    size_t slot;
    uint32_t gen;
    if (!decode(hwnd, &slot, &gen)) return;
    auto& t = table();
    if (slot >= t.slots.size() || t.generation[slot] != gen) return;
    t.slots[slot].reset();
    t.generation[slot] = gen >= kMaxGeneration ? 1 : gen + 1;
    t.free_slots.push_back(slot);
    if (t.foreground == hwnd) t.foreground = nullptr;
    if (t.focus == hwnd) t.focus = nullptr;
    if (t.capture == hwnd) t.capture = nullptr;
}

WindowPtr desktop_locked() {
    auto& t = table();
    // Windows are made and found without opening the display; asking for the desktop
    // window does open it (GetDesktopWindow).
    if (!t.desktop) t.desktop = make_pseudo(WindowKind::Desktop, screen_rect(false));
    return t.desktop;
}

WindowPtr message_root_locked() {
    auto& t = table();
    if (!t.message_root) t.message_root = make_pseudo(WindowKind::MessageRoot, RECT{});
    return t.message_root;
}

HWND& foreground_locked() { return table().foreground; }

HWND& focus_locked() { return table().focus; }

HWND& capture_locked() { return table().capture; }

WindowPtr top_level_of_locked(WindowPtr w) {
    while (w && w->kind == WindowKind::Normal && !is_top_level_locked(*w)) {
        auto parent = find_window_locked(w->parent);
        if (!parent || parent->kind != WindowKind::Normal) break;
        w = parent;
    }
    return w;
}

HCURSOR& cursor_locked() { return table().cursor; }

bool is_top_level_locked(const Window& w) {
    return w.kind == WindowKind::Normal && w.parent == desktop_locked()->hwnd;
}

bool is_descendant_locked(HWND child, HWND ancestor) {
    auto w = find_window_locked(child);
    while (w && w->parent) {
        if (w->parent == ancestor) return true;
        w = find_window_locked(w->parent);
    }
    return false;
}

void collect_descendants_locked(HWND hwnd, std::vector<HWND>* out) {
    auto w = find_window_locked(hwnd);
    if (!w) return;
    for (HWND child : w->children) {
        out->push_back(child);
        collect_descendants_locked(child, out);
    }
}

POINT client_origin_locked(const Window& w) {
    POINT p{w.client.left, w.client.top};
    auto parent = find_window_locked(w.parent);
    while (parent && parent->kind == WindowKind::Normal) {
        p.x += parent->client.left;
        p.y += parent->client.top;
        parent = find_window_locked(parent->parent);
    }
    return p;
}

void unlink_from_parent_locked(Window& w) {
    if (auto parent = find_window_locked(w.parent)) std::erase(parent->children, w.hwnd);
}

std::vector<WindowPtr> owners_locked(const Window& w) {
    std::vector<WindowPtr> chain;
    for (auto o = find_window_locked(w.owner); o && o.get() != &w;
         o = find_window_locked(o->owner)) {
        if (std::find(chain.begin(), chain.end(), o) != chain.end()) break;
        chain.push_back(o);
    }
    return chain;
}

namespace {

// Moves w alone within its parent's list; false when it has no parent.
bool place_alone_locked(Window& w, HWND insert_after, WindowPtr* parent_out) {
    auto parent = find_window_locked(w.parent);
    if (!parent) return false;
    auto& list = parent->children;
    std::erase(list, w.hwnd);
    const bool banded = parent->kind == WindowKind::Desktop;
    auto is_topmost = [&](HWND h) {
        auto s = find_window_locked(h);
        return banded && s && (s->ex_style & WS_EX_TOPMOST);
    };
    // The first window that is not topmost: where the ordinary band starts.
    size_t band = 0;
    while (band < list.size() && is_topmost(list[band])) ++band;
    const bool topmost = banded && (w.ex_style & WS_EX_TOPMOST);

    size_t pos;
    if (insert_after == HWND_TOP) {
        pos = topmost ? 0 : band;
    } else if (insert_after == HWND_BOTTOM) {
        pos = list.size();
    } else {
        auto it = std::find(list.begin(), list.end(), insert_after);
        pos = it == list.end() ? (topmost ? 0 : band) : static_cast<size_t>(it - list.begin()) + 1;
    }
    if (topmost)
        pos = std::min(pos, band);
    else
        pos = std::max(pos, band);
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(pos), w.hwnd);
    *parent_out = std::move(parent);
    return true;
}

}  // namespace

void place_in_zorder_locked(Window& w, HWND insert_after, bool owners) {
    WindowPtr parent;
    if (!place_alone_locked(w, insert_after, &parent) || parent->kind != WindowKind::Desktop)
        return;
    // A window brought to the top brings its owners along, each right behind it.
    if (owners && insert_after == HWND_TOP) {
        HWND behind = w.hwnd;
        for (const WindowPtr& o : owners_locked(w)) {
            WindowPtr its_parent;
            place_alone_locked(*o, behind, &its_parent);
            behind = o->hwnd;
        }
    }
    keep_owned_in_front_locked(parent->children);
}

void keep_owned_in_front_locked(std::vector<HWND>& list) {
    // Each round moves one window behind one of its owners; they settle within n * n.
    for (size_t round = 0; round <= list.size() * list.size(); ++round) {
        bool moved = false;
        for (size_t i = 0; i < list.size() && !moved; ++i) {
            auto w = find_window_locked(list[i]);
            if (!w || !(w->style & WS_VISIBLE)) continue;
            for (const WindowPtr& o : owners_locked(*w)) {
                const auto front = list.begin() + static_cast<std::ptrdiff_t>(i);
                const auto at = std::find(list.begin(), front, o->hwnd);
                if (at == front) continue;
                if (o->ex_style & WS_EX_TOPMOST) w->ex_style |= WS_EX_TOPMOST;
                const auto to = at - list.begin();
                list.erase(front);
                list.insert(list.begin() + to, w->hwnd);
                moved = true;
                break;
            }
        }
        if (!moved) return;
    }
}

RECT frame_insets(DWORD style, DWORD ex_style, bool menu) {
    LONG edge = 0;
    if (style & WS_THICKFRAME) {
        edge = 8;
    } else if ((style & WS_DLGFRAME) || (ex_style & WS_EX_DLGMODALFRAME)) {
        edge = 3;
    } else if (style & WS_BORDER) {
        edge = 1;
    }
    if (ex_style & WS_EX_CLIENTEDGE) edge += 2;
    if (ex_style & WS_EX_STATICEDGE) edge += 1;
    RECT r{edge, edge, edge, edge};
    if ((style & WS_CAPTION) == WS_CAPTION) r.top += (ex_style & WS_EX_TOOLWINDOW) ? 17 : 23;
    if (menu) r.top += 20;
    return r;
}

// As on Windows, the primary monitor's size from the origin.
RECT screen_rect(bool open) {
    const RECT primary = w32::screen::current(open).primary().rect;
    return RECT{0, 0, primary.right - primary.left, primary.bottom - primary.top};
}

WindowPtr find_window(HWND hwnd) {
    std::lock_guard lock(user_mutex());
    return find_window_locked(hwnd);
}

WindowPtr get_window(HWND hwnd, bool any_kind) {
    auto w = find_window(hwnd);
    if (!w || (!any_kind && w->kind != WindowKind::Normal)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (w->kind == WindowKind::Desktop) {
        // The desktop window follows the screen as it changes; it is read here, where a
        // program asks about it, rather than at every walk of the top-level windows.
        const RECT screen = screen_rect(false);
        std::lock_guard lock(user_mutex());
        w->rect = w->client = screen;
    }
    return w;
}

void forget_thread_windows(DWORD tid) {
    bool top_level = false;
    {
        std::lock_guard lock(user_mutex());
        auto& t = table();
        std::vector<WindowPtr> gone;
        for (auto& w : t.slots) {
            if (w && w->kind == WindowKind::Normal && w->tid == tid) gone.push_back(w);
        }
        for (auto& w : gone) {
            top_level = top_level || is_top_level_locked(*w);
            unlink_from_parent_locked(*w);
            if (w->cls) --w->cls->windows;
            remove_window_locked(w->hwnd);
        }
    }
    if (top_level) {
        publish_windows();
        w32::present::windows_changed();
    }
}

void publish_windows() {
    std::lock_guard publishing(publish_mutex());
    std::vector<remote::Entry> mine;
    {
        std::lock_guard lock(user_mutex());
        auto desktop = desktop_locked();
        for (HWND h : desktop->children) {
            auto w = find_window_locked(h);
            if (!w || w->destroying) continue;
            mine.push_back(remote::Entry{GetCurrentProcessId(), w->tid,
                                         static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)),
                                         w->cls->name, w->text});
        }
    }
    remote::publish(mine);
}

}  // namespace w32::user
