#include "http_transfer.h"

#include <wininet.h>

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace w32::inet {

namespace {

void global_init() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct SlistFree {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

constexpr int kPollSliceMs = 50;

bool is_redirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string trim(std::string s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

}  // namespace

struct HttpTransfer::Curl {
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    std::unique_ptr<curl_slist, SlistFree> headers;
    std::unique_ptr<curl_slist, SlistFree> connect_to;
    bool attached = false;

    ~Curl() {
        if (attached) curl_multi_remove_handle(multi, easy);
        if (easy) curl_easy_cleanup(easy);
        if (multi) curl_multi_cleanup(multi);
    }
};

DWORD curl_error_to_win(int code) {
    switch (code) {
    case CURLE_OK: return ERROR_SUCCESS;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_TOO_MANY_REDIRECTS: return ERROR_HTTP_REDIRECT_FAILED;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY: return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_SEND_ERROR: return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_RECV_ERROR: return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_OUT_OF_MEMORY: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_INTERNET_INTERNAL_ERROR;
    }
}

HttpTransfer::HttpTransfer() = default;
HttpTransfer::~HttpTransfer() = default;

void HttpTransfer::abort() {
    aborted_ = true;
    // The multi handle lives as long as this object; wake a blocked poll.
    if (curl_ && curl_->multi) curl_multi_wakeup(curl_->multi);
}

void HttpTransfer::touch() { last_activity_ = std::chrono::steady_clock::now(); }

void HttpTransfer::reset_response() {
    status_ = 0;
    version_.clear();
    reason_.clear();
    headers_.clear();
    raw_lines_.clear();
}

void HttpTransfer::on_header_line(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.empty()) {
        // The end of one header block: interim and followed answers are not the response.
        if (status_ >= 200 && !(follow_ && is_redirect(status_) &&
                                std::any_of(headers_.begin(), headers_.end(), [](auto& h) {
                                    return strcasecmp(h.first.c_str(), "Location") == 0;
                                })))
            headers_done_ = true;
        return;
    }
    if (line.compare(0, 5, "HTTP/") == 0) {
        reset_response();
        raw_lines_.push_back(line);
        size_t sp = line.find(' ');
        version_ = line.substr(0, sp);
        if (sp != std::string::npos) {
            status_ = std::atoi(line.c_str() + sp + 1);
            size_t sp2 = line.find(' ', sp + 1);
            if (sp2 != std::string::npos) reason_ = line.substr(sp2 + 1);
        }
        return;
    }
    raw_lines_.push_back(line);
    size_t colon = line.find(':');
    if (colon == std::string::npos) return;
    headers_.emplace_back(trim(line.substr(0, colon)), trim(line.substr(colon + 1)));
}

size_t HttpTransfer::header_cb(char* data, size_t size, size_t n, void* self) {
    auto* t = static_cast<HttpTransfer*>(self);
    t->touch();
    t->on_header_line(std::string(data, size * n));
    return size * n;
}

size_t HttpTransfer::write_cb(char* data, size_t size, size_t n, void* self) {
    auto* t = static_cast<HttpTransfer*>(self);
    t->touch();
    t->headers_done_ = true;
    if (t->pending_pos_ == t->pending_.size()) {
        t->pending_.clear();
        t->pending_pos_ = 0;
    }
    t->pending_.append(data, size * n);
    return size * n;
}

int HttpTransfer::progress_cb(void* self, long long, long long, long long, long long ulnow) {
    auto* t = static_cast<HttpTransfer*>(self);
    if (ulnow != t->uploaded_) {
        t->uploaded_ = ulnow;
        t->touch();
    }
    return t->aborted_ ? 1 : 0;
}

bool HttpTransfer::start(const TransferSetup& s, DWORD& err) {
    global_init();
    curl_.reset();
    auto c = std::make_unique<Curl>();
    c->multi = curl_multi_init();
    c->easy = curl_easy_init();
    if (!c->multi || !c->easy) {
        err = ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    CURL* e = c->easy;
    timeouts_ = s.timeouts;
    follow_ = s.follow_redirects;
    body_size_ = s.has_body ? static_cast<long long>(s.body.size()) : 0;
    uploaded_ = 0;
    connected_ = false;
    headers_done_ = done_ = false;
    final_error_ = 0;
    pending_.clear();
    pending_pos_ = 0;
    consumed_ = 0;
    reset_response();

    curl_easy_setopt(e, CURLOPT_URL, s.url.c_str());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION,
                     s.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, s.follow_redirects ? 1L : 0L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(s.timeouts.connect));
    curl_easy_setopt(e, CURLOPT_PROXY, s.proxy.c_str());
    if (!s.no_proxy.empty()) curl_easy_setopt(e, CURLOPT_NOPROXY, s.no_proxy.c_str());

    if (s.method == "HEAD") {
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    } else if (s.method == "POST" || s.has_body) {
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(s.body.size()));
        curl_easy_setopt(e, CURLOPT_COPYPOSTFIELDS, s.body.data());
        if (s.method != "POST") curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, s.method.c_str());
        // A followed 301/302 keeps the caller's verb, as the caller asked for it.
        curl_easy_setopt(e, CURLOPT_POSTREDIR, static_cast<long>(CURL_REDIR_POST_ALL));
    } else if (s.method != "GET") {
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, s.method.c_str());
    } else {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    }

    curl_slist* list = nullptr;
    for (const auto& h : s.headers) list = curl_slist_append(list, h.c_str());
    list = curl_slist_append(list, "Expect:");
    c->headers.reset(list);
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, list);
    if (!s.connect_to.empty()) {
        c->connect_to.reset(curl_slist_append(nullptr, s.connect_to.c_str()));
        curl_easy_setopt(e, CURLOPT_CONNECT_TO, c->connect_to.get());
    }

    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &HttpTransfer::header_cb);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &HttpTransfer::write_cb);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &HttpTransfer::progress_cb);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);

    if (curl_multi_add_handle(c->multi, e) != CURLM_OK) {
        err = ERROR_INTERNET_INTERNAL_ERROR;
        return false;
    }
    c->attached = true;
    curl_ = std::move(c);
    touch();
    return pump([this] { return headers_done_; }, err);
}

template <class Pred>
bool HttpTransfer::pump(Pred enough, DWORD& err) {
    using clock = std::chrono::steady_clock;
    while (!enough() && !done_) {
        if (aborted_) {
            err = ERROR_INTERNET_OPERATION_CANCELLED;
            return false;
        }
        int running = 0;
        curl_multi_perform(curl_->multi, &running);
        int left = 0;
        while (CURLMsg* m = curl_multi_info_read(curl_->multi, &left)) {
            if (m->msg != CURLMSG_DONE) continue;
            done_ = true;
            CURLcode rc = m->data.result;
            // A body cut short by the server reads as its end, as a dropped
            // connection does on Windows.
            if (rc == CURLE_PARTIAL_FILE && headers_done_) rc = CURLE_OK;
            if (rc == CURLE_ABORTED_BY_CALLBACK) {
                final_error_ = ERROR_INTERNET_OPERATION_CANCELLED;
            } else if (rc != CURLE_OK) {
                final_error_ = curl_error_to_win(rc);
            }
        }
        if (done_ || enough()) break;

        if (!connected_) {
            curl_off_t us = 0;
            if (curl_easy_getinfo(curl_->easy, CURLINFO_CONNECT_TIME_T, &us) == CURLE_OK && us > 0) {
                connected_ = true;
                touch();
            }
        }
        auto now = clock::now();
        if (connected_) {
            // Idle limits: sending while the body goes out, receiving after.
            DWORD limit = uploaded_ < body_size_ ? timeouts_.send : timeouts_.receive;
            auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(now - last_activity_);
            if (idle.count() >= static_cast<long long>(limit)) {
                curl_multi_remove_handle(curl_->multi, curl_->easy);
                curl_->attached = false;
                done_ = true;
                final_error_ = ERROR_INTERNET_TIMEOUT;
                break;
            }
        }
        curl_multi_poll(curl_->multi, nullptr, 0, kPollSliceMs, nullptr);
    }
    if (aborted_) {
        err = ERROR_INTERNET_OPERATION_CANCELLED;
        return false;
    }
    if (enough()) return true;
    if (final_error_ != 0) {
        err = final_error_;
        return false;
    }
    if (!headers_done_) {
        err = ERROR_HTTP_INVALID_SERVER_RESPONSE;
        return false;
    }
    headers_done_ = true;
    return true;
}

bool HttpTransfer::read(void* buf, DWORD n, DWORD& got, DWORD& err) {
    got = 0;
    if (!curl_) {
        err = ERROR_INTERNET_INCORRECT_HANDLE_STATE;
        return false;
    }
    auto* out = static_cast<char*>(buf);
    while (got < n) {
        size_t ready = pending_.size() - pending_pos_;
        if (ready > 0) {
            size_t take = std::min<size_t>(ready, n - got);
            std::memcpy(out + got, pending_.data() + pending_pos_, take);
            pending_pos_ += take;
            got += static_cast<DWORD>(take);
            consumed_ += take;
            continue;
        }
        if (done_) break;
        if (!pump([this] { return pending_pos_ < pending_.size(); }, err)) {
            // Bytes already copied are the caller's; the error waits for the next read.
            if (got > 0 && err != ERROR_INTERNET_OPERATION_CANCELLED) return true;
            return false;
        }
    }
    if (got == 0 && done_ && final_error_ != 0 && pending_pos_ == pending_.size()) {
        err = final_error_;
        return false;
    }
    return true;
}

bool HttpTransfer::available(DWORD& n, DWORD& err) {
    n = 0;
    if (!curl_) {
        err = ERROR_INTERNET_INCORRECT_HANDLE_STATE;
        return false;
    }
    if (pending_pos_ == pending_.size() && !done_ &&
        !pump([this] { return pending_pos_ < pending_.size(); }, err))
        return false;
    size_t ready = pending_.size() - pending_pos_;
    if (ready == 0 && final_error_ != 0) {
        err = final_error_;
        return false;
    }
    n = static_cast<DWORD>(std::min<size_t>(ready, 0xFFFFFFFFu));
    return true;
}

}  // namespace w32::inet
