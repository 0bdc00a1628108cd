#include "manifest.h"

#include <w32/text.h>

#include <ctype.h>

#include <algorithm>
#include <map>
#include <set>

namespace rcpack {
namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

bool Tokenize(std::string_view line, std::vector<Token>* out, std::string* error) {
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        Token t;
        if (c == '"') {
            t.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d != '\\') {
                    t.text += d;
                    continue;
                }
                if (i >= line.size()) break;
                char e = line[i++];
                switch (e) {
                    case 'n':
                        t.text += '\n';
                        break;
                    case 'r':
                        t.text += '\r';
                        break;
                    case 't':
                        t.text += '\t';
                        break;
                    case '0':
                        t.text += '\0';
                        break;
                    case '"':
                        t.text += '"';
                        break;
                    case '\\':
                        t.text += '\\';
                        break;
                    default:
                        *error = std::string("unknown escape \\") + e;
                        return false;
                }
            }
            if (!closed) {
                *error = "unterminated quoted text";
                return false;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
                if (line[i] == '"') {
                    *error = "quote inside a word";
                    return false;
                }
                t.text += line[i++];
            }
        }
        out->push_back(std::move(t));
    }
    return true;
}

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return toupper(c); });
    return s;
}

// Decimal or 0x hexadecimal, at most max.
bool ParseNumber(const std::string& s, uint32_t max, uint32_t* out) {
    if (s.empty()) return false;
    int base = 10;
    size_t i = 0;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        i = 2;
    }
    uint64_t v = 0;
    for (; i < s.size(); ++i) {
        int d;
        unsigned char c = s[i];
        if (isdigit(c)) {
            d = c - '0';
        } else if (base == 16 && isxdigit(c)) {
            d = tolower(c) - 'a' + 10;
        } else {
            return false;
        }
        v = v * base + d;
        if (v > max) return false;
    }
    *out = static_cast<uint32_t>(v);
    return true;
}

bool ParseId(const Token& t, bool is_type, ResId* out, std::string* error) {
    if (t.quoted) {
        if (t.text.empty()) {
            *error = "empty resource name";
            return false;
        }
        out->is_string = true;
        out->name = t.text;
        return true;
    }
    uint32_t v;
    if (ParseNumber(t.text, 0xFFFF, &v)) {
        if (v == 0) {
            *error = "resource id 0";
            return false;
        }
        out->id = v;
        return true;
    }
    if (isdigit(static_cast<unsigned char>(t.text[0]))) {
        *error = "bad resource id " + t.text;
        return false;
    }
    if (is_type && Upper(t.text) == "RCDATA") {
        out->id = 10;
        return true;
    }
    out->is_string = true;
    out->name = t.text;
    return true;
}

bool ParseVersionNumbers(const std::string& s, uint16_t out[4], std::string* error) {
    uint16_t parts[4] = {0, 0, 0, 0};
    size_t start = 0;
    int n = 0;
    while (true) {
        size_t end = s.find_first_of(".,", start);
        std::string part =
            s.substr(start, end == std::string::npos ? std::string::npos : end - start);
        uint32_t v;
        if (n >= 4 || !ParseNumber(part, 0xFFFF, &v)) {
            *error = "bad version number " + s;
            return false;
        }
        parts[n++] = static_cast<uint16_t>(v);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    std::copy(parts, parts + 4, out);
    return true;
}

std::string JoinPath(const std::string& base, const std::string& path) {
    if (path.empty() || path[0] == '/' || base.empty()) return path;
    return base.back() == '/' ? base + path : base + "/" + path;
}

bool ParseLine(const std::vector<Token>& toks, const std::string& base_dir, int line_no,
               uint16_t* lang, Manifest* m, std::string* error) {
    std::string head = toks[0].quoted ? std::string() : Upper(toks[0].text);
    auto expect = [&](size_t n) {
        if (toks.size() != n) {
            *error = head + " takes " + std::to_string(n - 1) + " arguments";
            return false;
        }
        return true;
    };

    if (head == "LANGUAGE") {
        uint32_t p, s;
        if (!expect(3)) return false;
        if (!ParseNumber(toks[1].text, 0x3FF, &p) || !ParseNumber(toks[2].text, 0x3F, &s)) {
            *error = "bad language";
            return false;
        }
        *lang = static_cast<uint16_t>((s << 10) | p);
        return true;
    }
    if (head == "STRING") {
        if (!expect(3)) return false;
        StringEntry e;
        if (toks[1].quoted || !ParseNumber(toks[1].text, 0xFFFF, &e.id)) {
            *error = "bad string id " + toks[1].text;
            return false;
        }
        if (!toks[2].quoted) {
            *error = "string text must be quoted";
            return false;
        }
        if (!DecodeUtf8(toks[2].text, &e.text)) {
            *error = "string text is not UTF-8";
            return false;
        }
        e.lang = *lang;
        e.line = line_no;
        m->strings.push_back(std::move(e));
        return true;
    }
    if (head == "ICON") {
        if (!expect(3)) return false;
        IconEntry e;
        if (toks[1].quoted || !ParseNumber(toks[1].text, 0xFFFF, &e.id) || e.id == 0) {
            *error = "bad icon id " + toks[1].text;
            return false;
        }
        e.lang = *lang;
        e.path = JoinPath(base_dir, toks[2].text);
        e.line = line_no;
        m->icons.push_back(std::move(e));
        return true;
    }
    if (head == "VERSION") {
        auto& v = m->version;
        if (!v.present) v.lang = *lang;
        v.present = true;
        if (toks.size() >= 2 && !toks[1].quoted) {
            std::string what = Upper(toks[1].text);
            if (what == "FILEVERSION" || what == "PRODUCTVERSION") {
                if (!expect(3)) return false;
                bool file = what == "FILEVERSION";
                if (!ParseVersionNumbers(toks[2].text, file ? v.file : v.product, error))
                    return false;
                if (!file) v.has_product = true;
                return true;
            }
            if (what == "TRANSLATION") {
                uint32_t l, cp;
                if (!expect(4)) return false;
                if (!ParseNumber(toks[2].text, 0xFFFF, &l) ||
                    !ParseNumber(toks[3].text, 0xFFFF, &cp)) {
                    *error = "bad translation";
                    return false;
                }
                v.translation_lang = static_cast<uint16_t>(l);
                v.translation_codepage = static_cast<uint16_t>(cp);
                return true;
            }
            *error = "unknown VERSION item " + toks[1].text;
            return false;
        }
        if (!expect(3)) return false;
        if (!toks[1].quoted || !toks[2].quoted || toks[1].text.empty()) {
            *error = "VERSION values are \"Key\" \"value\"";
            return false;
        }
        std::u32string key, value;
        if (!DecodeUtf8(toks[1].text, &key) || !DecodeUtf8(toks[2].text, &value)) {
            *error = "VERSION text is not UTF-8";
            return false;
        }
        v.strings.emplace_back(std::move(key), std::move(value));
        return true;
    }

    if (toks.size() != 3) {
        *error = "expected <type> <name> <file>";
        return false;
    }
    FileResource r;
    if (!ParseId(toks[0], true, &r.type, error) || !ParseId(toks[1], false, &r.name, error))
        return false;
    if (!r.type.is_string &&
        (r.type.id == 3 || r.type.id == 6 || r.type.id == 14 || r.type.id == 16)) {
        *error = "use ICON, STRING or VERSION for type " + std::to_string(r.type.id);
        return false;
    }
    r.lang = *lang;
    r.path = JoinPath(base_dir, toks[2].text);
    r.line = line_no;
    m->files.push_back(std::move(r));
    return true;
}

}  // namespace

bool DecodeUtf8(std::string_view in, std::u32string* out) {
    std::wstring wide;
    const bool valid = w32::decode_utf8(in, wide);
    out->assign(wide.begin(), wide.end());
    return valid;
}

bool ParseManifest(std::string_view text, const std::string& base_dir, Manifest* out,
                   std::string* error) {
    Manifest m;
    uint16_t lang = 0;
    int line_no = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++line_no;
        size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos || line[first] == '#') continue;
        std::vector<Token> toks;
        std::string why;
        if (!Tokenize(line, &toks, &why) || !ParseLine(toks, base_dir, line_no, &lang, &m, &why)) {
            *error = "line " + std::to_string(line_no) + ": " + why;
            return false;
        }
    }

    std::set<std::pair<uint32_t, uint16_t>> string_ids;
    for (auto& s : m.strings) {
        if (!string_ids.insert({s.id, s.lang}).second) {
            *error =
                "line " + std::to_string(s.line) + ": string " + std::to_string(s.id) + " twice";
            return false;
        }
    }
    if (m.version.present && !m.version.has_product)
        std::copy(m.version.file, m.version.file + 4, m.version.product);
    *out = std::move(m);
    return true;
}

}  // namespace rcpack
