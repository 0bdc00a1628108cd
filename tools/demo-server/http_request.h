// One parsed HTTP/1.x request head. The target is taken between the first and the
// last blank of the request line, so a query carrying raw blanks stays whole.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace demo {

struct HttpRequest {
    std::string method;
    std::string path;   // without the query
    std::string query;  // after '?', as sent
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers;

    // First header of that name (case-insensitive), or empty.
    std::string header(std::string_view name) const;
    bool keep_alive() const;

    // Parses a head ending in an empty line; nullopt when malformed.
    static std::optional<HttpRequest> parse(std::string_view head);
};

// A single "bytes=" range resolved against a size: [first, last], or unsatisfiable.
struct ByteRange {
    enum class Kind { kNone, kSatisfiable, kUnsatisfiable } kind = Kind::kNone;
    uint64_t first = 0;
    uint64_t last = 0;
};
ByteRange parse_range(std::string_view header, uint64_t size);

// "%20" and friends; invalid escapes stay as they are.
std::string percent_decode(std::string_view s);

}  // namespace demo
