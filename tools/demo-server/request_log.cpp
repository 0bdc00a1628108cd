#include "request_log.h"

#include "http_request.h"

namespace demo {
namespace {

// Tabs and line breaks inside a field would break the line format.
std::string field(const std::string& s) {
    if (s.empty()) return "-";
    std::string out = s;
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return out;
}

}  // namespace

bool RequestLog::open(const std::string& path) {
    if (path.empty()) return true;
    FILE* f = std::fopen(path.c_str(), "a");
    if (!f) return false;
    out_ = f;
    return true;
}

RequestLog::~RequestLog() {
    if (out_ != stdout) std::fclose(out_);
}

void RequestLog::record(const HttpRequest& r, int status) {
    std::string line = field(r.method) + '\t' + field(r.path) + '\t' + field(r.query) + '\t' +
                       field(r.header("Range")) + '\t' + field(r.header("If-Range")) + '\t' +
                       field(r.header("User-Agent")) + '\t' + std::to_string(status) + '\n';
    std::lock_guard lock(mutex_);
    std::fputs(line.c_str(), out_);
    std::fflush(out_);
}

}  // namespace demo
