// Downloads one large file from the demo server on loopback through the engine,
// and the same file with a libcurl program in the same run, and reports the speed
// ratio and the engine's own peak resident memory.
//
// Each side runs in a process of its own (engine_host, libcurl_fetch), which times
// itself from its first request to the complete file and reports its peak memory.
// The libcurl program writes as the engine does (1 MiB buffers written in 32 KiB
// pieces, the file flushed to disk at the end). Both fetch the same served file (in
// the page cache) into the same folder, at least 5 times each in alternating order,
// every run starting with that file system flushed so that neither pays for the
// other's write-back; medians are compared. The engine must also hash every byte
// with MD5 before it may report completion: the MD5 rate of one core is measured
// too, and with it the best ratio any verifying engine could reach on this machine.
//
//   GDL_BENCH_MIB   size of the file in MiB (default 256; 1024 for the full run)
//   GDL_BENCH_DIR   folder for the served file and both copies (default $TMPDIR or /tmp)
//   GDL_BENCH_REPS  downloads per side (default and least 5)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "md5.h"
#include "testing/temp_dir.h"
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

struct Run {
    double seconds = -1;
    double peak_mib = 0;
};

// Runs a measuring child and reads its "seconds=S peak_kib=K" line.
Run run_child(std::vector<std::string> args) {
    int out[2];
    if (::pipe(out) != 0) return {};
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    char chunk[256];
    for (ssize_t n; (n = ::read(out[0], chunk, sizeof chunk)) > 0;) text.append(chunk, size_t(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    Run run;
    long kib = 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(text.c_str(), "seconds=%lf peak_kib=%ld", &run.seconds, &kib) != 2)
        return {};
    run.peak_mib = double(kib) / 1024.0;
    return run;
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

void BM_EngineAgainstLibcurl(benchmark::State& state) {
    const uint64_t size = uint64_t(env_number("GDL_BENCH_MIB", 256)) << 20;
    const int reps = int(std::max<long>(env_number("GDL_BENCH_REPS", 5), 5));
    const char* base = std::getenv("GDL_BENCH_DIR");
    if (base && *base) ::setenv("TMPDIR", base, 1);
    testing_support::TempDir tmp;
    std::string md5 = make_payload(tmp.folder("srv") + "/big.bin", size);
    demo::DemoServer server;  // on a free port of 127.0.0.1
    if (!server.start(tmp.path() + "/srv", tmp.path() + "/requests.log")) {
        state.SkipWithError("the demo server did not start");
        return;
    }
    std::ofstream(tmp.path() + "/Dravon.ini")
        << "[bench]\nurl=" << server.url("/big.bin") << "\nsize=" << size << "\nmd5=" << md5
        << "\nfile=big.bin\n";
    ::setenv("GDL_ENGINE_FILE", (tmp.path() + "/Dravon.ini").c_str(), 1);
    const std::string store = tmp.folder("store");
    ::setenv("GDL_ENGINE_STORE", store.c_str(), 1);
    // libcurl and the engine write into the same folder: C:\dl.
    const std::string out = tmp.folder("c") + "/dl";
    ::setenv("WIN32_DRIVES", ("C=" + tmp.path() + "/c").c_str(), 1);
    const std::string curl_out = tmp.folder("c/dl") + "/curl.bin";
    const std::string engine_out = out + "/big.bin";

    std::vector<Run> curl_runs, engine_runs;
    auto timed_curl = [&] {
        flush_file_system(out);
        curl_runs.push_back(run_child({LIBCURL_FETCH_PATH, server.url("/big.bin"), curl_out}));
        ::unlink(curl_out.c_str());
    };
    auto timed_engine = [&] {
        flush_file_system(out);
        engine_runs.push_back(run_child(
            {ENGINE_HOST_PATH, ENGINE_LIBRARY_PATH, "bench", "C:\\dl", std::to_string(size)}));
        // The next run downloads afresh.
        ::unlink(engine_out.c_str());
        ::unlink((store + "/bench.task").c_str());
    };
    std::vector<double> curl_s, engine_s, engine_mib;
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
        for (size_t i = 0; i < engine_runs.size(); ++i) {
            std::fprintf(stderr, "run %zu: libcurl %.3f s, engine %.3f s (%.1f MiB peak)\n", i + 1,
                         curl_runs[i].seconds, engine_runs[i].seconds, engine_runs[i].peak_mib);
            curl_s.push_back(curl_runs[i].seconds);
            engine_s.push_back(engine_runs[i].seconds);
            engine_mib.push_back(engine_runs[i].peak_mib);
        }
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
    state.counters["libcurl_MiB/s"] = mib / curl_med;
    state.counters["speed_ratio"] = curl_med / engine_med;
    state.counters["engine_peak_rss_MiB"] = *std::max_element(engine_mib.begin(), engine_mib.end());
    state.counters["md5_MiB/s"] = md5_own;
    state.counters["md5_openssl_MiB/s"] = md5_openssl;
    // The ratio an engine that only hashed, at the faster MD5, would reach.
    state.counters["md5_bound_ratio"] = curl_med / (mib / std::max(md5_own, md5_openssl));
}

BENCHMARK(BM_EngineAgainstLibcurl)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
