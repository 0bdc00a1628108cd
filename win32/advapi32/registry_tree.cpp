#include "registry_tree.h"

#include <w32/filetime.h>
#include <w32/text.h>

#include <locale.h>
#include <string.h>
#include <wctype.h>

#include <algorithm>
#include <cstdio>

namespace w32::reg {
namespace {

static_assert(sizeof(wchar_t) == sizeof(uint32_t), "string values are stored as 32-bit units");

constexpr std::string_view kHeader = "win32-registry 1";
constexpr std::string_view kEnd = "end";

locale_t utf8_locale() {
    static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return loc;
}

bool is_string_type(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

void append_hex_u32(std::string& out, uint32_t v) {
    char buf[16];
    snprintf(buf, sizeof buf, "%x", v);
    out += buf;
}

// Quoted text: every unit survives a round trip, including NULs and values that
// are not Unicode scalar values.
void append_quoted_units(std::string& out, const std::vector<uint32_t>& units) {
    out += '"';
    for (uint32_t c : units) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '"') {
            out += "\\\"";
        } else if (c == 0) {
            out += "\\0";
        } else if (c < 0x20 || c == 0x7F || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += "\\u{";
            append_hex_u32(out, c);
            out += '}';
        } else {
            wchar_t wc = static_cast<wchar_t>(c);
            out += to_utf8(std::wstring_view(&wc, 1));
        }
    }
    out += '"';
}

void append_quoted(std::string& out, std::wstring_view s) {
    std::vector<uint32_t> units(s.begin(), s.end());
    append_quoted_units(out, units);
}

void append_hex_bytes(std::string& out, const std::vector<uint8_t>& data) {
    static const char digits[] = "0123456789abcdef";
    out += '"';
    for (uint8_t b : data) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    out += '"';
}

void write_key_line(std::string& out, const Key& key, const Path& path) {
    out += "key ";
    out += std::to_string(key.last_write);
    for (auto& part : path) {
        out += ' ';
        append_quoted(out, part);
    }
    out += '\n';
    for (auto& v : key.values) {
        out += "value ";
        append_quoted(out, v.name);
        out += ' ';
        out += std::to_string(v.type);
        if (is_string_type(v.type) && v.data.size() % sizeof(wchar_t) == 0) {
            std::vector<uint32_t> units(v.data.size() / sizeof(wchar_t));
            if (!units.empty()) memcpy(units.data(), v.data.data(), v.data.size());
            out += " text ";
            append_quoted_units(out, units);
        } else {
            out += " hex ";
            append_hex_bytes(out, v.data);
        }
        out += '\n';
    }
}

// Depth first, subkeys in name order, with a stack of its own rather than the
// thread's: however deep a tree came to be, writing it cannot overflow.
void write_tree(std::string& out, const Key& root) {
    using Iter = std::map<std::wstring, std::unique_ptr<Key>>::const_iterator;
    struct Frame {
        Iter next, end;
    };
    Path path;
    std::vector<Frame> stack;
    write_key_line(out, root, path);
    stack.push_back({root.subkeys.begin(), root.subkeys.end()});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.end) {
            stack.pop_back();
            if (!path.empty()) path.pop_back();
            continue;
        }
        const Key& sub = *(top.next++)->second;
        path.push_back(sub.name);
        write_key_line(out, sub, path);
        stack.push_back({sub.subkeys.begin(), sub.subkeys.end()});
    }
}

// One line's tokens: bare words and quoted strings (decoded to units).
struct Token {
    bool quoted = false;
    std::string word;
    std::vector<uint32_t> units;
};

bool read_quoted(std::string_view line, size_t& i, std::vector<uint32_t>* units) {
    ++i;  // opening quote
    std::string plain;
    auto flush = [&] {
        std::wstring w = from_utf8(plain);
        units->insert(units->end(), w.begin(), w.end());
        plain.clear();
    };
    while (i < line.size()) {
        char c = line[i];
        if (c == '"') {
            ++i;
            flush();
            return true;
        }
        if (c != '\\') {
            plain += c;
            ++i;
            continue;
        }
        flush();
        if (++i >= line.size()) return false;
        char e = line[i++];
        switch (e) {
            case '\\':
                units->push_back('\\');
                break;
            case '"':
                units->push_back('"');
                break;
            case '0':
                units->push_back(0);
                break;
            case 'u': {
                if (i >= line.size() || line[i] != '{') return false;
                size_t close = line.find('}', i);
                if (close == std::string_view::npos || close == i + 1 || close - i > 9)
                    return false;
                uint32_t v = 0;
                for (size_t k = i + 1; k < close; ++k) {
                    char h = line[k];
                    int d = h >= '0' && h <= '9'   ? h - '0'
                            : h >= 'a' && h <= 'f' ? h - 'a' + 10
                            : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                   : -1;
                    if (d < 0) return false;
                    v = v << 4 | static_cast<uint32_t>(d);
                }
                units->push_back(v);
                i = close + 1;
                break;
            }
            default:
                return false;
        }
    }
    return false;
}

bool tokenize(std::string_view line, std::vector<Token>* out) {
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        Token t;
        if (line[i] == '"') {
            t.quoted = true;
            if (!read_quoted(line, i, &t.units)) return false;
            if (i < line.size() && line[i] != ' ') return false;
        } else {
            size_t j = line.find(' ', i);
            if (j == std::string_view::npos) j = line.size();
            t.word.assign(line.substr(i, j - i));
            i = j;
        }
        out->push_back(std::move(t));
    }
    return true;
}

bool to_number(const Token& t, uint64_t* v) {
    if (t.quoted || t.word.empty() || t.word.size() > 20) return false;
    uint64_t n = 0;
    for (char c : t.word) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    *v = n;
    return true;
}

std::wstring to_wstring(const std::vector<uint32_t>& units) {
    std::wstring s;
    s.reserve(units.size());
    for (uint32_t u : units) s += static_cast<wchar_t>(u);
    return s;
}

bool hex_to_bytes(const std::vector<uint32_t>& units, std::vector<uint8_t>* out) {
    if (units.size() % 2) return false;
    auto digit = [](uint32_t c) -> int {
        if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
        if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
        return -1;
    };
    out->reserve(units.size() / 2);
    for (size_t i = 0; i < units.size(); i += 2) {
        int hi = digit(units[i]), lo = digit(units[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out->push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return true;
}

}  // namespace

std::wstring fold(std::wstring_view name) {
    std::wstring out(name);
    locale_t loc = utf8_locale();
    for (auto& c : out) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        } else if (c >= 0x80 && loc) {
            c = static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), loc));
        }
    }
    return out;
}

bool same_name(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && fold(a) == fold(b);
}

uint64_t now_filetime() {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return filetime_value(timespec_to_filetime(ts));
}

Key* Key::child(std::wstring_view name) const {
    auto it = subkeys.find(fold(name));
    return it == subkeys.end() ? nullptr : it->second.get();
}

Key* Key::find(const Path& path) const {
    const Key* k = this;
    for (auto& part : path) {
        k = k->child(part);
        if (!k) return nullptr;
    }
    return const_cast<Key*>(k);
}

const Value* Key::value(std::wstring_view name) const {
    for (auto& v : values)
        if (same_name(v.name, name)) return &v;
    return nullptr;
}

void Key::set_value(Value v) {
    for (auto& existing : values) {
        if (same_name(existing.name, v.name)) {
            existing.type = v.type;
            existing.data = std::move(v.data);
            return;
        }
    }
    values.push_back(std::move(v));
}

bool Key::erase_value(std::wstring_view name) {
    auto it = std::find_if(values.begin(), values.end(),
                           [&](const Value& v) { return same_name(v.name, name); });
    if (it == values.end()) return false;
    values.erase(it);
    return true;
}

Key* Key::create(const Path& path, uint64_t now, bool* created) {
    Key* k = this;
    bool made = false;
    for (auto& part : path) {
        auto& slot = k->subkeys[fold(part)];
        made = !slot;
        if (made) {
            slot = std::make_unique<Key>();
            slot->name = part;
            slot->last_write = now;
            k->last_write = now;
        }
        k = slot.get();
    }
    if (created) *created = made;
    return k;
}

std::unique_ptr<Key> Key::clone() const {
    auto copy = std::make_unique<Key>();
    copy->name = name;
    copy->last_write = last_write;
    copy->values = values;
    for (auto& [folded, sub] : subkeys) copy->subkeys.emplace(folded, sub->clone());
    return copy;
}

std::string serialize(const Key& root) {
    std::string out;
    out += kHeader;
    out += '\n';
    write_tree(out, root);
    out += kEnd;
    out += '\n';
    return out;
}

bool parse(std::string_view text, Key* root) {
    *root = Key();
    size_t pos = 0;
    bool header = false, ended = false, skipping = false;
    Key* current = nullptr;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) return false;  // a store always ends with a newline
        std::string_view line = text.substr(pos, nl - pos);
        pos = nl + 1;
        if (ended) return false;
        if (!header) {
            if (line != kHeader) return false;
            header = true;
            continue;
        }
        if (line == kEnd) {
            ended = true;
            continue;
        }
        std::vector<Token> tokens;
        if (!tokenize(line, &tokens) || tokens.empty() || tokens[0].quoted) return false;
        if (tokens[0].word == "key") {
            uint64_t time;
            if (tokens.size() < 2 || !to_number(tokens[1], &time)) return false;
            Path path;
            for (size_t i = 2; i < tokens.size(); ++i) {
                if (!tokens[i].quoted || tokens[i].units.empty()) return false;
                path.push_back(to_wstring(tokens[i].units));
            }
            skipping = path.size() > kMaxDepth;
            if (skipping) continue;
            current = root->create(path, time, nullptr);
            current->last_write = time;
        } else if (tokens[0].word == "value") {
            if (skipping) continue;
            uint64_t type;
            if (!current || tokens.size() != 5 || !tokens[1].quoted ||
                !to_number(tokens[2], &type) || type > 0xFFFFFFFFu || tokens[3].quoted ||
                !tokens[4].quoted)
                return false;
            Value v;
            v.name = to_wstring(tokens[1].units);
            v.type = static_cast<DWORD>(type);
            if (tokens[3].word == "text") {
                auto& u = tokens[4].units;
                v.data.resize(u.size() * sizeof(wchar_t));
                if (!u.empty()) memcpy(v.data.data(), u.data(), v.data.size());
            } else if (tokens[3].word != "hex" || !hex_to_bytes(tokens[4].units, &v.data)) {
                return false;
            }
            current->set_value(std::move(v));
        } else {
            return false;
        }
    }
    return header && ended;
}

}  // namespace w32::reg
