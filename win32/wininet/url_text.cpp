#include "url_text.h"

#include <w32/text.h>

#include <cwctype>
#include <vector>

namespace w32::inet {

namespace {

bool is_scheme_char(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
           c == L'+' || c == L'-' || c == L'.';
}

int hex_value(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

void append_escaped_byte(std::wstring& out, unsigned char b) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    out += L'%';
    out += digits[b >> 4];
    out += digits[b & 15];
}

// ASCII only: characters beyond it stay as they are (UrlCanonicalize escapes them only
// when asked to, as UTF-8).
bool unsafe(wchar_t c, DWORD flags) {
    if (flags & ICU_ENCODE_SPACES_ONLY) return c == L' ';
    if (c == L'%') return (flags & ICU_ENCODE_PERCENT) != 0;
    return c <= 0x20 || c == 0x7f || c == L'"' || c == L'<' || c == L'>' || c == L'`' ||
           c == L'{' || c == L'}' || c == L'|' || c == L'^';
}

std::wstring encode(std::wstring_view s, DWORD flags) {
    std::wstring out;
    for (wchar_t c : s) {
        if (unsafe(c, flags)) {
            append_escaped_byte(out, static_cast<unsigned char>(c));
        } else {
            out += c;
        }
    }
    return out;
}

std::wstring decode(std::wstring_view s) {
    std::wstring out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == L'%' && i + 2 < s.size()) {
            int hi = hex_value(s[i + 1]), lo = hex_value(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<wchar_t>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

// "/a/./b/../c" -> "/a/c"; a path never climbs above its root.
std::wstring remove_dot_segments(std::wstring_view path) {
    std::vector<std::wstring_view> segs;
    size_t i = 0;
    bool trailing_slash = false;
    while (i <= path.size()) {
        size_t j = path.find(L'/', i);
        if (j == std::wstring_view::npos) j = path.size();
        std::wstring_view seg = path.substr(i, j - i);
        bool last = j == path.size();
        if (seg == L".") {
            trailing_slash = last;
        } else if (seg == L"..") {
            if (segs.size() > 1) segs.pop_back();
            trailing_slash = last;
        } else {
            segs.push_back(seg);
            trailing_slash = false;
        }
        i = j + 1;
    }
    std::wstring out;
    for (size_t k = 0; k < segs.size(); ++k) {
        if (k) out += L'/';
        out += segs[k];
    }
    if (trailing_slash) out += L'/';
    return out;
}

}  // namespace

INTERNET_SCHEME scheme_number(std::wstring_view scheme) {
    std::wstring s;
    for (wchar_t c : scheme) s += static_cast<wchar_t>(std::towlower(c));
    if (s == L"http") return INTERNET_SCHEME_HTTP;
    if (s == L"https") return INTERNET_SCHEME_HTTPS;
    if (s == L"ftp") return INTERNET_SCHEME_FTP;
    if (s == L"file") return INTERNET_SCHEME_FILE;
    if (s == L"gopher") return INTERNET_SCHEME_GOPHER;
    if (s == L"news") return INTERNET_SCHEME_NEWS;
    if (s == L"mailto") return INTERNET_SCHEME_MAILTO;
    return INTERNET_SCHEME_UNKNOWN;
}

bool crack_url(std::wstring_view url, CrackedUrl& out, DWORD& err) {
    out = CrackedUrl{};
    size_t colon = url.find(L':');
    if (colon == 0 || colon == std::wstring_view::npos) {
        err = ERROR_INTERNET_UNRECOGNIZED_SCHEME;
        return false;
    }
    for (size_t i = 0; i < colon; ++i) {
        if (!is_scheme_char(url[i])) {
            err = ERROR_INTERNET_UNRECOGNIZED_SCHEME;
            return false;
        }
    }
    out.scheme = {0, colon};
    out.scheme_number = scheme_number(url.substr(0, colon));
    size_t pos = colon + 1;
    if (url.substr(pos, 2) == L"//") {
        pos += 2;
        size_t end = url.find_first_of(L"/?#", pos);
        if (end == std::wstring_view::npos) end = url.size();
        size_t host_start = pos;
        size_t at = url.substr(pos, end - pos).rfind(L'@');
        if (at != std::wstring_view::npos) {
            size_t user_end = pos + at;
            size_t c = url.substr(pos, at).find(L':');
            if (c != std::wstring_view::npos) {
                out.user = {pos, c};
                out.password = {pos + c + 1, user_end - pos - c - 1};
            } else {
                out.user = {pos, at};
            }
            host_start = user_end + 1;
        }
        size_t host_end = end;
        size_t port_colon = std::wstring_view::npos;
        if (host_start < end && url[host_start] == L'[') {
            size_t close = url.find(L']', host_start);
            if (close == std::wstring_view::npos || close > end) {
                err = ERROR_INTERNET_INVALID_URL;
                return false;
            }
            if (close + 1 < end && url[close + 1] == L':') port_colon = close + 1;
        } else {
            size_t c = url.substr(host_start, end - host_start).rfind(L':');
            if (c != std::wstring_view::npos) port_colon = host_start + c;
        }
        if (port_colon != std::wstring_view::npos) {
            host_end = port_colon;
            unsigned long port = 0;
            if (port_colon + 1 == end) {
                err = ERROR_INTERNET_INVALID_URL;
                return false;
            }
            for (size_t i = port_colon + 1; i < end; ++i) {
                if (url[i] < L'0' || url[i] > L'9' || (port = port * 10 + (url[i] - L'0')) > 65535) {
                    err = ERROR_INTERNET_INVALID_URL;
                    return false;
                }
            }
            out.port = static_cast<INTERNET_PORT>(port);
        }
        out.host = {host_start, host_end - host_start};
        if (out.host.len == 0 && (out.scheme_number == INTERNET_SCHEME_HTTP ||
                                  out.scheme_number == INTERNET_SCHEME_HTTPS)) {
            err = ERROR_INTERNET_INVALID_URL;
            return false;
        }
        pos = end;
    }
    if (out.port == 0) {
        if (out.scheme_number == INTERNET_SCHEME_HTTP) out.port = INTERNET_DEFAULT_HTTP_PORT;
        if (out.scheme_number == INTERNET_SCHEME_HTTPS) out.port = INTERNET_DEFAULT_HTTPS_PORT;
        if (out.scheme_number == INTERNET_SCHEME_FTP) out.port = 21;
    }
    size_t extra = url.find_first_of(L"?#", pos);
    if (extra == std::wstring_view::npos) extra = url.size();
    out.path = {pos, extra - pos};
    out.extra = {extra, url.size() - extra};
    return true;
}

std::wstring canonicalize_url(std::wstring_view url, DWORD flags) {
    // The head runs to the query or fragment. The tail stays as it is: the function
    // always works in browser mode, whatever the flags (so its documentation says).
    size_t tail_at = url.find_first_of(L"?#");
    if (tail_at == std::wstring_view::npos) tail_at = url.size();
    std::wstring head(url.substr(0, tail_at));
    const std::wstring_view tail = url.substr(tail_at);

    if (flags & ICU_DECODE) head = decode(head);
    size_t path_at = 0;
    size_t sep = head.find(L"://");
    if (sep != std::wstring::npos) {
        // A backslash separates as a slash does ("\..\" is a meta sequence too).
        for (size_t i = sep + 3; i < head.size(); ++i)
            if (head[i] == L'\\') head[i] = L'/';
        path_at = head.find(L'/', sep + 3);
        if (path_at == std::wstring::npos) {
            path_at = head.size();
            // An http URL without a path gets the root.
            if (scheme_number(std::wstring_view(head).substr(0, sep)) == INTERNET_SCHEME_HTTP ||
                scheme_number(std::wstring_view(head).substr(0, sep)) == INTERNET_SCHEME_HTTPS)
                head += L'/';
        }
    }
    if (!(flags & ICU_NO_META) && path_at < head.size())
        head = head.substr(0, path_at) + remove_dot_segments(std::wstring_view(head).substr(path_at));
    if (!(flags & ICU_NO_ENCODE)) head = encode(head, flags);
    return head.append(tail);
}

std::string escape_request_path(std::wstring_view path) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    auto put = [&](unsigned char b) {
        if (b <= 0x20 || b >= 0x7f || b == '#') {
            out += '%';
            out += digits[b >> 4];
            out += digits[b & 15];
        } else {
            out += static_cast<char>(b);
        }
    };
    for (wchar_t c : path) {
        if (static_cast<unsigned long>(c) < 0x100) {
            put(static_cast<unsigned char>(c));
        } else {
            for (unsigned char b : to_utf8(std::wstring_view(&c, 1))) put(b);
        }
    }
    if (out.empty() || out[0] != '/') out.insert(out.begin(), '/');
    return out;
}

}  // namespace w32::inet
