#include "settings.h"

#include <cstdlib>

#include "posix_file.h"

namespace dravon {
namespace {

const char* env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? v : nullptr;
}

template <typename T>
void read_number(const char* name, T& out, long long min, long long max) {
    const char* v = env(name);
    if (!v) return;
    char* end = nullptr;
    long long n = std::strtoll(v, &end, 10);
    if (end && *end == '\0' && n >= min && n <= max) out = T(n);
}

}  // namespace

Settings Settings::from_environment(const std::string& library_dir) {
    Settings s;
    const char* file = env("GDL_ENGINE_FILE");
    s.engine_file = file ? file : join_path(library_dir, "Dravon.ini");

    if (const char* store = env("GDL_ENGINE_STORE")) {
        s.store_dir = store;
    } else if (const char* data = env("XDG_DATA_HOME")) {
        s.store_dir = join_path(data, "Dravon");
    } else if (const char* home = env("HOME")) {
        s.store_dir = join_path(home, ".local/share/Dravon");
    } else {
        s.store_dir = "/tmp/Dravon-store";
    }

    read_number("GDL_ENGINE_RETRIES", s.retries, 0, 1000);
    read_number("GDL_ENGINE_BACKOFF_MS", s.backoff_ms, 1, 3600000);
    read_number("GDL_ENGINE_MAX_BACKOFF_MS", s.max_backoff_ms, 1, 3600000);
    read_number("GDL_ENGINE_STALL_MS", s.stall_ms, 50, 3600000);
    read_number("GDL_ENGINE_CONNECT_TIMEOUT_MS", s.connect_timeout_ms, 50, 3600000);
    long long kib = 0;
    read_number("GDL_ENGINE_CHECKPOINT_KIB", kib, 16, 1 << 20);
    if (kib) s.checkpoint_bytes = uint64_t(kib) << 10;
    read_number("GDL_ENGINE_SYNC_MS", s.sync_ms, 0, 3600000);
    const char* boot = env("GDL_ENGINE_BOOT_ID");
    s.boot_id = boot ? boot : current_boot_id();
    if (s.max_backoff_ms < s.backoff_ms) s.max_backoff_ms = s.backoff_ms;
    return s;
}

}  // namespace dravon
