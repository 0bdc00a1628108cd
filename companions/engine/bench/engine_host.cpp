// Hosts the engine for one timed download, alone in its process, so that the peak
// memory it reports is the engine's: loads the library, starts the task, polls its
// progress and prints the seconds from the start (the first request) to the
// complete file, and the process's peak resident memory.
//   engine_host <library> <game key> <save folder> <size in bytes>
#include <dlfcn.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "downloader/download_engine.h"

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    void* lib = ::dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib) return 3;
    auto get =
        reinterpret_cast<DownloadEngineGetInstanceFn>(::dlsym(lib, kDownloadEngineGetInstance));
    auto release = reinterpret_cast<DownloadEngineReleaseFn>(::dlsym(lib, kDownloadEngineRelease));
    IDownloadEngine* engine = get ? get() : nullptr;
    if (!engine || !release) return 3;
    const std::string game(argv[2]), folder(argv[3]);
    const std::u16string game16(game.begin(), game.end()), folder16(folder.begin(), folder.end());
    const std::u16string channel;
    const int64_t size = std::atoll(argv[4]);
    DownloadEngineKey key{game16.c_str(), folder16.c_str(), channel.c_str()};
    auto info = std::make_unique<DownloadEngineInfo>();
    const auto start = std::chrono::steady_clock::now();
    double seconds = -1;
    if (engine->StartTask(&key) == kDownloadEngineOk) {
        for (;;) {
            *info = DownloadEngineInfo{};
            if (engine->QueryProgress(info.get()) != kDownloadEngineOk) break;
            if (info->complete) {
                if (info->downloaded_size == size)
                    seconds =
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                            .count();
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    engine->Shutdown();
    release(engine);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("seconds=%.6f peak_kib=%ld\n", seconds, usage.ru_maxrss);
    return seconds > 0 ? 0 : 1;
}
