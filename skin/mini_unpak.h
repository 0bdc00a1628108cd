// CMiniUnPak reads a skin package: a zip of stored (uncompressed) entries, each
// read in place from the file (or from memory). Its index (entry name, data offset, size, CRC) is
// kept beside the package in "<package>.idx" and reused while it was made from the
// very same package bytes. Only stored entries with a safe relative name and a
// bounded size are listed; an entry whose bytes fail their CRC is not read.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// One package entry held in memory.
class CUIMemoryFile {
public:
    const char* GetData() const { return data_.data(); }
    size_t GetSize() const { return data_.size(); }
    std::string& GetBuffer() { return data_; }

private:
    std::string data_;
};

class CMiniUnPak {
public:
    struct Entry {
        std::string name;
        uint64_t offset = 0;  // of the entry's bytes in the package
        uint32_t size = 0;
        uint32_t crc = 0;
    };

    static constexpr uint32_t kMaxEntrySize = 32u << 20;
    static constexpr size_t kMaxEntries = 4096;

    // Indexes the package: from its index cache when that matches the package's
    // size and CRC, else from the zip, writing the cache anew (a cache that cannot
    // be written is no error). False when the package cannot be read as a zip.
    bool Open(const std::wstring& package_path);
    // Indexes a package held in memory (no index cache), which must outlive the reader.
    bool OpenMemory(const void* data, size_t size);
    void Close();
    bool IsOpen() const { return !path_.empty() || memory_; }

    // Entries in name order.
    const std::vector<Entry>& GetEntries() const { return entries_; }
    bool HasEntry(const std::string& name) const;
    // The entry's bytes, checked against its CRC; false when missing or damaged.
    bool ReadEntry(const std::string& name, CUIMemoryFile& out) const;

    // A relative name of non-empty parts without "." or "..", no drive, no
    // backslash, no leading slash.
    static bool IsSafeEntryName(const std::string& name);
    static std::wstring IndexPathFor(const std::wstring& package_path);

private:
    bool ReadIndexCache(const std::wstring& index_path);
    bool BuildIndexFromZip();
    void WriteIndexCache(const std::wstring& index_path) const;

    std::wstring path_;
    const char* memory_ = nullptr;
    uint64_t package_size_ = 0;
    uint32_t package_crc_ = 0;
    std::vector<Entry> entries_;
};
