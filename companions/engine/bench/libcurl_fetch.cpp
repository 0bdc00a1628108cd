// The engine benchmark's yardstick: one download with libcurl, written as the
// engine writes (bytes gathered in 1 MiB buffers, each written in 32 KiB pieces,
// the file flushed to disk at the end), with the engine's transfer options. Prints
// the seconds from the request to the flushed file and the peak resident memory.
//   libcurl_fetch <url> <output file>
#include <curl/curl.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr size_t kBufferSize = 1 << 20;
constexpr size_t kWriteSlice = 32 << 10;

struct Sink {
    int fd;
    std::vector<char> buffer;
    bool failed = false;

    void flush() {
        for (size_t at = 0; at < buffer.size() && !failed;) {
            ssize_t n = ::write(fd, buffer.data() + at, std::min(kWriteSlice, buffer.size() - at));
            if (n <= 0) failed = true;
            at += size_t(n > 0 ? n : 0);
        }
        buffer.clear();
    }
};

size_t on_write(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    size_t left = size * count;
    while (left > 0) {
        const size_t take = std::min(left, kBufferSize - sink->buffer.size());
        sink->buffer.insert(sink->buffer.end(), data, data + take);
        data += take;
        left -= take;
        if (sink->buffer.size() == kBufferSize) sink->flush();
    }
    return sink->failed ? 0 : size * count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURL* easy = curl_easy_init();
    Sink sink{::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644), {}};
    if (!easy || sink.fd < 0) return 3;
    sink.buffer.reserve(kBufferSize);
    curl_easy_setopt(easy, CURLOPT_URL, argv[1]);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 512L * 1024);
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, on_write);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
    const auto start = std::chrono::steady_clock::now();
    const CURLcode code = curl_easy_perform(easy);
    sink.flush();
    const bool ok = code == CURLE_OK && !sink.failed && ::fdatasync(sink.fd) == 0;
    ::close(sink.fd);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    curl_easy_cleanup(easy);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("seconds=%.6f peak_kib=%ld\n", ok ? seconds : -1.0, usage.ru_maxrss);
    return ok ? 0 : 1;
}
