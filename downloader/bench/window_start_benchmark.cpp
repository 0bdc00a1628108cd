// Cold start of the program to its main window on the screen, against starting a
// program that only loads the layer (goal: the window within 150 ms on an idle machine).
// Each run is a new process on a private X desktop (Xvfb with openbox): the window counts
// as shown when the layer logs its first map with its pixels on the server
// (WIN32_X11_LOG); the reference counts until its process has ended.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "testing/temp_dir.h"
#include "testing/x_desktop.h"

namespace {

using Clock = std::chrono::steady_clock;

// The program's folders and records in a private place, the desktop for its windows.
struct Place {
    Place() {
        for (const char* sub : {"tmp", "data", "run", "c"}) mkdir(dir.file(sub).c_str(), 0700);
        const std::pair<const char*, std::string> env[] = {
            {"TMPDIR", dir.file("tmp")},
            {"XDG_DATA_HOME", dir.file("data")},
            {"XDG_RUNTIME_DIR", dir.file("run")},
            {"WIN32_DRIVES", "C=" + dir.file("c") + ":fixed;Z=/:remote"},
            {"WIN32_HTTP_PORT_MAP", "80=1"},  // reports find nobody, at once
            {"WIN32_X11_LOG", dir.file("x11.log")},
        };
        for (const auto& [name, value] : env) setenv(name, value.c_str(), 1);
        desktop = testing_support::XDesktop::Get();
        if (desktop) setenv("DISPLAY", desktop->name().c_str(), 1);
    }
    testing_support::TempDir dir;
    testing_support::XDesktop* desktop = nullptr;
};

Place& ThePlace() {
    static Place place;
    return place;
}

pid_t Start(const char* program) {
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
        execl(program, program, nullptr);
        _exit(127);
    }
    return pid;
}

void MainWindowShown(benchmark::State& state) {
    Place& place = ThePlace();
    if (!place.desktop) return state.SkipWithError("Xvfb or openbox is missing");
    const std::string log = place.dir.file("x11.log");
    for (auto _ : state) {
        remove(log.c_str());
        const auto begin = Clock::now();
        const pid_t pid = Start(PROGRAM_PATH);
        struct stat st = {};
        bool shown = false;
        while (!shown && Clock::now() - begin < std::chrono::seconds(20)) {
            shown = stat(log.c_str(), &st) == 0 && st.st_size > 0;
            if (!shown) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - begin).count());
        kill(-pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        if (!shown) return state.SkipWithError("the window did not show");
    }
}

void LayerOnly(benchmark::State& state) {
    ThePlace();
    for (auto _ : state) {
        const auto begin = Clock::now();
        int status = 0;
        waitpid(Start(PROBE_PATH), &status, 0);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - begin).count());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return state.SkipWithError("the probe failed");
    }
}

BENCHMARK(LayerOnly)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(MainWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
