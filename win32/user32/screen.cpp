// The screen layout in force: WIN32_SCREEN's when set, else the X server's while the
// presenter shows windows there, else one 1280x800 monitor.
#include <w32/presenter.h>
#include <w32/screen.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace w32::screen {
namespace {

struct Store {
    std::vector<std::string> names;  // a monitor's handle is its name's place here
    bool published = false;
    Layout from_x;
    std::string setting;  // WIN32_SCREEN as last parsed
    bool setting_ok = false;
    Layout from_setting;
};

std::mutex& store_mutex() {
    static auto* m = new std::mutex;
    return *m;
}

Store& store() {
    static auto* s = new Store;
    return *s;
}

// Handles stay with a monitor's name for as long as the process runs.
void give_handles(Store& s, Layout& layout) {
    for (Monitor& m : layout.monitors) {
        auto it = std::find(s.names.begin(), s.names.end(), m.name);
        if (it == s.names.end()) it = s.names.insert(s.names.end(), m.name);
        m.handle =
            reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(0x10001 + (it - s.names.begin())));
    }
}

Layout fixed_default(Store& s) {
    Layout layout;
    const RECT r{0, 0, 1280, 800};
    layout.monitors.push_back(Monitor{r, r, "DEFAULT", nullptr});
    give_handles(s, layout);
    return layout;
}

bool contains(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

int64_t overlap(const RECT& a, const RECT& b) {
    const int64_t w = std::min(a.right, b.right) - std::max(a.left, b.left);
    const int64_t h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

// Squared distance between two rectangles (0 when they touch or overlap).
int64_t gap(const RECT& a, const RECT& b) {
    const int64_t dx = std::max<int64_t>({0, b.left - a.right + 1, a.left - b.right + 1});
    const int64_t dy = std::max<int64_t>({0, b.top - a.bottom + 1, a.top - b.bottom + 1});
    return dx * dx + dy * dy;
}

const Monitor* nearest_to(const std::vector<Monitor>& monitors, const RECT& r) {
    const Monitor* best = &monitors.front();
    for (const Monitor& m : monitors)
        if (gap(m.rect, r) < gap(best->rect, r)) best = &m;
    return best;
}

// "1920x1080" or "1280x1024,1280x1024+1280+0" (the primary first); false when malformed.
bool parse(const std::string& text, Layout* out) {
    Layout layout;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, end - start);
        int w = 0, h = 0, x = 0, y = 0, used = 0, rest = 0;
        if (sscanf(item.c_str(), "%dx%d%n", &w, &h, &used) != 2) return false;
        if (static_cast<size_t>(used) < item.size() &&
            (sscanf(item.c_str() + used, "%d%d%n", &x, &y, &rest) != 2 ||
             strchr("+-", item[used]) == nullptr))
            return false;
        if (static_cast<size_t>(used + rest) != item.size()) return false;
        if (w <= 0 || h <= 0 || w > 32767 || h > 32767 || x < -32768 || y < -32768 ||
            x + w > 32767 || y + h > 32767)
            return false;
        const RECT r{x, y, x + w, y + h};
        layout.monitors.push_back(
            Monitor{r, r, "WIN32_SCREEN" + std::to_string(layout.monitors.size()), nullptr});
        start = end + 1;
    }
    *out = std::move(layout);
    return true;
}

}  // namespace

RECT Layout::bounds() const {
    RECT b = monitors.front().rect;
    for (const Monitor& m : monitors) {
        b.left = std::min(b.left, m.rect.left);
        b.top = std::min(b.top, m.rect.top);
        b.right = std::max(b.right, m.rect.right);
        b.bottom = std::max(b.bottom, m.rect.bottom);
    }
    return b;
}

const Monitor* Layout::at(POINT p, bool nearest) const {
    for (const Monitor& m : monitors)
        if (contains(m.rect, p)) return &m;
    return nearest ? nearest_to(monitors, RECT{p.x, p.y, p.x + 1, p.y + 1}) : nullptr;
}

const Monitor* Layout::at(const RECT& r, bool nearest) const {
    if (r.right <= r.left || r.bottom <= r.top) return at(POINT{r.left, r.top}, nearest);
    const Monitor* best = nullptr;
    for (const Monitor& m : monitors)
        if (overlap(m.rect, r) > (best ? overlap(best->rect, r) : 0)) best = &m;
    return best || !nearest ? best : nearest_to(monitors, r);
}

const Monitor* Layout::by_handle(HMONITOR h) const {
    for (const Monitor& m : monitors)
        if (h && m.handle == h) return &m;
    return nullptr;
}

Layout current(bool open) {
    const char* setting = getenv("WIN32_SCREEN");
    if (setting && *setting) {
        std::lock_guard lock(store_mutex());
        Store& s = store();
        if (s.setting != setting) {
            s.setting = setting;
            s.setting_ok = parse(s.setting, &s.from_setting);
            if (s.setting_ok) give_handles(s, s.from_setting);
        }
        if (s.setting_ok) return s.from_setting;
    }
    bool published;
    {
        std::lock_guard lock(store_mutex());
        published = store().published;
    }
    // Outside the lock: the presenter publishes while it opens the display. Once it has
    // published, asking whether it still shows opens nothing.
    const bool shown = (open || published) && present::showing();
    std::lock_guard lock(store_mutex());
    Store& s = store();
    return shown && s.published ? s.from_x : fixed_default(s);
}

void publish(Layout layout) {
    if (layout.monitors.empty()) return;
    std::lock_guard lock(store_mutex());
    Store& s = store();
    give_handles(s, layout);
    s.from_x = std::move(layout);
    s.published = true;
}

}  // namespace w32::screen
