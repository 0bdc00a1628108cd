// Writes small zip archives for the tests: any entry names (hostile ones too),
// stored or deflated data and a chosen DOS date; and deflates data for them.
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

// Compresses data in one call. window_bits as zlib takes them: -15 raw (as in a
// zip entry), 15 with a zlib header, 31 with a gzip one.
std::string Deflate(const std::string& data, int window_bits, int level = 6);

// False when the file cannot be written.
bool WriteZip(const std::string& linux_path, const std::vector<Entry>& entries);

}  // namespace testzip
