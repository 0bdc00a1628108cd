#include "task_store.h"

#include <unistd.h>

#include <charconv>
#include <string_view>

namespace dravon {
namespace {

// Keys are short ASCII names in practice; anything else is escaped so a key can
// never name a path outside the store.
std::string file_stem(const std::string& key) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : key) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '_' || c == '-';
        if (plain) {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// Values are written on one line each; line breaks inside them are escaped.
std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string unescape(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char n = s[++i];
            out += n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool parse_u64(std::string_view s, uint64_t& out) {
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

}  // namespace

std::string TaskStore::path_of(const std::string& key, const char* suffix) const {
    return join_path(dir_, file_stem(key) + suffix);
}

bool TaskStore::ensure_dir() const { return make_dirs(dir_, 0700); }

std::optional<TaskRecord> TaskStore::load(const std::string& key) const {
    std::string text;
    if (!read_file(path_of(key, ".task"), text)) return std::nullopt;
    TaskRecord r;
    bool has_size = false, has_committed = false, has_synced = false;
    std::string boot;
    std::string_view rest = text;
    while (!rest.empty()) {
        size_t eol = rest.find('\n');
        std::string_view line = rest.substr(0, eol);
        rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view name = line.substr(0, eq);
        std::string value = unescape(line.substr(eq + 1));
        if (name == "key")
            r.key = value;
        else if (name == "save_folder")
            r.save_folder = value;
        else if (name == "url")
            r.url = value;
        else if (name == "size")
            has_size = parse_u64(value, r.size);
        else if (name == "md5")
            r.md5 = value;
        else if (name == "file")
            r.file = value;
        else if (name == "channel")
            r.channel = value;
        else if (name == "validator")
            r.validator = value;
        else if (name == "committed")
            has_committed = parse_u64(value, r.committed);
        else if (name == "md5_state")
            r.md5_state = value;
        else if (name == "synced")
            has_synced = parse_u64(value, r.synced);
        else if (name == "synced_md5_state")
            r.synced_md5_state = value;
        else if (name == "boot")
            boot = value;
        else if (name == "complete")
            r.complete = value == "1";
        else if (name == "verified")
            r.verified = value;
        else if (name == "last_error")
            r.last_error = value;
    }
    // A record that does not hold together is no record: the download starts anew.
    if (r.key != key || !has_size || !has_committed || r.committed > r.size || r.file.empty())
        return std::nullopt;
    if (!has_synced) {
        // Written when every checkpoint was flushed to disk.
        r.synced = r.committed;
        r.synced_md5_state = r.md5_state;
    } else if (r.synced > r.committed) {
        return std::nullopt;
    } else if (boot.empty() || boot != boot_id_) {
        // The machine may have lost what was only in its memory.
        r.committed = r.synced;
        r.md5_state = r.synced_md5_state;
    }
    return r;
}

bool TaskStore::save(const TaskRecord& r) const {
    std::string text;
    auto put = [&](const char* name, const std::string& value) {
        text += name;
        text += '=';
        text += escape(value);
        text += '\n';
    };
    put("key", r.key);
    put("save_folder", r.save_folder);
    put("url", r.url);
    put("size", std::to_string(r.size));
    put("md5", r.md5);
    put("file", r.file);
    put("channel", r.channel);
    put("validator", r.validator);
    put("committed", std::to_string(r.committed));
    put("md5_state", r.md5_state);
    put("synced", std::to_string(r.synced));
    put("synced_md5_state", r.synced_md5_state);
    put("boot", boot_id_);
    put("complete", r.complete ? "1" : "0");
    put("verified", r.verified);
    put("last_error", r.last_error);
    return ensure_dir() && write_file_atomic(path_of(r.key, ".task"), text);
}

void TaskStore::remove(const std::string& key) const {
    std::string path = path_of(key, ".task");
    ::unlink(path.c_str());
    sync_parent_dir(path);
}

std::optional<FileLock> TaskStore::try_lock(const std::string& key, bool& busy) const {
    busy = false;
    if (!ensure_dir()) return std::nullopt;
    return FileLock::try_acquire(path_of(key, ".lock"), busy);
}

}  // namespace dravon
