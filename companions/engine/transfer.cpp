#include "transfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <cerrno>
#include <cstring>
#include <vector>

#include "text16.h"
#include "win32_unixpath.h"

namespace dravon {
namespace {

std::string unix_path_of(const std::string& windows_utf8) {
    std::wstring wide = utf16_to_wide(utf8_to_utf16(windows_utf8));
    return Win32PathToUnix(wide.c_str());
}

bool identity_encoding(const std::string& encoding) {
    return encoding.empty() || encoding == "identity";
}

// Hashes the first `size` bytes of the file; false when they cannot be read.
bool hash_prefix(int fd, uint64_t size, Md5& md5) {
    std::vector<char> buf(1 << 20);
    uint64_t off = 0;
    while (off < size) {
        size_t want = size_t(std::min<uint64_t>(buf.size(), size - off));
        ssize_t n = ::pread(fd, buf.data(), want, off_t(off));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        md5.update(buf.data(), size_t(n));
        off += uint64_t(n);
    }
    return true;
}

// Files whose MD5 this process has checked, by what changes with any write to them.
struct Stamp {
    dev_t dev;
    ino_t ino;
    off_t size;
    int64_t mtime_ns;
    int64_t ctime_ns;
    bool operator==(const Stamp&) const = default;
    std::string text() const {
        return std::to_string(dev) + ":" + std::to_string(ino) + ":" + std::to_string(size) + ":" +
               std::to_string(mtime_ns) + ":" + std::to_string(ctime_ns);
    }
};

std::optional<Stamp> stamp_of(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return Stamp{st.st_dev, st.st_ino, st.st_size,
                 int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                 int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

// The installer is a program to run: execute bits where the read bits are, given now so
// that starting it later changes nothing about the file.
void make_runnable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return;
    const mode_t mode = st.st_mode & 07777;
    const mode_t runnable = mode | S_IXUSR | ((mode & (S_IRGRP | S_IROTH)) >> 2);
    if (runnable != mode) ::chmod(path.c_str(), runnable);
}

std::mutex g_verified_mutex;
std::map<std::string, Stamp> g_verified;

}  // namespace

std::string mark_verified(const std::string& path) {
    make_runnable(path);
    std::optional<Stamp> stamp = stamp_of(path);
    // File times come from a coarse clock: a change within the same tick would keep
    // the stamp. Once that clock has passed the stamp, any later change moves it.
    for (int i = 0; stamp && i < 50; ++i) {
        struct timespec now {};
        clock_gettime(CLOCK_REALTIME_COARSE, &now);
        if (int64_t(now.tv_sec) * 1000000000 + now.tv_nsec > stamp->ctime_ns) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::lock_guard lock(g_verified_mutex);
    if (!stamp) {
        g_verified.erase(path);
        return {};
    }
    g_verified[path] = *stamp;
    return stamp->text();
}

bool is_verified(const std::string& path, const std::string& recorded) {
    std::optional<Stamp> stamp = stamp_of(path);
    if (!stamp) return false;
    if (!recorded.empty() && recorded == stamp->text()) return true;
    std::lock_guard lock(g_verified_mutex);
    auto it = g_verified.find(path);
    return it != g_verified.end() && it->second == *stamp;
}

Transfer::Transfer(TaskSpec spec, const TaskStore& store, FileLock lock, const Settings& settings,
                   uint64_t kept)
    : spec_(std::move(spec)),
      store_(store),
      settings_(settings),
      lock_(std::move(lock)),
      downloaded_(kept) {}

Transfer::~Transfer() { stop(); }

void Transfer::start() {
    worker_ = std::thread([this] { run(); });
}

std::string Transfer::partial_path() const {
    return join_path(spec_.save_dir, spec_.game.file + ".part");
}

std::string Transfer::final_path() const { return join_path(spec_.save_dir, spec_.game.file); }

namespace {

bool has_ended(Phase p) {
    return p == Phase::kComplete || p == Phase::kFailed || p == Phase::kCheckFailed ||
           p == Phase::kStopped;
}

}  // namespace

bool Transfer::ended() const {
    std::lock_guard lock(state_mutex_);
    return has_ended(phase_);
}

// The flags change under the state lock so a worker about to wait cannot miss them.
bool Transfer::pause() {
    {
        std::lock_guard lock(state_mutex_);
        if (has_ended(phase_) || stop_) return false;
        paused_ = true;
    }
    fetch_.wake();
    state_cv_.notify_all();
    return true;
}

bool Transfer::resume() {
    {
        std::lock_guard lock(state_mutex_);
        if (has_ended(phase_) || stop_) return false;
        paused_ = false;
    }
    state_cv_.notify_all();
    return true;
}

void Transfer::stop() {
    {
        std::lock_guard lock(state_mutex_);
        stop_ = true;
    }
    fetch_.wake();
    state_cv_.notify_all();
    if (worker_.joinable()) worker_.join();
}

Progress Transfer::progress() const {
    Progress p;
    {
        std::lock_guard lock(state_mutex_);
        p.phase = phase_;
        p.reason = reason_;
    }
    p.total = spec_.game.size;
    p.downloaded = p.phase == Phase::kComplete ? spec_.game.size : downloaded_.load();
    bool moving = p.phase == Phase::kDownloading || p.phase == Phase::kWaiting;
    if (moving && !paused_) p.speed = meter_.rate();
    return p;
}

void Transfer::set_phase(Phase phase) {
    std::lock_guard lock(state_mutex_);
    phase_ = phase;
}

void Transfer::finish(Phase phase, const std::string& reason) {
    std::lock_guard lock(state_mutex_);
    phase_ = phase;
    reason_ = reason;
}

void Transfer::run() {
    if (prepare()) download_loop();
    sink_.reset();
    lock_.reset();  // others may take the task over from here
}

bool Transfer::prepare() {
    const GameEntry& game = spec_.game;
    if (!fetch_.valid()) return prepare_failed("cannot set up the HTTP client");
    std::optional<TaskRecord> rec = store_.load(game.key);
    if (rec && (rec->url != game.url || rec->size != game.size || rec->md5 != game.md5 ||
                rec->file != game.file)) {
        // The engine file names another installer now: the old bytes are worthless.
        std::string old_dir = unix_path_of(rec->save_folder);
        if (!old_dir.empty()) ::unlink(join_path(old_dir, rec->file + ".part").c_str());
        rec.reset();
    }
    if (!make_dirs(spec_.save_dir)) return prepare_failed("cannot create the save folder");
    if (rec && rec->save_folder != spec_.save_folder) {
        // The user chose another folder: what was fetched moves along with the task.
        std::string name = rec->complete ? game.file : game.file + ".part";
        std::string old_dir = unix_path_of(rec->save_folder);
        std::string from = join_path(old_dir, name), to = join_path(spec_.save_dir, name);
        bool moved = !old_dir.empty() && from != to && file_size(from) && move_file(from, to);
        if (!moved && !file_size(to)) rec.reset();  // nothing to carry on from
    }
    if (rec && rec->complete) {
        // A file on disk may have changed since it was checked: only its bytes count.
        if (file_size(final_path()) == game.size) {
            set_phase(Phase::kVerifying);
            downloaded_ = game.size;
            UniqueFd done(::open(final_path().c_str(), O_RDONLY | O_CLOEXEC));
            Md5 whole;
            // Checked already and unchanged since: no need to read it again.
            if (is_verified(final_path(), rec->verified) ||
                (done && hash_prefix(done.get(), game.size, whole) &&
                 whole.hex_digest() == game.md5)) {
                rec->verified = mark_verified(final_path());
                rec->save_folder = spec_.save_folder;
                store_.save(*rec);
                finish(Phase::kComplete);
                return false;
            }
            ::unlink(final_path().c_str());
            downloaded_ = 0;
        }
        rec.reset();  // the installer is gone or altered: fetch it again
    }

    UniqueFd fd(::open(partial_path().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0)
        return prepare_failed(std::string("cannot open the partial file: ") + std::strerror(errno));
    uint64_t good = 0;
    Md5 md5;
    if (rec) {
        good = std::min<uint64_t>(rec->committed, uint64_t(st.st_size));
        // The bytes on disk are hashed again: a saved state cannot tell that they
        // changed since. When they no longer hash to it, nothing of them is kept.
        auto restored = Md5::restore_state(rec->md5_state);
        if (!hash_prefix(fd.get(), good, md5) || (restored && restored->length() == good &&
                                                  restored->save_state() != md5.save_state())) {
            good = 0;
            md5 = Md5();
        }
    }
    // Bytes past the last checkpoint may never have been written whole. What is
    // kept is flushed, so this run starts from bytes that are on disk.
    if (uint64_t(st.st_size) != good && ::ftruncate(fd.get(), off_t(good)) != 0)
        return prepare_failed(std::string("cannot truncate the partial file: ") +
                              std::strerror(errno));
    if (good > 0 && ::fdatasync(fd.get()) != 0)
        return prepare_failed(std::string("cannot flush the partial file: ") +
                              std::strerror(errno));

    {
        std::lock_guard lock(record_mutex_);
        record_ = TaskRecord{};
        record_.key = game.key;
        record_.save_folder = spec_.save_folder;
        record_.url = game.url;
        record_.size = game.size;
        record_.md5 = game.md5;
        record_.file = game.file;
        record_.channel = spec_.channel;
        record_.validator = rec && good > 0 ? rec->validator : std::string();
        record_.committed = record_.synced = good;
        record_.md5_state = record_.synced_md5_state = md5.save_state();
    }
    if (!store_.save(record_)) return prepare_failed("cannot write the task store");
    downloaded_ = good;
    DataSink::Options options;
    options.checkpoint_bytes = settings_.checkpoint_bytes;
    options.sync_interval = std::chrono::milliseconds(settings_.sync_ms);
    sink_ = std::make_unique<DataSink>(
        std::move(fd), good, std::move(md5), options,
        [this](uint64_t off, const Md5& m, bool durable) { on_checkpoint(off, m, durable); });
    set_phase(Phase::kDownloading);
    return true;
}

void Transfer::on_checkpoint(uint64_t offset, const Md5& md5, bool durable) {
    std::string state = md5.save_state();
    TaskRecord copy;
    {
        std::lock_guard lock(record_mutex_);
        record_.committed = offset;
        record_.md5_state = state;
        if (durable || record_.synced > offset) {
            // A restart from 0 leaves nothing older to fall back to either.
            record_.synced = offset;
            record_.synced_md5_state = std::move(state);
        }
        copy = record_;
    }
    store_.save(copy);
}

void Transfer::set_validator(const ResponseHead& head) {
    // A weak ETag cannot vouch for bytes, so the date stands in for it.
    std::string v =
        !head.etag.empty() && head.etag.rfind("W/", 0) != 0 ? head.etag : head.last_modified;
    std::lock_guard lock(record_mutex_);
    record_.validator = v;
}

void Transfer::download_loop() {
    int failures = 0;
    uint64_t high_water = sink_->received();
    while (true) {
        if (stop_) break;
        if (paused_) {
            set_phase(Phase::kPaused);
            sink_->flush();
            std::unique_lock lock(state_mutex_);
            state_cv_.wait(lock, [&] { return !paused_ || stop_; });
            if (stop_) break;
            phase_ = Phase::kDownloading;
            lock.unlock();
            meter_.reset();
            continue;
        }
        set_phase(Phase::kDownloading);
        verdict_ = Verdict::kNone;
        verdict_reason_.clear();
        FetchRequest req;
        req.url = spec_.game.url;
        req.offset = sink_->received();
        {
            std::lock_guard lock(record_mutex_);
            req.if_range = record_.validator;
        }
        req.connect_timeout_ms = settings_.connect_timeout_ms;
        req.stall_ms = settings_.stall_ms;
        FetchResult result = fetch_.run(
            req, [this](const ResponseHead& h) { return on_head(h); },
            [this](const char* d, size_t n) { return on_body(d, n); },
            [this] { return !stop_ && !paused_; });
        last_head_ = result.head;

        switch (classify(result)) {
            case Next::kContinue:
                continue;
            case Next::kVerify:
                verify();
                return;
            case Next::kFail:
                fail(verdict_reason_);
                return;
            case Next::kRetry:
                break;
        }
        // Only progress beyond anything seen before resets the count, so a server
        // that keeps restarting the file cannot keep the task alive for ever.
        if (sink_->received() > high_water) {
            high_water = sink_->received();
            failures = 0;
        }
        if (++failures > settings_.retries) {
            fail("gave up after " + std::to_string(failures) +
                 " faults in a row; last: " + verdict_reason_);
            return;
        }
        if (!wait_backoff(failures)) continue;
    }
    sink_->flush();
    finish(Phase::kStopped, "stopped");
}

Transfer::Next Transfer::classify(const FetchResult& r) {
    if (sink_->write_error()) {
        verdict_reason_ =
            std::string("cannot write the partial file: ") + std::strerror(sink_->write_error());
        return Next::kFail;
    }
    switch (r.end) {
        case FetchEnd::kInterrupted:
            return Next::kContinue;
        case FetchEnd::kStalled:
            verdict_reason_ = "the server stopped sending";
            return Next::kRetry;
        case FetchEnd::kNetwork:
            verdict_reason_ = "network: " + r.error;
            return Next::kRetry;
        case FetchEnd::kRefused:
            break;
        case FetchEnd::kFinished:
            if (verdict_ == Verdict::kNone) {
                uint64_t got = sink_->received();
                if (got == spec_.game.size) return Next::kVerify;
                verdict_reason_ = "short body: " + std::to_string(got) + " of " +
                                  std::to_string(spec_.game.size) + " bytes";
                return Next::kRetry;
            }
            break;
    }
    switch (verdict_) {
        case Verdict::kFail:
            return Next::kFail;
        case Verdict::kRangeNotSatisfiable: {
            const auto& total = r.head.range_total;
            if (total && *total != spec_.game.size) {
                verdict_reason_ = "the server's file has " + std::to_string(*total) +
                                  " bytes, the engine file says " + std::to_string(spec_.game.size);
                return Next::kFail;
            }
            if (sink_->received() == spec_.game.size) return Next::kVerify;
            // The server disowns our bytes: begin again.
            if (!sink_->restart()) return Next::kFail;
            downloaded_ = 0;
            verdict_reason_ = "range not satisfiable";
            return Next::kRetry;
        }
        case Verdict::kTransient:
            return Next::kRetry;
        case Verdict::kNone:
            verdict_reason_ = "response refused";
            return Next::kRetry;
    }
    return Next::kRetry;
}

bool Transfer::on_head(const ResponseHead& h) {
    const uint64_t size = spec_.game.size;
    auto fail_with = [&](Verdict v, std::string why) {
        verdict_ = v;
        verdict_reason_ = std::move(why);
        return false;
    };
    if (h.status == 206 || h.status == 200) {
        if (!identity_encoding(h.content_encoding))
            return fail_with(Verdict::kFail, "the server encodes the file: " + h.content_encoding);
    }
    if (h.status == 206) {
        if (h.range_total && *h.range_total != size)
            return fail_with(Verdict::kFail,
                             "the server's file has " + std::to_string(*h.range_total) +
                                 " bytes, the engine file says " + std::to_string(size));
        if (!h.range_first || *h.range_first != sink_->received())
            return fail_with(Verdict::kTransient, "the server sent another range");
        set_validator(h);
        return true;
    }
    if (h.status == 200) {
        if (h.content_length && *h.content_length != size)
            return fail_with(Verdict::kFail,
                             "the server's file has " + std::to_string(*h.content_length) +
                                 " bytes, the engine file says " + std::to_string(size));
        if (sink_->received() > 0) {
            // The whole file instead of the rest: the file changed or ranges are not
            // supported. Either way the bytes so far cannot be trusted.
            if (!sink_->restart())
                return fail_with(Verdict::kFail, "cannot truncate the partial file");
            downloaded_ = 0;
        }
        set_validator(h);
        return true;
    }
    std::string status = "HTTP status " + std::to_string(h.status);
    if (h.status == 416) return fail_with(Verdict::kRangeNotSatisfiable, status);
    if (h.status == 408 || h.status == 429 || (h.status >= 500 && h.status <= 599))
        return fail_with(Verdict::kTransient, status);
    return fail_with(Verdict::kFail, status);
}

bool Transfer::on_body(const char* data, size_t size) {
    if (sink_->received() + size > spec_.game.size) {
        verdict_ = Verdict::kFail;
        verdict_reason_ = "the server sent more bytes than the engine file says";
        return false;
    }
    meter_.add(size);
    bool ok = sink_->append(data, size);
    downloaded_ = sink_->received();
    if (!ok) {
        verdict_ = Verdict::kFail;
        verdict_reason_ =
            std::string("cannot write the partial file: ") + std::strerror(sink_->write_error());
    }
    return ok;
}

bool Transfer::wait_backoff(int failures) {
    set_phase(Phase::kWaiting);
    int64_t delay = settings_.backoff_ms;
    for (int i = 1; i < failures && delay < settings_.max_backoff_ms; ++i) delay *= 2;
    delay = std::min<int64_t>(delay, settings_.max_backoff_ms);
    std::unique_lock lock(state_mutex_);
    return !state_cv_.wait_for(lock, std::chrono::milliseconds(delay),
                               [&] { return stop_ || paused_; });
}

void Transfer::verify() {
    set_phase(Phase::kVerifying);
    const GameEntry& game = spec_.game;
    if (!sink_->flush())
        return fail(std::string("cannot write the partial file: ") +
                    std::strerror(sink_->write_error()));
    if (sink_->written() != game.size)
        return fail("the file has " + std::to_string(sink_->written()) +
                    " bytes, the engine file says " + std::to_string(game.size));
    std::string digest = sink_->hex_digest();
    sink_->close().reset();
    sink_.reset();
    if (digest != game.md5) {
        // Nothing of it can be kept: the next start begins anew.
        ::unlink(partial_path().c_str());
        store_.remove(game.key);
        finish(Phase::kCheckFailed,
               "MD5 " + digest + " differs from the engine file's " + game.md5);
        return;
    }
    if (::rename(partial_path().c_str(), final_path().c_str()) != 0) {
        std::string why = std::string("cannot rename the finished file: ") + std::strerror(errno);
        finish(Phase::kFailed, why);
        return;
    }
    sync_parent_dir(final_path());
    const std::string identity = mark_verified(final_path());
    TaskRecord copy;
    {
        std::lock_guard lock(record_mutex_);
        record_.complete = true;
        record_.verified = identity;
        record_.committed = record_.synced = game.size;
        record_.md5_state.clear();
        record_.synced_md5_state.clear();
        record_.last_error.clear();
        copy = record_;
    }
    store_.save(copy);
    downloaded_ = game.size;
    finish(Phase::kComplete);
}

bool Transfer::prepare_failed(const std::string& reason) {
    fail(reason);
    return false;
}

void Transfer::fail(const std::string& reason) {
    if (sink_) sink_->flush();
    TaskRecord copy;
    {
        std::lock_guard lock(record_mutex_);
        record_.last_error = reason;
        copy = record_;
    }
    if (!copy.key.empty()) store_.save(copy);
    finish(Phase::kFailed, reason);
}

}  // namespace dravon
