// Downloads one large file from the demo server on loopback through the engine,
// and the same file with curl in the same run, and reports the speed ratio and
// the peak resident memory of the process that hosts the engine.
//
// Both sides fetch the same served file (in the page cache) into the same folder,
// a few times each in alternating order, every run starting with that file system
// flushed so that neither pays for the other's write-back; medians are compared.
// The engine must also hash every byte with MD5 before it may report completion:
// the MD5 rate of one core is measured too, and with it the best ratio any
// verifying engine could reach on this machine.
//
//   GDL_BENCH_MIB   size of the file in MiB (default 256; 1024 for the full run)
//   GDL_BENCH_DIR   folder for the served file and both copies (default $TMPDIR or /tmp)
//   GDL_BENCH_REPS  downloads per side (default 3)
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "downloader/download_engine.h"
#include "md5.h"
#include "support/temp_dir.h"
#include "tools/demo-server/testing/demo_server_process.h"

namespace {

using Clock = std::chrono::steady_clock;

long env_number(const char* name, long fallback) {
    const char* v = std::getenv(name);
    long n = v ? std::atol(v) : 0;
    return n > 0 ? n : fallback;
}

double seconds_since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// Writes `size` pseudo-random bytes and answers their MD5.
std::string make_payload(const std::string& path, uint64_t size) {
    std::ofstream out(path, std::ios::binary);
    std::mt19937_64 rng(42);
    std::vector<uint64_t> block(1 << 19);  // 4 MiB
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    EVP_DigestInit_ex(ctx, EVP_md5(), nullptr);
    for (uint64_t done = 0; done < size;) {
        for (auto& w : block) w = rng();
        size_t n = size_t(std::min<uint64_t>(block.size() * 8, size - done));
        out.write(reinterpret_cast<const char*>(block.data()), std::streamsize(n));
        EVP_DigestUpdate(ctx, block.data(), n);
        done += n;
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned len = 0;
    EVP_DigestFinal_ex(ctx, digest, &len);
    EVP_MD_CTX_free(ctx);
    std::string hex;
    char buf[3];
    for (unsigned i = 0; i < len; ++i)
        std::snprintf(buf, sizeof buf, "%02x", digest[i]), hex += buf;
    return hex;
}

// Leaves nothing dirty on the folder's file system, so the next timed run starts
// without anyone else's write-back under way.
void flush_file_system(const std::string& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::syncfs(fd);
    ::close(fd);
}

double run_curl(const std::string& url, const std::string& out) {
    auto before = Clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(CURL_PROGRAM, "curl", "-s", "-f", "-o", out.c_str(), url.c_str(), nullptr);
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return seconds_since(before);
}

double run_engine(const std::u16string& save_folder, uint64_t size) {
    void* lib = ::dlopen(ENGINE_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!lib) return -1;
    auto get =
        reinterpret_cast<DownloadEngineGetInstanceFn>(::dlsym(lib, kDownloadEngineGetInstance));
    auto release = reinterpret_cast<DownloadEngineReleaseFn>(::dlsym(lib, kDownloadEngineRelease));
    IDownloadEngine* engine = get();
    std::u16string game = u"bench", channel = u"";
    DownloadEngineKey key{game.c_str(), save_folder.c_str(), channel.c_str()};
    auto info = std::make_unique<DownloadEngineInfo>();
    auto before = Clock::now();
    double seconds = -1;
    if (engine && engine->StartTask(&key) == 0) {
        while (true) {
            *info = DownloadEngineInfo{};
            int32_t code = engine->QueryProgress(info.get());
            if (code != 0) break;
            if (info->complete) {
                if (uint64_t(info->downloaded_size) == size) seconds = seconds_since(before);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    if (engine) {
        engine->Shutdown();
        release(engine);
    }
    ::dlclose(lib);
    return seconds;
}

// One core's MD5 rate in MiB/s, the engine's own and OpenSSL's, over a buffer
// that stays in the cache as the engine's buffers do.
std::pair<double, double> md5_rates(uint64_t size) {
    std::vector<char> buf(1 << 20);
    std::mt19937 rng(7);
    for (char& c : buf) c = char(rng());
    const uint64_t rounds = std::max<uint64_t>(size / buf.size(), 64);
    const double mib = double(rounds * buf.size()) / (1 << 20);

    auto before = Clock::now();
    dravon::Md5 own;
    for (uint64_t i = 0; i < rounds; ++i) own.update(buf.data(), buf.size());
    benchmark::DoNotOptimize(own.hex_digest());
    double own_rate = mib / seconds_since(before);

    before = Clock::now();
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    EVP_DigestInit_ex(ctx, EVP_md5(), nullptr);
    for (uint64_t i = 0; i < rounds; ++i) EVP_DigestUpdate(ctx, buf.data(), buf.size());
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned len = 0;
    EVP_DigestFinal_ex(ctx, digest, &len);
    EVP_MD_CTX_free(ctx);
    return {own_rate, mib / seconds_since(before)};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double peak_rss_mib() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void BM_EngineAgainstCurl(benchmark::State& state) {
    const uint64_t size = uint64_t(env_number("GDL_BENCH_MIB", 256)) << 20;
    const int reps = int(env_number("GDL_BENCH_REPS", 3));
    const char* base = std::getenv("GDL_BENCH_DIR");
    if (base && *base) ::setenv("TMPDIR", base, 1);
    enginetest::TempDir tmp;
    std::string md5 = make_payload(tmp.sub("srv") + "/big.bin", size);
    demo::DemoServer server;
    if (!server.start(tmp.path() + "/srv", tmp.path() + "/requests.log")) {
        state.SkipWithError("the demo server did not start");
        return;
    }
    std::ofstream(tmp.path() + "/Dravon.ini")
        << "[bench]\nurl=" << server.url("/big.bin") << "\nsize=" << size << "\nmd5=" << md5
        << "\nfile=big.bin\n";
    ::setenv("GDL_ENGINE_FILE", (tmp.path() + "/Dravon.ini").c_str(), 1);
    const std::string store = tmp.sub("store");
    ::setenv("GDL_ENGINE_STORE", store.c_str(), 1);
    // curl and the engine write into the same folder: C:\dl.
    const std::string out = tmp.sub("c") + "/dl";
    ::setenv("WIN32_DRIVES", ("C=" + tmp.path() + "/c").c_str(), 1);
    const std::string curl_out = tmp.sub("c/dl") + "/curl.bin";
    const std::string engine_out = out + "/big.bin";
    double rss_before = peak_rss_mib();

    std::vector<double> curl_s, engine_s;
    auto timed_curl = [&] {
        flush_file_system(out);
        curl_s.push_back(run_curl(server.url("/big.bin"), curl_out));
        ::unlink(curl_out.c_str());
    };
    auto timed_engine = [&] {
        flush_file_system(out);
        engine_s.push_back(run_engine(u"C:\\dl", size));
        // The next run downloads afresh.
        ::unlink(engine_out.c_str());
        ::unlink((store + "/bench.task").c_str());
    };
    for (auto _ : state) {
        for (int i = 0; i < reps; ++i) {
            if (i % 2 == 0) {
                timed_curl();
                timed_engine();
            } else {
                timed_engine();
                timed_curl();
            }
        }
        // Each run on its own, to judge how steady the machine was.
        for (size_t i = 0; i < engine_s.size(); ++i)
            std::fprintf(stderr, "run %zu: curl %.3f s, engine %.3f s\n", i + 1, curl_s[i],
                         engine_s[i]);
        state.SetIterationTime(median(engine_s));
    }
    bool failed = std::any_of(curl_s.begin(), curl_s.end(), [](double s) { return s <= 0; }) ||
                  std::any_of(engine_s.begin(), engine_s.end(), [](double s) { return s <= 0; });
    if (failed) {
        state.SkipWithError("a download failed");
        return;
    }
    const double mib = double(size) / (1 << 20);
    const double curl_med = median(curl_s), engine_med = median(engine_s);
    auto [md5_own, md5_openssl] = md5_rates(size);
    state.counters["MiB"] = mib;
    state.counters["reps"] = reps;
    state.counters["engine_MiB/s"] = mib / engine_med;
    state.counters["curl_MiB/s"] = mib / curl_med;
    state.counters["speed_ratio"] = curl_med / engine_med;  // target >= 0.9
    state.counters["peak_rss_MiB"] = peak_rss_mib();        // target < 30
    state.counters["rss_before_MiB"] = rss_before;
    state.counters["md5_MiB/s"] = md5_own;
    state.counters["md5_openssl_MiB/s"] = md5_openssl;
    // The ratio an engine that only hashed, at the faster MD5, would reach.
    state.counters["md5_bound_ratio"] = curl_med / (mib / std::max(md5_own, md5_openssl));
}

BENCHMARK(BM_EngineAgainstCurl)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
