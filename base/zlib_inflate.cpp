#include "base/zlib_inflate.h"

#include <limits.h>
#include <stdlib.h>
#include <zlib.h>

#include <memory>

#include <win32_unixpath.h>

#include "base/scoped_handle.h"

namespace base {
namespace {

constexpr unsigned kStep = 8192;

struct FreeDeleter {
    void operator()(unsigned char* p) const { free(p); }
};

struct GzCloser {
    void operator()(gzFile_s* file) const { gzclose(file); }
};

bool WriteAll(HANDLE file, const unsigned char* data, unsigned long length) {
    while (length > 0) {
        DWORD chunk = length > 0x40000000ul ? 0x40000000u : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        length -= written;
    }
    return true;
}

int InflateAndWrite(const unsigned char* input, unsigned long length, HANDLE file,
                    bool terminator) {
    unsigned char* raw = nullptr;
    unsigned long size = 0;
    int err = InflateBuffer(input, length, &raw, &size, true);
    std::unique_ptr<unsigned char, FreeDeleter> data(raw);
    if (err != Z_OK) return err;
    static const unsigned char kZeros[4] = {};
    if (!WriteAll(file, data.get(), size)) return Z_ERRNO;
    if (terminator && !WriteAll(file, kZeros, sizeof kZeros)) return Z_ERRNO;
    return Z_OK;
}

}  // namespace

int InflateBuffer(const unsigned char* input, unsigned long length, unsigned char** output,
                  unsigned long* output_length, bool gzip) {
    if (!output || !output_length || (!input && length)) return Z_STREAM_ERROR;
    *output_length = 0;
    z_stream stream{};
    int err = gzip ? inflateInit2(&stream, 47) : inflateInit(&stream);
    if (err != Z_OK) return err;

    unsigned long total = 0;
    unsigned long remaining = length;
    stream.next_in = const_cast<Bytef*>(input);
    for (;;) {
        if (stream.avail_in == 0 && remaining > 0) {
            stream.avail_in = remaining > UINT_MAX ? UINT_MAX : static_cast<uInt>(remaining);
            remaining -= stream.avail_in;
        }
        auto* grown = static_cast<unsigned char*>(realloc(*output, total + kStep));
        if (!grown) {
            err = Z_MEM_ERROR;
            break;
        }
        *output = grown;
        stream.next_out = grown + total;
        stream.avail_out = kStep;
        err = inflate(&stream, Z_NO_FLUSH);
        total += kStep - stream.avail_out;
        if (err == Z_STREAM_END) {
            err = Z_OK;
            break;
        }
        // Out of input before the end: the stream is cut short.
        if (err == Z_BUF_ERROR && stream.avail_in == 0 && remaining == 0) {
            err = Z_DATA_ERROR;
            break;
        }
        if (err != Z_OK && err != Z_BUF_ERROR) break;
    }
    inflateEnd(&stream);
    *output_length = total;
    return err;
}

int InflateToFile(const unsigned char* input, unsigned long length, HANDLE file) {
    return InflateAndWrite(input, length, file, false);
}

int InflateToFileWithTerminator(const unsigned char* input, unsigned long length, HANDLE file) {
    return InflateAndWrite(input, length, file, true);
}

bool GunzipFile(const wchar_t* gzip_path, const wchar_t* target_path) {
    if (!gzip_path || !target_path) return false;
    std::unique_ptr<gzFile_s, GzCloser> in(gzopen(Win32PathToUnix(gzip_path).c_str(), "rb"));
    if (!in) return false;
    ScopedHandle out(CreateFileW(target_path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.IsValid()) return false;
    unsigned char block[kStep];
    for (;;) {
        int read = gzread(in.get(), block, sizeof block);
        if (read < 0) return false;
        if (read == 0) break;
        if (!WriteAll(out.Get(), block, static_cast<unsigned long>(read))) return false;
    }
    // A fault met while filling the last block is only kept in the stream's state.
    int errnum = Z_OK;
    gzerror(in.get(), &errnum);
    return errnum == Z_OK;
}

}  // namespace base
