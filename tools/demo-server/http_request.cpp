#include "http_request.h"

#include <charconv>
#include <cstdint>
#include <strings.h>

namespace demo {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool equal_nocase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool parse_u64(std::string_view s, uint64_t& out) {
    if (s.empty()) return false;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size();
}

}  // namespace

std::string HttpRequest::header(std::string_view name) const {
    for (const auto& [k, v] : headers)
        if (equal_nocase(k, name)) return v;
    return {};
}

bool HttpRequest::keep_alive() const {
    std::string connection = header("Connection");
    if (equal_nocase(connection, "close")) return false;
    if (version == "HTTP/1.0") return equal_nocase(connection, "keep-alive");
    return true;
}

std::optional<HttpRequest> HttpRequest::parse(std::string_view head) {
    size_t eol = head.find("\r\n");
    if (eol == std::string_view::npos) return std::nullopt;
    std::string_view line = head.substr(0, eol);
    size_t first = line.find(' '), last = line.rfind(' ');
    if (first == std::string_view::npos || last <= first) return std::nullopt;
    HttpRequest r;
    r.method = std::string(line.substr(0, first));
    r.version = std::string(line.substr(last + 1));
    if (r.version.rfind("HTTP/1.", 0) != 0) return std::nullopt;
    std::string_view target = line.substr(first + 1, last - first - 1);
    size_t q = target.find('?');
    r.path = std::string(target.substr(0, q));
    if (q != std::string_view::npos) r.query = std::string(target.substr(q + 1));
    if (r.path.empty() || r.path[0] != '/') return std::nullopt;

    std::string_view rest = head.substr(eol + 2);
    while (!rest.empty()) {
        size_t end = rest.find("\r\n");
        std::string_view h = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
        if (h.empty()) break;
        size_t colon = h.find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        r.headers.emplace_back(std::string(trim(h.substr(0, colon))),
                               std::string(trim(h.substr(colon + 1))));
    }
    return r;
}

ByteRange parse_range(std::string_view header, uint64_t size) {
    ByteRange r;
    header = trim(header);
    if (header.substr(0, 6) != "bytes=") return r;
    std::string_view spec = trim(header.substr(6));
    if (spec.find(',') != std::string_view::npos) return r;  // one range only
    size_t dash = spec.find('-');
    if (dash == std::string_view::npos) return r;
    std::string_view a = trim(spec.substr(0, dash)), b = trim(spec.substr(dash + 1));
    uint64_t first = 0, last = 0;
    if (a.empty()) {  // the last N bytes
        if (!parse_u64(b, last)) return r;
        if (last == 0 || size == 0) return r.kind = ByteRange::Kind::kUnsatisfiable, r;
        r.first = last >= size ? 0 : size - last;
        r.last = size - 1;
    } else {
        if (!parse_u64(a, first)) return r;
        if (b.empty()) {
            last = UINT64_MAX;
        } else if (!parse_u64(b, last) || last < first) {
            return r;
        }
        if (first >= size) return r.kind = ByteRange::Kind::kUnsatisfiable, r;
        r.first = first;
        r.last = last >= size ? size - 1 : last;
    }
    r.kind = ByteRange::Kind::kSatisfiable;
    return r;
}

std::string percent_decode(std::string_view s) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            int hi = hex(s[i + 1]), lo = hex(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += char(hi << 4 | lo);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

}  // namespace demo
