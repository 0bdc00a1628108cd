// demo-server: the local demo platform. Serves the installer files under --root
// with ranges and validators, answers and records statistics requests, and
// misbehaves on request (see README.md).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "faults.h"
#include "request_log.h"
#include "server.h"

namespace {

std::atomic<bool> g_stop{false};

void on_signal(int) { g_stop = true; }

int usage() {
    std::fprintf(stderr,
                 "usage: demo-server --listen ADDR:PORT [--root DIR] [--log FILE]\n"
                 "       [--stats-path PATH] [--max-seconds N]\n"
                 "       [--fail STATUS[:COUNT]] [--reset-at OFFSET[:COUNT]]\n"
                 "       [--truncate-at OFFSET[:COUNT]] [--stall-at OFFSET[:MS]]\n"
                 "       [--rate BYTES_PER_SECOND] [--ignore-ranges] [--chunked]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    demo::ServerOptions options;
    demo::FaultPlan faults;
    std::string log_path;
    long max_seconds = 0;
    bool have_listen = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) return usage();
        std::string name = arg.substr(2), value;
        size_t eq = name.find('=');
        bool is_flag = name == "ignore-ranges" || name == "chunked";
        if (eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        } else if (!is_flag) {
            if (i + 1 >= argc) return usage();
            value = argv[++i];
        }
        if (name == "listen") {
            size_t colon = value.rfind(':');
            if (colon == std::string::npos) return usage();
            options.address = value.substr(0, colon);
            options.port = uint16_t(std::strtoul(value.c_str() + colon + 1, nullptr, 10));
            have_listen = true;
        } else if (name == "root") {
            options.root = value;
        } else if (name == "log") {
            log_path = value;
        } else if (name == "stats-path") {
            options.stats_path = value;
        } else if (name == "max-seconds") {
            max_seconds = std::strtol(value.c_str(), nullptr, 10);
        } else {
            std::string error;
            if (!faults.apply(name, value, error)) {
                std::fprintf(stderr, "demo-server: %s\n", error.c_str());
                return usage();
            }
        }
    }
    if (!have_listen) return usage();

    demo::RequestLog log;
    if (!log.open(log_path)) {
        std::fprintf(stderr, "demo-server: cannot open log %s: %s\n", log_path.c_str(),
                     std::strerror(errno));
        return 1;
    }
    demo::Server server(options, faults, log);
    std::string error;
    if (!server.listen(error)) {
        std::fprintf(stderr, "demo-server: %s\n", error.c_str());
        return 1;
    }
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    std::signal(SIGPIPE, SIG_IGN);
    std::printf("listening %s:%u\n", options.address.c_str(), unsigned(server.port()));
    std::fflush(stdout);

    std::thread timer;
    if (max_seconds > 0) {
        timer = std::thread([max_seconds] {
            for (long i = 0; i < max_seconds * 10 && !g_stop; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            g_stop = true;
        });
    }
    server.run(g_stop);
    if (timer.joinable()) timer.join();
    return 0;
}
