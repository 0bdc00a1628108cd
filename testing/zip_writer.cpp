#include "testing/zip_writer.h"

#include <stdio.h>
#include <zlib.h>

namespace testzip {
namespace {

void Put16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

}  // namespace

std::string Deflate(const std::string& data, int window_bits, int level) {
    z_stream s{};
    deflateInit2(&s, level, Z_DEFLATED, window_bits, 8, Z_DEFAULT_STRATEGY);
    // Room for a gzip header and trailer beyond the bound of the data.
    std::string out(deflateBound(&s, data.size()) + 32, '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
    uint32_t date = ((year - 1980) << 9) | (month << 5) | day;
    uint32_t time = (hour << 11) | (minute << 5) | (second / 2);
    return (date << 16) | time;
}

bool WriteZip(const std::string& linux_path, const std::vector<Entry>& entries) {
    std::string body;
    std::string central;
    for (const Entry& e : entries) {
        bool folder = !e.name.empty() && e.name.back() == '/';
        uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(e.data.data()),
                             static_cast<uInt>(e.data.size()));
        std::string stored = e.deflate ? Deflate(e.data, -15, Z_BEST_COMPRESSION) : e.data;
        uint16_t method = e.deflate ? 8 : 0;
        uint32_t offset = static_cast<uint32_t>(body.size());

        Put32(body, 0x04034b50);
        Put16(body, 20);
        Put16(body, 0);
        Put16(body, method);
        Put16(body, e.dos_date_time & 0xFFFF);
        Put16(body, e.dos_date_time >> 16);
        Put32(body, crc);
        Put32(body, static_cast<uint32_t>(stored.size()));
        Put32(body, static_cast<uint32_t>(e.data.size()));
        Put16(body, static_cast<uint32_t>(e.name.size()));
        Put16(body, 0);
        body += e.name;
        body += stored;

        Put32(central, 0x02014b50);
        Put16(central, 20);
        Put16(central, 20);
        Put16(central, 0);
        Put16(central, method);
        Put16(central, e.dos_date_time & 0xFFFF);
        Put16(central, e.dos_date_time >> 16);
        Put32(central, crc);
        Put32(central, static_cast<uint32_t>(stored.size()));
        Put32(central, static_cast<uint32_t>(e.data.size()));
        Put16(central, static_cast<uint32_t>(e.name.size()));
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, folder ? 0x10 : 0x20);
        Put32(central, offset);
        central += e.name;
    }
    std::string end;
    Put32(end, 0x06054b50);
    Put16(end, 0);
    Put16(end, 0);
    Put16(end, static_cast<uint32_t>(entries.size()));
    Put16(end, static_cast<uint32_t>(entries.size()));
    Put32(end, static_cast<uint32_t>(central.size()));
    Put32(end, static_cast<uint32_t>(body.size()));
    Put16(end, 0);

    FILE* f = fopen(linux_path.c_str(), "wb");
    if (!f) return false;
    std::string all = body + central + end;
    bool ok = fwrite(all.data(), 1, all.size(), f) == all.size();
    return fclose(f) == 0 && ok;
}

}  // namespace testzip
