#include "request_setup.h"

#include "url_text.h"

#include <w32/text.h>

#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace w32::inet {

namespace {

std::string narrow(const std::wstring& s) { return to_utf8(s); }

std::vector<std::string> split(const std::string& s, const char* seps) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        size_t j = s.find_first_of(seps, i);
        if (j == std::string::npos) j = s.size();
        if (j > i) out.push_back(s.substr(i, j - i));
        i = j + 1;
    }
    return out;
}

bool has_header(const std::vector<std::string>& lines, const char* name) {
    size_t n = std::strlen(name);
    for (const auto& l : lines)
        if (l.size() > n && l[n] == ':' && strncasecmp(l.c_str(), name, n) == 0) return true;
    return false;
}

// "http=h:p https=h2:p2" or "h:p" -> the proxy for the scheme, as a URL.
std::string pick_proxy(const std::wstring& list, bool secure) {
    std::string fallback;
    for (auto& entry : split(narrow(list), " ;")) {
        size_t eq = entry.find('=');
        if (eq == std::string::npos) {
            if (fallback.empty()) fallback = entry;
            continue;
        }
        std::string scheme = entry.substr(0, eq);
        if (strcasecmp(scheme.c_str(), secure ? "https" : "http") == 0) return entry.substr(eq + 1);
    }
    return fallback;
}

std::string bypass_list(const std::wstring& list) {
    std::string out;
    for (auto& entry : split(narrow(list), " ;,")) {
        if (entry == "<local>") entry = "localhost,127.0.0.1,::1";
        else if (entry.rfind("*.", 0) == 0) entry = entry.substr(1);
        if (!out.empty()) out += ',';
        out += entry;
    }
    return out;
}

}  // namespace

INTERNET_PORT mapped_port(INTERNET_PORT port) {
    const char* env = std::getenv("WIN32_HTTP_PORT_MAP");
    if (!env) return port;
    for (auto& pair : split(env, ",; ")) {
        size_t eq = pair.find('=');
        if (eq == std::string::npos) continue;
        long from = std::atol(pair.substr(0, eq).c_str());
        long to = std::atol(pair.substr(eq + 1).c_str());
        if (from == port && to > 0 && to < 65536) return static_cast<INTERNET_PORT>(to);
    }
    return port;
}

TransferSetup make_setup(const Request& req, const std::wstring& extra_headers,
                         const void* body, DWORD body_length) {
    TransferSetup s;
    std::string host = narrow(req.host);
    if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
    s.url = (req.secure ? "https://" : "http://") + host + ":" + std::to_string(req.port) +
            escape_request_path(req.object);
    INTERNET_PORT real = mapped_port(req.port);
    if (real != req.port)
        s.connect_to = ":" + std::to_string(req.port) + "::" + std::to_string(real);

    s.method = narrow(req.verb);
    s.http10 = req.version == L"HTTP/1.0";
    s.follow_redirects = !(req.flags & INTERNET_FLAG_NO_AUTO_REDIRECT);
    s.timeouts = req.timeouts;

    std::vector<std::string> extra = split(narrow(extra_headers), "\r\n");
    s.headers.push_back(req.session->agent.empty() ? "User-Agent:"
                                                   : "User-Agent: " + narrow(req.session->agent));
    if (!has_header(extra, "Accept")) {
        std::string accept;
        for (const auto& t : req.accept_types) {
            if (!accept.empty()) accept += ", ";
            accept += narrow(t);
        }
        s.headers.push_back(accept.empty() ? "Accept:" : "Accept: " + accept);
    }
    if (!req.referrer.empty()) s.headers.push_back("Referer: " + narrow(req.referrer));
    if (req.flags & INTERNET_FLAG_PRAGMA_NOCACHE)
        s.headers.push_back("Pragma: no-cache");
    for (auto& line : extra) s.headers.push_back(line);

    if (body && body_length > 0) {
        s.body.assign(static_cast<const char*>(body), body_length);
        s.has_body = true;
    }
    // No Content-Type of our own: only what the caller sends.
    if ((s.has_body || s.method == "POST") && !has_header(extra, "Content-Type"))
        s.headers.push_back("Content-Type:");

    if (req.session->access_type == INTERNET_OPEN_TYPE_PROXY) {
        s.proxy = pick_proxy(req.session->proxy, req.secure);
        s.no_proxy = bypass_list(req.session->proxy_bypass);
    }
    return s;
}

}  // namespace w32::inet
