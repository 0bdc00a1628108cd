// Writes small zip archives for the tests: any entry names (hostile ones too),
// stored or deflated data and a chosen DOS date.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace testzip {

struct Entry {
    std::string name;  // raw bytes as stored; a trailing '/' makes a folder entry
    std::string data;
    uint32_t dos_date_time = 0;  // date in the high 16 bits
    bool deflate = false;
};

uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second);

// False when the file cannot be written.
bool WriteZip(const std::string& linux_path, const std::vector<Entry>& entries);

}  // namespace testzip
