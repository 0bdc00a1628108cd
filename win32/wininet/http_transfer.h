// One HTTP exchange over libcurl, driven from the calling thread: start() returns
// once the final response headers are in, read() pulls the body as it arrives.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace w32::inet {

struct Timeouts {
    DWORD connect = 60000;
    DWORD send = 30000;
    DWORD receive = 30000;
};

struct TransferSetup {
    std::string url;           // already escaped
    std::string method;        // "GET", "POST", "HEAD", ...
    bool http10 = false;
    bool follow_redirects = true;
    std::vector<std::string> headers;  // "Name: value"; "Name:" removes a default
    std::string body;
    bool has_body = false;
    std::string proxy;         // empty: direct
    std::string no_proxy;
    std::string connect_to;    // a port remap, "HOST:PORT:HOST:PORT"
    Timeouts timeouts;
};

class HttpTransfer {
public:
    HttpTransfer();
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    // Sends the request and blocks until the final response headers arrive.
    // On failure answers false with a Windows error code in err.
    bool start(const TransferSetup& setup, DWORD& err);
    // Blocks until n bytes are copied or the body ends (got < n, then 0).
    bool read(void* buf, DWORD n, DWORD& got, DWORD& err);
    // Bytes ready now; blocks until there are some unless the body has ended.
    bool available(DWORD& n, DWORD& err);
    // Safe from any thread: a blocked call returns with ERROR_INTERNET_OPERATION_CANCELLED.
    void abort();

    bool started() const { return headers_done_; }
    unsigned long long consumed() const { return consumed_; }

    int status() const { return status_; }
    const std::string& version() const { return version_; }
    const std::string& reason() const { return reason_; }
    const std::vector<std::pair<std::string, std::string>>& headers() const { return headers_; }
    const std::vector<std::string>& raw_lines() const { return raw_lines_; }

private:
    struct Curl;

    template <class Pred>
    bool pump(Pred enough, DWORD& err);
    void reset_response();
    void on_header_line(std::string line);
    void touch();

    static size_t header_cb(char* data, size_t size, size_t n, void* self);
    static size_t write_cb(char* data, size_t size, size_t n, void* self);
    static int progress_cb(void* self, long long dltotal, long long dlnow, long long ultotal,
                           long long ulnow);

    std::unique_ptr<Curl> curl_;
    Timeouts timeouts_;
    bool follow_ = true;
    long long body_size_ = 0;
    long long uploaded_ = 0;
    std::chrono::steady_clock::time_point last_activity_;
    bool connected_ = false;

    bool headers_done_ = false;
    bool done_ = false;
    DWORD final_error_ = 0;
    std::atomic<bool> aborted_{false};

    std::string pending_;
    size_t pending_pos_ = 0;
    unsigned long long consumed_ = 0;

    int status_ = 0;
    std::string version_, reason_;
    std::vector<std::pair<std::string, std::string>> headers_;
    std::vector<std::string> raw_lines_;
};

// A libcurl result as the Windows error code a caller expects.
DWORD curl_error_to_win(int code);

}  // namespace w32::inet
