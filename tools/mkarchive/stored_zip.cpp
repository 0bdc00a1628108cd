#include "stored_zip.h"

#include <zlib.h>

#include <cstdint>
#include <ctime>
#include <limits>

namespace mkarchive {
namespace {

void put16(std::string& b, uint32_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

struct DosTime {
    uint16_t time = 0, date = (1 << 5) | 1;  // 1980-01-01
};

DosTime dos_time(long long mtime) {
    time_t t = static_cast<time_t>(mtime);
    struct tm tm;
    DosTime d;
    if (gmtime_r(&t, &tm) && tm.tm_year >= 80) {
        d.time = static_cast<uint16_t>(tm.tm_hour << 11 | tm.tm_min << 5 | tm.tm_sec / 2);
        d.date = static_cast<uint16_t>((tm.tm_year - 80) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
    }
    return d;
}

bool is_ascii(const std::string& s) {
    for (unsigned char c : s) {
        if (c >= 0x80) return false;
    }
    return true;
}

}  // namespace

bool make_stored_zip(const std::vector<StoredFile>& files, long long mtime, std::string* out,
                     std::string* error) {
    constexpr uint32_t kVersion = 10;        // 1.0: stored entries only
    constexpr uint32_t kUtf8Names = 0x0800;  // general purpose flag bit 11
    constexpr uint32_t kMadeOnUnix = 3 << 8;
    if (files.size() >= 0xFFFF) {
        *error = "too many files for a zip without zip64";
        return false;
    }
    const DosTime when = dos_time(mtime);
    std::string archive, central;
    for (const auto& f : files) {
        if (f.data.size() >= std::numeric_limits<uint32_t>::max() ||
            archive.size() >= 0xFFFFFFFFu - f.data.size()) {
            *error = f.name + " is too large for a zip without zip64";
            return false;
        }
        const uint32_t crc = static_cast<uint32_t>(
            crc32_z(0, reinterpret_cast<const Bytef*>(f.data.data()), f.data.size()));
        const uint32_t size = static_cast<uint32_t>(f.data.size());
        const uint32_t flags = is_ascii(f.name) ? 0 : kUtf8Names;
        const uint32_t offset = static_cast<uint32_t>(archive.size());

        put32(archive, 0x04034b50);
        put16(archive, kVersion);
        put16(archive, flags);
        put16(archive, 0);  // stored
        put16(archive, when.time);
        put16(archive, when.date);
        put32(archive, crc);
        put32(archive, size);
        put32(archive, size);
        put16(archive, static_cast<uint32_t>(f.name.size()));
        put16(archive, 0);
        archive += f.name;
        archive += f.data;

        put32(central, 0x02014b50);
        put16(central, kMadeOnUnix | 20);
        put16(central, kVersion);
        put16(central, flags);
        put16(central, 0);
        put16(central, when.time);
        put16(central, when.date);
        put32(central, crc);
        put32(central, size);
        put32(central, size);
        put16(central, static_cast<uint32_t>(f.name.size()));
        put16(central, 0);  // extra
        put16(central, 0);  // comment
        put16(central, 0);  // disk
        put16(central, 0);  // internal attributes
        put32(central, static_cast<uint32_t>(0100000 | (f.executable ? 0755 : 0644)) << 16);
        put32(central, offset);
        central += f.name;
    }
    const uint32_t central_offset = static_cast<uint32_t>(archive.size());
    archive += central;
    put32(archive, 0x06054b50);
    put16(archive, 0);
    put16(archive, 0);
    put16(archive, static_cast<uint32_t>(files.size()));
    put16(archive, static_cast<uint32_t>(files.size()));
    put32(archive, static_cast<uint32_t>(central.size()));
    put32(archive, central_offset);
    put16(archive, 0);
    *out = std::move(archive);
    return true;
}

}  // namespace mkarchive
