#include "skin/mini_unpak.h"

#include <unzip.h>
#include <win32_unixpath.h>
#include <windows.h>
#include <zlib.h>

#include <string.h>

#include <algorithm>
#include <memory>

#include "base/log.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "skin/xml_archive.h"

namespace {

constexpr char kIndexMagic[8] = {'G', 'D', 'L', 'S', 'K', 'I', 'X', 1};
constexpr DWORD kMaxIndexFile = 1u << 20;

base::ScopedHandle OpenForReading(const std::wstring& path) {
    return base::ScopedHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool ReadAt(HANDLE file, uint64_t offset, char* out, size_t size) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return false;
    size_t done = 0;
    while (done < size) {
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 20));
        if (!ReadFile(file, out + done, want, &got, nullptr) || got == 0) return false;
        done += got;
    }
    return true;
}

// The package's size and the CRC of all its bytes: what an index cache must match.
bool MeasurePackage(const std::wstring& path, uint64_t& size, uint32_t& crc) {
    base::ScopedHandle file = OpenForReading(path);
    if (!file.IsValid()) return false;
    uLong running = crc32(0L, Z_NULL, 0);
    uint64_t total = 0;
    std::unique_ptr<Bytef[]> chunk(new Bytef[1 << 16]);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), chunk.get(), 1 << 16, &got, nullptr)) return false;
        if (got == 0) break;
        running = crc32(running, chunk.get(), got);
        total += got;
    }
    size = total;
    crc = static_cast<uint32_t>(running);
    return true;
}

void Put(std::string& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Bounds-checked little-endian reads over the cache file.
class Reader {
public:
    explicit Reader(const std::string& data) : data_(data) {}
    bool Get(uint64_t& v, int bytes) {
        if (data_.size() - pos_ < static_cast<size_t>(bytes)) return false;
        v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= static_cast<uint64_t>(static_cast<unsigned char>(data_[pos_ + i])) << (8 * i);
        pos_ += bytes;
        return true;
    }
    bool GetText(std::string& s, size_t n) {
        if (data_.size() - pos_ < n) return false;
        s = data_.substr(pos_, n);
        pos_ += n;
        return true;
    }
    size_t Position() const { return pos_; }

private:
    const std::string& data_;
    size_t pos_ = 0;
};

// minizip's file functions over a package in memory; the opaque value is the package.
struct MemoryZip {
    const char* data;
    uint64_t size;
};
struct MemoryStream {
    MemoryZip zip;
    uint64_t at = 0;
};

voidpf ZCALLBACK MemoryOpen(voidpf opaque, const void*, int) {
    return new MemoryStream{*static_cast<MemoryZip*>(opaque)};
}
uLong ZCALLBACK MemoryRead(voidpf, voidpf stream, void* out, uLong size) {
    auto* s = static_cast<MemoryStream*>(stream);
    const uLong n = static_cast<uLong>(std::min<uint64_t>(size, s->zip.size - s->at));
    memcpy(out, s->zip.data + s->at, n);
    s->at += n;
    return n;
}
uLong ZCALLBACK MemoryWrite(voidpf, voidpf, const void*, uLong) { return 0; }
ZPOS64_T ZCALLBACK MemoryTell(voidpf, voidpf stream) {
    return static_cast<MemoryStream*>(stream)->at;
}
long ZCALLBACK MemorySeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* s = static_cast<MemoryStream*>(stream);
    const uint64_t base = origin == ZLIB_FILEFUNC_SEEK_SET   ? 0
                          : origin == ZLIB_FILEFUNC_SEEK_CUR ? s->at
                                                             : s->zip.size;
    if (offset > s->zip.size - base) return -1;
    s->at = base + offset;
    return 0;
}
int ZCALLBACK MemoryClose(voidpf, voidpf stream) {
    delete static_cast<MemoryStream*>(stream);
    return 0;
}
int ZCALLBACK MemoryError(voidpf, voidpf) { return 0; }

void LogRefused(const std::string& name, const wchar_t* why) {
    BASE_LOG(LL_WARNING, LCAT_ALL)
        << L"皮肤包条目被拒绝（" << why << L"）：" << base::Utf8ToWide(name.c_str());
}

}  // namespace

std::wstring CMiniUnPak::IndexPathFor(const std::wstring& package_path) {
    return package_path + L".idx";
}

bool CMiniUnPak::IsSafeEntryName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name[0] == '/') return false;
    if (name.find('\\') != std::string::npos || name.find(':') != std::string::npos) return false;
    if (name.find('\0') != std::string::npos) return false;
    size_t start = 0;
    for (;;) {
        size_t slash = name.find('/', start);
        std::string part = name.substr(start, slash == std::string::npos ? slash : slash - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (slash == std::string::npos) return true;
        start = slash + 1;
    }
}

bool CMiniUnPak::Open(const std::wstring& package_path) {
    Close();
    uint64_t size = 0;
    uint32_t crc = 0;
    if (!MeasurePackage(package_path, size, crc)) return false;
    path_ = package_path;
    package_size_ = size;
    package_crc_ = crc;
    const std::wstring index_path = IndexPathFor(package_path);
    if (ReadIndexCache(index_path)) return true;
    if (!BuildIndexFromZip()) {
        Close();
        return false;
    }
    WriteIndexCache(index_path);
    return true;
}

bool CMiniUnPak::OpenMemory(const void* data, size_t size) {
    Close();
    if (!data) return false;
    memory_ = static_cast<const char*>(data);
    package_size_ = size;
    if (BuildIndexFromZip()) return true;
    Close();
    return false;
}

void CMiniUnPak::Close() {
    path_.clear();
    memory_ = nullptr;
    package_size_ = 0;
    package_crc_ = 0;
    entries_.clear();
}

bool CMiniUnPak::BuildIndexFromZip() {
    struct UnzCloser {
        void operator()(void* zip) const { unzClose(zip); }
    };
    MemoryZip memory{memory_, package_size_};
    zlib_filefunc64_def functions = {&MemoryOpen, &MemoryRead,  &MemoryWrite, &MemoryTell,
                                     &MemorySeek, &MemoryClose, &MemoryError, &memory};
    std::unique_ptr<void, UnzCloser> zip(
        memory_ ? unzOpen2_64("", &functions) : unzOpen64(Win32PathToUnix(path_.c_str()).c_str()));
    if (!zip) return false;
    unz_global_info64 global;
    if (unzGetGlobalInfo64(zip.get(), &global) != UNZ_OK || global.number_entry > kMaxEntries)
        return false;
    std::vector<Entry> entries;
    for (int status = unzGoToFirstFile(zip.get()); status == UNZ_OK;
         status = unzGoToNextFile(zip.get())) {
        unz_file_info64 info;
        char raw_name[512];
        if (unzGetCurrentFileInfo64(zip.get(), &info, raw_name, sizeof(raw_name), nullptr, 0,
                                    nullptr, 0) != UNZ_OK)
            return false;
        if (info.size_filename >= sizeof(raw_name)) {
            LogRefused(std::string(raw_name, 32), L"名称过长");
            continue;
        }
        std::string name(raw_name, info.size_filename);
        if (!name.empty() && name.back() == '/' && info.uncompressed_size == 0) continue;
        if (!IsSafeEntryName(name)) {
            LogRefused(name, L"路径不安全");
            continue;
        }
        if (info.compression_method != 0 || (info.flag & 1) != 0 ||
            info.compressed_size != info.uncompressed_size) {
            LogRefused(name, L"不是存储条目");
            continue;
        }
        if (info.uncompressed_size > kMaxEntrySize) {
            LogRefused(name, L"过大");
            continue;
        }
        if (unzOpenCurrentFile(zip.get()) != UNZ_OK) {
            LogRefused(name, L"本地头损坏");
            continue;
        }
        uint64_t offset = unzGetCurrentFileZStreamPos64(zip.get());
        unzCloseCurrentFile(zip.get());
        if (offset > package_size_ || info.uncompressed_size > package_size_ - offset) {
            LogRefused(name, L"越过包尾");
            continue;
        }
        Entry entry;
        entry.name = name;
        entry.offset = offset;
        entry.size = static_cast<uint32_t>(info.uncompressed_size);
        entry.crc = static_cast<uint32_t>(info.crc);
        entries.push_back(entry);
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.name < b.name; });
    // A second entry of one name is refused: the first in the zip wins.
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const Entry& a, const Entry& b) { return a.name == b.name; }),
                  entries.end());
    entries_.swap(entries);
    return true;
}

bool CMiniUnPak::ReadIndexCache(const std::wstring& index_path) {
    base::ScopedHandle file = OpenForReading(index_path);
    if (!file.IsValid()) return false;
    LARGE_INTEGER length;
    if (!GetFileSizeEx(file.Get(), &length) || length.QuadPart < 28 ||
        length.QuadPart > kMaxIndexFile)
        return false;
    std::string data(static_cast<size_t>(length.QuadPart), '\0');
    if (!ReadAt(file.Get(), 0, data.data(), data.size())) return false;

    const size_t body = data.size() - 4;
    uint32_t stored_crc = 0;
    for (int i = 0; i < 4; ++i)
        stored_crc |= static_cast<uint32_t>(static_cast<unsigned char>(data[body + i])) << (8 * i);
    if (crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(data.data()),
              static_cast<uInt>(body)) != stored_crc)
        return false;
    if (data.compare(0, sizeof(kIndexMagic), kIndexMagic, sizeof(kIndexMagic)) != 0) return false;

    Reader in(data);
    std::string skip;
    uint64_t size = 0, crc = 0, count = 0;
    if (!in.GetText(skip, sizeof(kIndexMagic)) || !in.Get(size, 8) || !in.Get(crc, 4) ||
        !in.Get(count, 4))
        return false;
    if (size != package_size_ || crc != package_crc_ || count > kMaxEntries) return false;
    std::vector<Entry> entries;
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t name_length = 0, offset = 0, entry_size = 0, entry_crc = 0;
        Entry entry;
        if (!in.Get(name_length, 2) || !in.GetText(entry.name, name_length) || !in.Get(offset, 8) ||
            !in.Get(entry_size, 4) || !in.Get(entry_crc, 4))
            return false;
        if (!IsSafeEntryName(entry.name) || entry_size > kMaxEntrySize || offset > package_size_ ||
            entry_size > package_size_ - offset)
            return false;
        if (!entries.empty() && !(entries.back().name < entry.name)) return false;
        entry.offset = offset;
        entry.size = static_cast<uint32_t>(entry_size);
        entry.crc = static_cast<uint32_t>(entry_crc);
        entries.push_back(entry);
    }
    if (in.Position() != body) return false;
    entries_.swap(entries);
    return true;
}

void CMiniUnPak::WriteIndexCache(const std::wstring& index_path) const {
    std::string out(kIndexMagic, sizeof(kIndexMagic));
    Put(out, package_size_, 8);
    Put(out, package_crc_, 4);
    Put(out, entries_.size(), 4);
    for (const Entry& e : entries_) {
        Put(out, e.name.size(), 2);
        out += e.name;
        Put(out, e.offset, 8);
        Put(out, e.size, 4);
        Put(out, e.crc, 4);
    }
    Put(out,
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(out.data()),
              static_cast<uInt>(out.size())),
        4);

    // Written aside and moved over, so a reader never meets half an index.
    const std::wstring part = index_path + L".part";
    {
        base::ScopedHandle file(CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file.IsValid() ||
            !WriteFile(file.Get(), out.data(), static_cast<DWORD>(out.size()), &written, nullptr) ||
            written != out.size()) {
            file.Reset();
            DeleteFileW(part.c_str());
            BASE_LOG(LL_WARNING, LCAT_ALL) << L"皮肤包索引写入失败：" << index_path;
            return;
        }
    }
    if (!MoveFileExW(part.c_str(), index_path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(part.c_str());
        BASE_LOG(LL_WARNING, LCAT_ALL) << L"皮肤包索引写入失败：" << index_path;
    }
}

bool CMiniUnPak::HasEntry(const std::string& name) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), name,
                               [](const Entry& e, const std::string& n) { return e.name < n; });
    return it != entries_.end() && it->name == name;
}

bool CMiniUnPak::ReadEntry(const std::string& name, CUIMemoryFile& out) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), name,
                               [](const Entry& e, const std::string& n) { return e.name < n; });
    if (it == entries_.end() || it->name != name) return false;
    std::string data;
    if (memory_) {
        data.assign(memory_ + it->offset, it->size);
    } else {
        base::ScopedHandle file = OpenForReading(path_);
        if (!file.IsValid()) return false;
        data.assign(it->size, '\0');
        if (!ReadAt(file.Get(), it->offset, data.data(), data.size())) return false;
    }
    uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(data.data()),
                      static_cast<uInt>(data.size()));
    if (crc != it->crc) {
        LogRefused(name, L"校验失败");
        return false;
    }
    out.GetBuffer().swap(data);
    return true;
}
