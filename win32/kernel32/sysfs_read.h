// Small reads of /sys and /proc files for the device and adapter tables.
#pragma once

#include <string>

namespace w32::sysfs {

// The file's text without surrounding white space; "" when unreadable.
std::string read_text(const std::string& path);
bool exists(const std::string& path);
// The fully resolved path; "" when it does not resolve.
std::string resolve(const std::string& path);
std::string base_name(const std::string& path);

}  // namespace w32::sysfs
