// One HTTP GET over libcurl, from a byte offset, that another thread can cut short
// at once (pause, shutdown) and that gives up on a connection that goes quiet.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace dravon {

struct ResponseHead {
    long status = 0;
    std::optional<uint64_t> content_length;
    // "bytes first-last/total" or "bytes */total"; a '*' total stays empty.
    std::optional<uint64_t> range_first;
    std::optional<uint64_t> range_total;
    std::string etag;
    std::string last_modified;
    std::string content_encoding;
};

struct FetchRequest {
    std::string url;
    uint64_t offset = 0;   // 0: the whole file, no Range header
    std::string if_range;  // validator sent with a ranged request
    int connect_timeout_ms = 15000;
    int stall_ms = 30000;
};

enum class FetchEnd {
    kFinished,     // the response ended as announced (any status)
    kInterrupted,  // interrupt() or the caller's stop condition
    kStalled,      // no byte for stall_ms
    kRefused,      // the head or body callback said no
    kNetwork,      // connection, reset, time-out, short body, ...
};

struct FetchResult {
    FetchEnd end = FetchEnd::kNetwork;
    ResponseHead head;
    std::string error;  // for kNetwork: libcurl's text
};

class HttpFetch {
public:
    // Decides whether a response's body is wanted; false ends the fetch as kRefused.
    using HeadFn = std::function<bool(const ResponseHead&)>;
    // Takes body bytes of an accepted response; false ends the fetch as kRefused.
    using BodyFn = std::function<bool(const char*, size_t)>;

    HttpFetch();
    ~HttpFetch();
    HttpFetch(const HttpFetch&) = delete;
    HttpFetch& operator=(const HttpFetch&) = delete;

    bool valid() const { return easy_ && multi_; }
    // `keep_going` is checked between network waits (at least every 100 ms).
    FetchResult run(const FetchRequest& request, const HeadFn& on_head, const BodyFn& on_body,
                    const std::function<bool()>& keep_going);
    // Any thread: cuts the running fetch's wait short so `keep_going` is checked.
    void wake();

private:
    static size_t on_header(char* data, size_t size, size_t count, void* self);
    static size_t on_write(char* data, size_t size, size_t count, void* self);
    bool begin_body();

    CURL* easy_ = nullptr;
    CURLM* multi_ = nullptr;

    // State of the running fetch (fetching thread only).
    ResponseHead head_;
    bool head_decided_ = false;
    bool head_accepted_ = false;
    bool refused_ = false;
    uint64_t bytes_seen_ = 0;
    const HeadFn* on_head_ = nullptr;
    const BodyFn* on_body_ = nullptr;
};

}  // namespace dravon
