// One line per request, tab-separated, so tests can read what reached the server:
// method, path, query, Range, If-Range, User-Agent, status ("-" for an empty field).
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace demo {

struct HttpRequest;

class RequestLog {
public:
    // Empty path: standard output.
    bool open(const std::string& path);
    ~RequestLog();
    void record(const HttpRequest& request, int status);

private:
    std::mutex mutex_;
    FILE* out_ = stdout;
};

}  // namespace demo
