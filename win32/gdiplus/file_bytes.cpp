#include "gdiplus/file_bytes.h"

#include <algorithm>

namespace gdip {
namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

}  // namespace

bool read_whole_file(const WCHAR* filename, std::vector<uint8_t>& out) {
    FileHandle file(
        CreateFileW(filename, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.valid()) return false;
    uint8_t chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) return false;
        if (got == 0) return true;
        out.insert(out.end(), chunk, chunk + got);
    }
}

bool write_whole_file(const WCHAR* filename, const std::vector<uint8_t>& bytes) {
    FileHandle file(CreateFileW(filename, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD put = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        if (!WriteFile(file.get(), bytes.data() + done, want, &put, nullptr)) return false;
        done += put;
    }
    return true;
}

}  // namespace gdip
