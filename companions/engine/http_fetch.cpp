#include "http_fetch.h"

#include <strings.h>

#include <charconv>
#include <cstring>
#include <chrono>
#include <cstdlib>
#include <string_view>

namespace dravon {
namespace {

using Clock = std::chrono::steady_clock;

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

std::optional<uint64_t> parse_u64(std::string_view s) {
    uint64_t v = 0;
    s = trim(s);
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

bool name_is(std::string_view a, const char* b) {
    return a.size() == std::strlen(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

void parse_content_range(std::string_view v, ResponseHead& head) {
    v = trim(v);
    if (v.substr(0, 6) != "bytes ") return;
    v.remove_prefix(6);
    size_t slash = v.find('/');
    if (slash == std::string_view::npos) return;
    std::string_view range = trim(v.substr(0, slash)), total = trim(v.substr(slash + 1));
    if (total != "*") head.range_total = parse_u64(total);
    size_t dash = range.find('-');
    if (range != "*" && dash != std::string_view::npos)
        head.range_first = parse_u64(range.substr(0, dash));
}

// Loopback never goes through a proxy, whatever the environment says.
std::string no_proxy_list() {
    std::string list = "localhost,127.0.0.0/8,::1";
    for (const char* name : {"no_proxy", "NO_PROXY"}) {
        const char* v = std::getenv(name);
        if (v && *v) return std::string(v) + ',' + list;
    }
    return list;
}

}  // namespace

HttpFetch::HttpFetch() : easy_(curl_easy_init()), multi_(curl_multi_init()) {}

HttpFetch::~HttpFetch() {
    if (multi_) curl_multi_cleanup(multi_);
    if (easy_) curl_easy_cleanup(easy_);
}

void HttpFetch::wake() {
    if (multi_) curl_multi_wakeup(multi_);
}

size_t HttpFetch::on_header(char* data, size_t size, size_t count, void* self_ptr) {
    auto* self = static_cast<HttpFetch*>(self_ptr);
    std::string_view line(data, size * count);
    if (line.substr(0, 5) == "HTTP/") {
        // A new response (after a redirect or an interim answer) replaces the last.
        self->head_ = ResponseHead{};
        size_t sp = line.find(' ');
        if (sp != std::string_view::npos)
            self->head_.status = long(parse_u64(line.substr(sp + 1, 3)).value_or(0));
        return size * count;
    }
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) return size * count;
    std::string_view name = trim(line.substr(0, colon)), value = trim(line.substr(colon + 1));
    ResponseHead& h = self->head_;
    if (name_is(name, "Content-Length"))
        h.content_length = parse_u64(value);
    else if (name_is(name, "Content-Range"))
        parse_content_range(value, h);
    else if (name_is(name, "ETag"))
        h.etag = std::string(value);
    else if (name_is(name, "Last-Modified"))
        h.last_modified = std::string(value);
    else if (name_is(name, "Content-Encoding"))
        h.content_encoding = std::string(value);
    return size * count;
}

bool HttpFetch::begin_body() {
    if (!head_decided_) {
        head_decided_ = true;
        head_accepted_ = (*on_head_)(head_);
        refused_ = !head_accepted_;
    }
    return head_accepted_;
}

size_t HttpFetch::on_write(char* data, size_t size, size_t count, void* self_ptr) {
    auto* self = static_cast<HttpFetch*>(self_ptr);
    size_t n = size * count;
    self->bytes_seen_ += n;
    if (!self->begin_body()) return 0;
    if (!(*self->on_body_)(data, n)) {
        self->refused_ = true;
        return 0;
    }
    return n;
}

FetchResult HttpFetch::run(const FetchRequest& req, const HeadFn& on_head, const BodyFn& on_body,
                           const std::function<bool()>& keep_going) {
    FetchResult result;
    head_ = ResponseHead{};
    head_decided_ = head_accepted_ = refused_ = false;
    bytes_seen_ = 0;
    on_head_ = &on_head;
    on_body_ = &on_body;

    static const std::string no_proxy = no_proxy_list();
    std::string range = req.offset ? std::to_string(req.offset) + "-" : std::string();
    curl_slist* headers = nullptr;
    if (req.offset && !req.if_range.empty())
        headers = curl_slist_append(headers, ("If-Range: " + req.if_range).c_str());

    curl_easy_setopt(easy_, CURLOPT_URL, req.url.c_str());
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_NOPROXY, no_proxy.c_str());
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, long(req.connect_timeout_ms));
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, "Dravon/1.0");
    curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, 512L * 1024);
    curl_easy_setopt(easy_, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(easy_, CURLOPT_RANGE, range.empty() ? nullptr : range.c_str());
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &HttpFetch::on_header);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &HttpFetch::on_write);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_multi_add_handle(multi_, easy_);

    auto last_progress = Clock::now();
    uint64_t last_bytes = 0;
    CURLcode code = CURLE_OK;
    bool done = false;
    while (!done) {
        int running = 0;
        curl_multi_perform(multi_, &running);
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi_, &left)) {
            if (msg->msg == CURLMSG_DONE) {
                code = msg->data.result;
                done = true;
            }
        }
        if (done) break;
        if (!keep_going()) {
            result.end = FetchEnd::kInterrupted;
            break;
        }
        if (bytes_seen_ != last_bytes) {
            last_bytes = bytes_seen_;
            last_progress = Clock::now();
        } else if (Clock::now() - last_progress > std::chrono::milliseconds(req.stall_ms)) {
            result.end = FetchEnd::kStalled;
            break;
        }
        curl_multi_poll(multi_, nullptr, 0, 100, nullptr);
    }
    curl_multi_remove_handle(multi_, easy_);
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(headers);

    if (done) {
        if (refused_) {
            result.end = FetchEnd::kRefused;
        } else if (code == CURLE_OK) {
            // A response without a body (a 416, a 404 with nothing) is decided here.
            if (!head_decided_) begin_body();
            result.end = refused_ ? FetchEnd::kRefused : FetchEnd::kFinished;
        } else {
            result.end = FetchEnd::kNetwork;
            result.error = curl_easy_strerror(code);
        }
    }
    result.head = head_;
    return result;
}

}  // namespace dravon
