#include "entry_path.h"

namespace sevenza {

bool split_entry_path(const std::string& name, std::vector<std::string>* components,
                      std::string* reason) {
    components->clear();
    if (name.empty()) {
        *reason = "empty name";
        return false;
    }
    if (name[0] == '/' || name[0] == '\\') {
        *reason = "absolute path";
        return false;
    }
    if (name.find(':') != std::string::npos) {
        *reason = "drive or stream name";
        return false;
    }
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) end = name.size();
        std::string part = name.substr(start, end - start);
        if (part == "..") {
            components->clear();
            *reason = "path leaves the output folder";
            return false;
        }
        if (!part.empty() && part != ".") components->push_back(std::move(part));
        start = end + 1;
    }
    if (components->empty()) {
        *reason = "name names no file";
        return false;
    }
    return true;
}

}  // namespace sevenza
