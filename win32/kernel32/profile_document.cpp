#include "kernel32/profile_document.h"

#include "kernel32/case_fold.h"

#include <w32/error.h>
#include <w32/text.h>
#include <w32/whole_file.h>

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace w32 {

namespace {

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\v' || c == L'\f'; }

std::wstring_view trim(std::wstring_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

enum class Kind { Blank, Comment, Section, Entry };

struct Parsed {
    Kind kind;
    std::wstring_view name;                  // section name or key
    std::optional<std::wstring_view> value;  // an entry without "=" has none
};

Parsed parse(const std::wstring& line) {
    std::wstring_view t = trim(line);
    if (t.empty()) return {Kind::Blank, {}, {}};
    if (t.front() == L';') return {Kind::Comment, {}, {}};
    if (t.front() == L'[') {
        t.remove_prefix(1);
        size_t close = t.find(L']');
        return {Kind::Section, trim(t.substr(0, close)), {}};
    }
    size_t eq = t.find(L'=');
    if (eq == std::wstring_view::npos) return {Kind::Entry, t, std::nullopt};
    return {Kind::Entry, trim(t.substr(0, eq)), trim(t.substr(eq + 1))};
}

bool read_all(const std::string& path, std::string* out) {
    int err = read_whole_file(path, out);
    return err == 0 || fail_errno(err);
}

std::string bom_of(ProfileDocument::Encoding e) {
    switch (e) {
        case ProfileDocument::Encoding::Utf8Bom:
            return "\xEF\xBB\xBF";
        case ProfileDocument::Encoding::Utf16Le:
            return "\xFF\xFE";
        case ProfileDocument::Encoding::Utf16Be:
            return "\xFE\xFF";
        default:
            return {};
    }
}

bool is_utf16(ProfileDocument::Encoding e) {
    return e == ProfileDocument::Encoding::Utf16Le || e == ProfileDocument::Encoding::Utf16Be;
}

std::wstring decode(ProfileDocument::Encoding e, std::string_view raw) {
    std::wstring out;
    if (!is_utf16(e)) {
        decode_utf8(raw, out);  // invalid bytes read as U+FFFD; the raw line keeps them
        return out;
    }
    const bool le = e == ProfileDocument::Encoding::Utf16Le;
    std::u16string units;
    units.reserve(raw.size() / 2);
    for (size_t i = 0; i + 1 < raw.size(); i += 2) {
        auto a = static_cast<unsigned char>(raw[i]);
        auto b = static_cast<unsigned char>(raw[i + 1]);
        units += static_cast<char16_t>(le ? (a | (b << 8)) : ((a << 8) | b));
    }
    return utf16_to_wide(units);
}

std::string encode(ProfileDocument::Encoding e, std::wstring_view text) {
    std::string out;
    if (!is_utf16(e)) {
        encode_utf8(text, out);
        return out;
    }
    const bool le = e == ProfileDocument::Encoding::Utf16Le;
    for (char16_t u : wide_to_utf16(text)) {
        const char lo = static_cast<char>(u & 0xFF);
        const char hi = static_cast<char>(u >> 8);
        out += le ? lo : hi;
        out += le ? hi : lo;
    }
    return out;
}

struct RawLine {
    std::string_view text, end;  // end: the line end's bytes, "" for a last line without one
};

// Splits at CR LF, LF or CR, in units of unit bytes; a line end at the very end
// adds no empty line.
std::vector<RawLine> split_lines(std::string_view body, ProfileDocument::Encoding e) {
    std::vector<RawLine> lines;
    const size_t unit = is_utf16(e) ? 2 : 1;
    const bool le = e == ProfileDocument::Encoding::Utf16Le;
    auto unit_at = [&](size_t i) -> unsigned {
        if (unit == 1) return static_cast<unsigned char>(body[i]);
        auto a = static_cast<unsigned char>(body[i]);
        auto b = static_cast<unsigned char>(body[i + 1]);
        return le ? (a | (b << 8)) : ((a << 8) | b);
    };
    const size_t end = body.size() - body.size() % unit;
    size_t start = 0;
    size_t i = 0;
    while (i < end) {
        const unsigned c = unit_at(i);
        if (c != '\r' && c != '\n') {
            i += unit;
            continue;
        }
        const size_t line_end = i;
        i += unit;
        if (c == '\r' && i < end && unit_at(i) == '\n') i += unit;
        lines.push_back(
            {body.substr(start, line_end - start), body.substr(line_end, i - line_end)});
        start = i;
    }
    if (start < end) lines.push_back({body.substr(start, end - start), {}});
    return lines;
}

}  // namespace

std::string ProfileDocument::write_target(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved)) return resolved;
    }
    return path;
}

namespace {

bool folder_exists(const std::string& file) {
    size_t slash = file.rfind('/');
    if (slash == std::string::npos) return true;
    std::string dir = slash == 0 ? "/" : file.substr(0, slash);
    struct stat st;
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool ProfileDocument::load(const std::string& path, ProfileDocument* out) {
    std::string bytes;
    if (!read_all(path, &bytes)) return false;
    ProfileDocument doc;
    std::string_view body(bytes);
    for (Encoding e : {Encoding::Utf8Bom, Encoding::Utf16Le, Encoding::Utf16Be}) {
        const std::string bom = bom_of(e);
        if (body.substr(0, bom.size()) == bom) {
            doc.encoding_ = e;
            body.remove_prefix(bom.size());
            break;
        }
    }
    for (const RawLine& raw : split_lines(body, doc.encoding_)) {
        doc.lines_.push_back(
            {std::string(raw.text), decode(doc.encoding_, raw.text), std::string(raw.end)});
    }
    *out = std::move(doc);
    return true;
}

bool ProfileDocument::save(const std::string& path) const {
    const std::string target = write_target(path);
    struct stat st;
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && ::access(target.c_str(), W_OK) != 0) return fail(ERROR_ACCESS_DENIED);
    if (!exists && !folder_exists(target)) return fail(ERROR_PATH_NOT_FOUND);

    std::string data = bom_of(encoding_);
    const std::string eol = encode(encoding_, L"\r\n");
    for (size_t i = 0; i < lines_.size(); ++i) {
        data += lines_[i].raw;
        // A last line without an end keeps none, unless lines now follow it.
        data += !lines_[i].end.empty() || i + 1 == lines_.size() ? lines_[i].end : eol;
    }

    const int err = write_file_atomically(target, data, {.keep_mode = true});
    if (err == EEXIST) return fail(ERROR_CANNOT_MAKE);
    if (err != 0) return fail_errno(err);
    return true;
}

std::optional<std::pair<size_t, size_t>> ProfileDocument::find_section(
    std::wstring_view section) const {
    section = trim(section);
    for (size_t i = 0; i < lines_.size(); ++i) {
        Parsed p = parse(lines_[i].text);
        if (p.kind != Kind::Section || !equal_no_case(p.name, section)) continue;
        size_t end = i + 1;
        while (end < lines_.size() && parse(lines_[end].text).kind != Kind::Section) ++end;
        return std::pair{i, end};
    }
    return std::nullopt;
}

std::optional<size_t> ProfileDocument::find_key(std::pair<size_t, size_t> range,
                                                std::wstring_view key) const {
    key = trim(key);
    for (size_t i = range.first + 1; i < range.second; ++i) {
        Parsed p = parse(lines_[i].text);
        if (p.kind == Kind::Entry && p.value && equal_no_case(p.name, key)) return i;
    }
    return std::nullopt;
}

ProfileDocument::Line ProfileDocument::make_line(std::wstring text) const {
    Line line;
    line.raw = encode(encoding_, text);
    line.text = std::move(text);
    line.end = encode(encoding_, L"\r\n");
    return line;
}

std::vector<std::wstring> ProfileDocument::sections() const {
    std::vector<std::wstring> out;
    for (const Line& line : lines_) {
        Parsed p = parse(line.text);
        if (p.kind == Kind::Section) out.emplace_back(p.name);
    }
    return out;
}

std::vector<std::wstring> ProfileDocument::keys(std::wstring_view section) const {
    std::vector<std::wstring> out;
    auto range = find_section(section);
    if (!range) return out;
    for (size_t i = range->first + 1; i < range->second; ++i) {
        Parsed p = parse(lines_[i].text);
        if (p.kind == Kind::Entry && p.value) out.emplace_back(p.name);  // "=" makes a key
    }
    return out;
}

std::optional<std::wstring> ProfileDocument::value(std::wstring_view section,
                                                   std::wstring_view key) const {
    auto range = find_section(section);
    if (!range) return std::nullopt;
    auto at = find_key(*range, key);
    if (!at) return std::nullopt;
    return std::wstring(parse(lines_[*at].text).value.value_or(std::wstring_view()));
}

bool ProfileDocument::set_value(std::wstring_view section, std::wstring_view key,
                                std::wstring_view value) {
    section = trim(section);
    key = trim(key);
    while (!value.empty() && is_blank(value.front())) value.remove_prefix(1);
    auto range = find_section(section);
    if (!range) {
        lines_.push_back(make_line(L"[" + std::wstring(section) + L"]"));
        lines_.push_back(make_line(std::wstring(key) + L"=" + std::wstring(value)));
        return true;
    }
    if (auto at = find_key(*range, key)) {
        Parsed p = parse(lines_[*at].text);
        if (p.value && *p.value == value) return false;
        Line line = make_line(std::wstring(p.name) + L"=" + std::wstring(value));
        line.end = lines_[*at].end;
        lines_[*at] = std::move(line);
        return true;
    }
    // After the section's last key, so blank lines and comments that lead into the
    // next section stay with it.
    size_t insert = range->first + 1;
    for (size_t i = range->first + 1; i < range->second; ++i) {
        if (parse(lines_[i].text).kind == Kind::Entry) insert = i + 1;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert),
                  make_line(std::wstring(key) + L"=" + std::wstring(value)));
    return true;
}

bool ProfileDocument::delete_key(std::wstring_view section, std::wstring_view key) {
    auto range = find_section(section);
    if (!range) return false;
    auto at = find_key(*range, key);
    if (!at) return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*at));
    return true;
}

bool ProfileDocument::delete_section(std::wstring_view section) {
    bool changed = false;
    while (auto range = find_section(section)) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->first),
                     lines_.begin() + static_cast<std::ptrdiff_t>(range->second));
        changed = true;
    }
    return changed;
}

}  // namespace w32
