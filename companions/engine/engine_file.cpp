#include "engine_file.h"

#include <charconv>

#include "posix_file.h"

namespace dravon {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool valid_md5(std::string& md5) {
    if (md5.size() != 32) return false;
    for (char& c : md5) {
        if (c >= 'A' && c <= 'F') c = char(c - 'A' + 'a');
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

bool valid_file_name(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\:") == std::string::npos && name.size() < 200;
}

bool valid_url(const std::string& url) {
    return url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
}

std::optional<GameEntry> parse_game(const std::string& text, const std::string& key,
                                    EngineFileError& error) {
    std::string_view rest = text;
    if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);
    bool in_section = false, found = false;
    GameEntry entry;
    entry.key = key;
    bool has_size = false;
    while (!rest.empty()) {
        size_t eol = rest.find('\n');
        std::string_view line = trim(rest.substr(0, eol));
        rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            in_section = trim(line.substr(1, line.size() - 2)) == key;
            found = found || in_section;
            continue;
        }
        if (!in_section) continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view name = trim(line.substr(0, eq));
        std::string value(trim(line.substr(eq + 1)));
        if (name == "url") {
            entry.url = value;
        } else if (name == "size") {
            auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), entry.size);
            has_size = ec == std::errc() && end == value.data() + value.size();
        } else if (name == "md5") {
            entry.md5 = value;
        } else if (name == "file") {
            entry.file = value;
        }
    }
    if (!found) {
        error = EngineFileError::kUnknownGame;
        return std::nullopt;
    }
    if (!has_size || entry.size == 0 || entry.size > uint64_t(INT64_MAX) || !valid_url(entry.url) ||
        !valid_md5(entry.md5) || !valid_file_name(entry.file)) {
        error = EngineFileError::kMalformedEntry;
        return std::nullopt;
    }
    error = EngineFileError::kNone;
    return entry;
}

}  // namespace

std::optional<GameEntry> find_game(const std::string& path, const std::string& key,
                                   EngineFileError& error) {
    std::string text;
    if (!read_file(path, text)) {
        error = EngineFileError::kUnreadable;
        return std::nullopt;
    }
    return parse_game(text, key, error);
}

}  // namespace dravon
