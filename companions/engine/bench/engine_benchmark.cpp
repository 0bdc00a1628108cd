// Downloads one large file from the demo server on loopback through the engine,
// and the same file with curl in the same run, and reports the speed ratio and
// the peak resident memory of the process that hosts the engine.
//
//   GDL_BENCH_MIB  size of the file in MiB (default 256; 1024 for the full run)
//   GDL_BENCH_DIR  folder for the served file and both copies (default $TMPDIR or /tmp)
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <openssl/evp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "downloader/download_engine.h"
#include "support/temp_dir.h"
#include "tools/demo-server/testing/demo_server_process.h"

namespace {

using Clock = std::chrono::steady_clock;

uint64_t bench_bytes() {
    const char* v = std::getenv("GDL_BENCH_MIB");
    long mib = v ? std::atol(v) : 256;
    return uint64_t(mib > 0 ? mib : 256) << 20;
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
    return std::chrono::duration<double>(Clock::now() - before).count();
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
    if (engine->StartTask(&key) == 0) {
        while (true) {
            *info = DownloadEngineInfo{};
            int32_t code = engine->QueryProgress(info.get());
            if (code != 0) break;
            if (info->complete) {
                if (uint64_t(info->downloaded_size) == size)
                    seconds = std::chrono::duration<double>(Clock::now() - before).count();
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    engine->Shutdown();
    release(engine);
    ::dlclose(lib);
    return seconds;
}

double peak_rss_mib() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void BM_EngineAgainstCurl(benchmark::State& state) {
    const uint64_t size = bench_bytes();
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
    ::setenv("GDL_ENGINE_STORE", tmp.sub("store").c_str(), 1);
    ::setenv("WIN32_DRIVES", ("C=" + tmp.sub("c")).c_str(), 1);
    double rss_before = peak_rss_mib();

    double curl_s = 0, engine_s = 0;
    for (auto _ : state) {
        curl_s = run_curl(server.url("/big.bin"), tmp.path() + "/curl.bin");
        ::unlink((tmp.path() + "/curl.bin").c_str());
        engine_s = run_engine(u"C:\\dl", size);
        state.SetIterationTime(engine_s);
    }
    if (curl_s <= 0 || engine_s <= 0) {
        state.SkipWithError("a download failed");
        return;
    }
    double mib = double(size) / (1 << 20);
    state.counters["MiB"] = mib;
    state.counters["engine_MiB/s"] = mib / engine_s;
    state.counters["curl_MiB/s"] = mib / curl_s;
    state.counters["speed_ratio"] = curl_s / engine_s;  // target >= 0.9
    state.counters["peak_rss_MiB"] = peak_rss_mib();    // target < 30
    state.counters["rss_before_MiB"] = rss_before;
}

BENCHMARK(BM_EngineAgainstCurl)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
