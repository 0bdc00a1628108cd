// The client's cost on top of the engine, in real processes against the demo server:
//  - idle CPU of the running client while a download is paused, against the same
//    client waiting in "ready to start" (goal: under 1% of one core);
//  - the whole road of one large download (press start to the complete file) through
//    the client against the engine driven alone on the same file (goal: ratio >= 0.97).
//    "done" is when the engine put the complete file in place (its modification time),
//    "seen" when the client reached state 9, up to one of its 1 s polls later.
//
//   GDL_BENCH_MIB   size of the download in MiB (default 1024)
//   GDL_BENCH_DIR   folder for the served file and the downloads (default $TMPDIR or /tmp)
//   GDL_BENCH_REPS  downloads per side (default 2)
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "base/md5.h"
#include "base/string_util.h"
#include "downloader/download_engine.h"
#include "testing/child_process.h"
#include "testing/temp_dir.h"
#include "tools/demo-server/testing/demo_server_process.h"

namespace {

using Clock = std::chrono::system_clock;

long EnvNumber(const char* name, long fallback) {
    const char* v = getenv(name);
    return v && atol(v) > 0 ? atol(v) : fallback;
}

double Now() { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); }

// The served file, the engine file and the environment of every run.
const char* BenchDir() {
    setenv("TMPDIR", getenv("GDL_BENCH_DIR") ? getenv("GDL_BENCH_DIR") : "/tmp", 1);
    return "";
}

struct Platform {
    Platform() {
        const uint64_t size = uint64_t(EnvNumber("GDL_BENCH_MIB", 1024)) << 20;
        mkdir(dir.file("www").c_str(), 0700);
        std::ofstream out(dir.file("www/demo_setup.exe"), std::ios::binary);
        std::mt19937_64 rng(7);
        std::vector<uint64_t> block(1 << 17);
        base::MD5 md5;
        for (uint64_t done = 0; done < size; done += block.size() * 8) {
            for (auto& w : block) w = rng();
            out.write(reinterpret_cast<const char*>(block.data()), block.size() * 8);
            md5.Update(reinterpret_cast<const unsigned char*>(block.data()), block.size() * 8);
        }
        out.close();
        server.start(dir.file("www"), dir.file("server.log"));
        std::ofstream(dir.file("engine.ini"))
            << "[demo]\nurl=" << server.url("/demo_setup.exe") << "\nsize=" << size
            << "\nmd5=" << base::WideToUtf8(md5.FinalHex()) << "\nfile=demo_setup.exe\n";
        setenv("GDL_ENGINE_FILE", dir.file("engine.ini").c_str(), 1);
        setenv("WIN32_HTTP_PORT_MAP", ("80=" + std::to_string(server.port())).c_str(), 1);
        setenv("WIN32_NO_DISPLAY", "1", 1);
    }
    // A fresh home for one run: drive C:, the data, runtime, temporary and store folders.
    std::string Fresh() {
        run_dir.reset();  // the last run's downloads go
        setenv("TMPDIR", dir.path().c_str(), 1);
        run_dir = std::make_unique<testing_support::TempDir>();
        const std::string run = run_dir->path();
        for (const char* sub : {"/c", "/data", "/run", "/tmp", "/store"})
            mkdir((run + sub).c_str(), 0700);
        setenv("WIN32_DRIVES", ("C=" + run + "/c:fixed:free=10000000000000;Z=/:remote").c_str(), 1);
        setenv("XDG_DATA_HOME", (run + "/data").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (run + "/run").c_str(), 1);
        setenv("TMPDIR", (run + "/tmp").c_str(), 1);
        setenv("GDL_ENGINE_STORE", (run + "/store").c_str(), 1);
        return run;
    }
    const char* base = BenchDir();  // before the folder below is made
    testing_support::TempDir dir;
    demo::DemoServer server;
    std::unique_ptr<testing_support::TempDir> run_dir;
};

Platform& ThePlatform() {
    static Platform platform;
    return platform;
}

double Modified(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mtim.tv_sec + st.st_mtim.tv_nsec / 1e9 : 0;
}

double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string field;
    double ticks = 0;
    for (int i = 1; i <= 15 && stat >> field; ++i)
        if (i >= 14) ticks += atof(field.c_str());
    return ticks / sysconf(_SC_CLK_TCK);
}

// The client's share of one core over 10 s, once it shows the state; paused or not.
void IdleCpu(benchmark::State& state, bool paused) {
    Platform& p = ThePlatform();
    p.server.control(paused ? "rate=1000000" : "rate=0");
    for (auto _ : state) {
        testing_support::ChildProcess client;
        p.Fresh();
        client.Start(DRIVER_PATH);
        client.Expect("state 3");
        if (paused)
            client.Send("start"), client.Expect("state 6"), client.Send("pause"),
                client.Expect("state 8");
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const double cpu = CpuSeconds(client.pid()), begin = Now();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        state.counters["core_percent"] = 100 * (CpuSeconds(client.pid()) - cpu) / (Now() - begin);
    }
}

void ClientRoad(benchmark::State& state) {
    Platform& p = ThePlatform();
    p.server.control("rate=0");
    for (auto _ : state) {
        const std::string run = p.Fresh();
        testing_support::ChildProcess client;
        client.Start(DRIVER_PATH);
        client.Expect("state 3");
        const double begin = Now();
        client.Send("start");
        client.Expect("state 9");
        const double seen = Now() - begin;
        const double done = Modified(run + "/c/KeltoGames/DemoGame/demo_setup.exe") - begin;
        client.Kill();
        state.SetIterationTime(done);
        state.counters["seen_s"] = seen;
    }
}

void EngineRoad(benchmark::State& state) {
    Platform& p = ThePlatform();
    p.server.control("rate=0");
    void* library = dlopen(ENGINE_LIBRARY_PATH, RTLD_NOW);
    auto get =
        reinterpret_cast<DownloadEngineGetInstanceFn>(dlsym(library, kDownloadEngineGetInstance));
    auto release =
        reinterpret_cast<DownloadEngineReleaseFn>(dlsym(library, kDownloadEngineRelease));
    for (auto _ : state) {
        const std::string run = p.Fresh();
        IDownloadEngine* engine = get();
        const std::u16string game = u"demo", folder = u"C:\\KeltoGames\\DemoGame",
                             channel = u"demo";
        const DownloadEngineKey key{game.c_str(), folder.c_str(), channel.c_str()};
        auto* info = new DownloadEngineInfo{};
        const double begin = Now();
        engine->StartTask(&key);
        while ((*info = DownloadEngineInfo{}, engine->QueryProgress(info)) == 0 && !info->complete)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const double seen = Now() - begin;
        state.SetIterationTime(Modified(run + "/c/KeltoGames/DemoGame/demo_setup.exe") - begin);
        state.counters["seen_s"] = seen;
        release(engine);
        delete info;
    }
}

}  // namespace

BENCHMARK_CAPTURE(IdleCpu, ready, false)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(IdleCpu, paused, true)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(EngineRoad)
    ->Iterations(EnvNumber("GDL_BENCH_REPS", 2))
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ClientRoad)
    ->Iterations(EnvNumber("GDL_BENCH_REPS", 2))
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
