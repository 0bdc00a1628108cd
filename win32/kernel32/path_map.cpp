#include <w32/path.h>
#include <w32/text.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cwctype>
#include <mutex>

#include "win32_unixpath.h"

namespace w32 {
namespace {

struct DriveCache {
    std::mutex mu;
    bool loaded = false;
    std::string source;  // the WIN32_DRIVES value the table was built from
    std::vector<Drive> table;
};

DriveCache& cache() {
    static auto* c = new DriveCache;
    return *c;
}

std::string strip_trailing_slash(std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

UINT parse_type(const std::string& t) {
    if (t == "remote") return DRIVE_REMOTE;
    if (t == "removable") return DRIVE_REMOVABLE;
    if (t == "cdrom") return DRIVE_CDROM;
    if (t == "ramdisk") return DRIVE_RAMDISK;
    return DRIVE_FIXED;
}

std::vector<Drive> build_table(const char* spec) {
    std::vector<Drive> out;
    if (!spec) {
        const char* home = getenv("HOME");
        out.push_back({L'C', strip_trailing_slash(home && *home ? home : "/root"), DRIVE_FIXED});
        out.push_back({L'Z', "/", DRIVE_FIXED});
        return out;
    }
    std::string s(spec);
    size_t pos = 0;
    while (pos <= s.size()) {
        size_t end = s.find(';', pos);
        if (end == std::string::npos) end = s.size();
        std::string item = s.substr(pos, end - pos);
        pos = end + 1;
        auto eq = item.find('=');
        if (eq != 1 || !isalpha(static_cast<unsigned char>(item[0]))) continue;
        // The folder, then ":type", ":ro" and ":free=N" in any order.
        std::string rest = item.substr(2);
        size_t colon = rest.find(':');
        std::string folder = rest.substr(0, colon);
        UINT type = DRIVE_FIXED;
        bool read_only = false;
        int64_t free_bytes = -1;
        while (colon != std::string::npos) {
            size_t next = rest.find(':', colon + 1);
            std::string opt =
                rest.substr(colon + 1, next == std::string::npos ? next : next - colon - 1);
            if (opt == "ro") {
                read_only = true;
            } else if (opt.rfind("free=", 0) == 0) {
                free_bytes = strtoll(opt.c_str() + 5, nullptr, 10);
            } else if (!opt.empty()) {
                type = parse_type(opt);
            }
            colon = next;
        }
        if (folder.empty() || folder[0] != '/') continue;
        wchar_t letter = static_cast<wchar_t>(toupper(static_cast<unsigned char>(item[0])));
        bool dup = false;
        for (auto& d : out) dup = dup || d.letter == letter;
        if (!dup)
            out.push_back({letter, strip_trailing_slash(folder), type, read_only, free_bytes});
    }
    std::sort(out.begin(), out.end(),
              [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
    return out;
}

bool is_sep(wchar_t c) { return c == L'\\' || c == L'/'; }

// Splits on both separators and resolves "." and ".." lexically; ".." never
// climbs above the start.
std::string normalise(std::wstring_view rest) {
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < rest.size()) {
        while (i < rest.size() && is_sep(rest[i])) ++i;
        size_t j = i;
        while (j < rest.size() && !is_sep(rest[j])) ++j;
        if (j > i) {
            std::wstring_view part = rest.substr(i, j - i);
            if (part == L".") {
            } else if (part == L"..") {
                if (!parts.empty()) parts.pop_back();
            } else {
                parts.push_back(to_utf8(part));
            }
        }
        i = j;
    }
    std::string out;
    for (auto& p : parts) {
        out += '/';
        out += p;
    }
    return out;
}

std::string join_root(const std::string& root, const std::string& rest) {
    if (rest.empty()) return root;
    if (root == "/") return rest;
    return root + rest;
}

wchar_t current_drive_letter() {
    char buf[4096];
    if (!getcwd(buf, sizeof buf)) return L'Z';
    std::wstring w = to_windows(buf);
    return w.size() >= 2 && w[1] == L':' ? w[0] : L'Z';
}

}  // namespace

std::vector<Drive> drives() {
    auto& c = cache();
    const char* spec = getenv("WIN32_DRIVES");
    std::lock_guard lock(c.mu);
    std::string key = spec ? std::string("=") + spec : std::string();
    if (!c.loaded || key != c.source) {
        c.table = build_table(spec);
        c.source = key;
        c.loaded = true;
    }
    return c.table;
}

bool find_drive(wchar_t letter, Drive* out) {
    letter = static_cast<wchar_t>(towupper(letter));
    for (auto& d : drives()) {
        if (d.letter == letter) {
            if (out) *out = d;
            return true;
        }
    }
    return false;
}

namespace {

// Windows drops the trailing dots and blanks of a path's last name ("a.txt. " is
// "a.txt"); "." and ".." stay what they are, and so does a path that ends in a
// separator.
std::wstring_view trim_final_name(std::wstring_view win) {
    if (win.empty() || is_sep(win.back())) return win;
    size_t start = win.find_last_of(L"\\/");
    start =
        start == std::wstring_view::npos ? (win.size() >= 2 && win[1] == L':' ? 2 : 0) : start + 1;
    const std::wstring_view name = win.substr(start);
    if (name == L"." || name == L"..") return win;
    while (win.size() > start && (win.back() == L'.' || win.back() == L' ')) win.remove_suffix(1);
    return win;
}

}  // namespace

std::string to_unix(std::wstring_view win) {
    if (win.empty()) return {};
    // "\\?\C:\x" is a plain drive path taken as it stands; other "\\" forms are
    // shares or devices.
    if (win.size() >= 4 && is_sep(win[0]) && is_sep(win[1]) && win[2] == L'?' && is_sep(win[3]))
        win.remove_prefix(4);
    else
        win = trim_final_name(win);
    if (win.empty()) return {};
    if (win.size() >= 2 && is_sep(win[0]) && is_sep(win[1])) return {};

    if (win.size() >= 2 && win[1] == L':' && iswalpha(win[0])) {
        Drive d;
        if (!find_drive(win[0], &d)) return {};
        return join_root(d.root, normalise(win.substr(2)));
    }
    if (is_sep(win[0])) {
        Drive d;
        if (!find_drive(current_drive_letter(), &d)) return {};
        return join_root(d.root, normalise(win));
    }
    std::string out = to_utf8(win);
    for (auto& ch : out)
        if (ch == '\\') ch = '/';
    return out;
}

namespace {

// The absolute, lexically normalised form of a Linux path.
std::string absolute_normal(const std::string& unix_path) {
    std::string abs = unix_path;
    if (abs.empty() || abs[0] != '/') {
        char buf[4096];
        if (!getcwd(buf, sizeof buf)) return {};
        abs = std::string(buf) + (abs.empty() ? "" : "/" + abs);
    }
    std::string norm = normalise(from_utf8(abs));
    return norm.empty() ? "/" : norm;
}

const Drive* closest_drive(const std::vector<Drive>& table, const std::string& norm) {
    const Drive* best = nullptr;
    for (auto& d : table) {
        bool inside = d.root == "/" || norm == d.root ||
                      (norm.size() > d.root.size() && norm.compare(0, d.root.size(), d.root) == 0 &&
                       norm[d.root.size()] == '/');
        if (inside && (!best || d.root.size() > best->root.size())) best = &d;
    }
    return best;
}

}  // namespace

std::wstring to_windows(const std::string& unix_path) {
    std::string norm = absolute_normal(unix_path);
    if (norm.empty()) return {};
    auto table = drives();
    const Drive* best = closest_drive(table, norm);
    if (!best) return {};
    std::string rest = best->root == "/" ? norm : norm.substr(best->root.size());
    std::wstring out;
    out += best->letter;
    out += L':';
    std::wstring wrest = from_utf8(rest);
    for (auto& ch : wrest)
        if (ch == L'/') ch = L'\\';
    if (wrest.empty()) wrest = L"\\";
    return out + wrest;
}

bool drive_of(const std::string& unix_path, Drive* out) {
    std::string norm = absolute_normal(unix_path);
    if (norm.empty()) return false;
    auto table = drives();
    const Drive* best = closest_drive(table, norm);
    if (!best) return false;
    if (out) *out = *best;
    return true;
}

bool is_drive_root(const std::string& unix_path) {
    std::string norm = absolute_normal(unix_path);
    for (auto& d : drives()) {
        if (d.root == norm) return true;
    }
    return false;
}

bool write_protected(const std::string& unix_path) {
    Drive d;
    return drive_of(unix_path, &d) && d.read_only;
}

}  // namespace w32

std::string Win32PathToUnix(const wchar_t* path) {
    return path ? w32::to_unix(path) : std::string();
}

std::string Win32PathToUnixA(const char* path) {
    return path ? w32::to_unix(w32::from_utf8(path)) : std::string();
}

std::wstring UnixPathToWin32(const std::string& path) { return w32::to_windows(path); }
