#include "engine.h"

#include <algorithm>
#include <cstring>

#include "engine_codes.h"
#include "engine_file.h"
#include "text16.h"
#include "transfer.h"
#include "win32_unixpath.h"

namespace dravon {
namespace {

bool valid_key(const DownloadEngineKey* key) {
    return key && key->game_key && key->game_key[0] != 0;
}

void fill_names(DownloadEngineInfo* info, const std::string& folder, const std::string& file) {
    copy_utf16(info->path, DownloadEngineInfo::kPathChars, utf8_to_utf16(folder));
    copy_utf16(info->launch_file, DownloadEngineInfo::kLaunchFileChars, utf8_to_utf16(file));
}

// The info record's unused bytes after the complete flag carry the reason of a
// failure as UTF-16 text, for logs and tests; the program does not read them.
void fill_reason(DownloadEngineInfo* info, const std::string& reason) {
    std::u16string text = utf8_to_utf16(reason);
    char16_t buf[sizeof info->unused0 / sizeof(char16_t)];
    copy_utf16(buf, sizeof buf / sizeof buf[0], text);
    std::memcpy(info->unused0, buf, sizeof buf);
}

// A record still naming the installer the engine file names: its bytes are worth keeping.
bool same_game(const TaskRecord& rec, const GameEntry& entry) {
    return rec.url == entry.url && rec.size == entry.size && rec.md5 == entry.md5 &&
           rec.file == entry.file;
}

int32_t lookup_error(EngineFileError e) {
    return e == EngineFileError::kUnreadable ? kNoEngineFile : kUnknownGame;
}

}  // namespace

Engine::Engine(Settings settings)
    : settings_(std::move(settings)), store_(settings_.store_dir, settings_.boot_id) {}

Engine::~Engine() { shutdown(); }

bool Engine::closed() const {
    std::lock_guard lock(current_mutex_);
    return shut_down_;
}

std::shared_ptr<Transfer> Engine::current() const {
    std::lock_guard lock(current_mutex_);
    return current_;
}

void Engine::drop_current() {
    std::shared_ptr<Transfer> t;
    {
        std::lock_guard lock(current_mutex_);
        t = std::move(current_);
    }
    if (t) t->stop();
}

// What a record's files still hold: a finished download counts only while its
// installer is there, an unfinished one no more than its partial file. FindTask and
// QueryTask answer the same numbers from this. An installer counts as complete only
// while it is the very file whose MD5 was checked; once it changed, the program starts
// the task, which checks it again off this thread.
uint64_t Engine::bytes_on_disk(const TaskRecord& rec, bool* complete) const {
    std::string dir = Win32PathToUnix(utf16_to_wide(utf8_to_utf16(rec.save_folder)).c_str());
    if (complete) *complete = false;
    if (rec.complete) {
        std::string path = dir.empty() ? std::string() : join_path(dir, rec.file);
        bool present = !dir.empty() && file_size(path) == rec.size;
        if (complete) *complete = present && is_verified(path, rec.verified);
        return present ? rec.size : 0;
    }
    auto part = dir.empty() ? std::nullopt : file_size(join_path(dir, rec.file + ".part"));
    return std::min<uint64_t>(rec.committed, part.value_or(0));
}

int32_t Engine::find_task(const DownloadEngineKey* key, DownloadEngineInfo* info) {
    if (!valid_key(key) || !info) return kBadArgument;
    std::string game = utf16_to_utf8(view16(key->game_key));
    std::optional<TaskRecord> rec = store_.load(game);
    if (!rec) return kDownloadEngineOk;  // no earlier download: an empty path

    fill_names(info, rec->save_folder, rec->file);
    info->total_size = int64_t(rec->size);
    bool complete = false;
    info->downloaded_size = int64_t(bytes_on_disk(*rec, &complete));
    info->complete = complete ? 1 : 0;
    if (auto t = current(); t && t->spec().game.key == game) {
        Progress p = t->progress();
        if (p.phase != Phase::kComplete) info->downloaded_size = int64_t(p.downloaded);
    }
    return kDownloadEngineOk;
}

int32_t Engine::query_task(const DownloadEngineKey* key, DownloadEngineInfo* info) {
    if (!valid_key(key) || !info) return kBadArgument;
    std::string game = utf16_to_utf8(view16(key->game_key));
    EngineFileError error;
    std::optional<GameEntry> entry = find_game(settings_.engine_file, game, error);
    if (!entry) return lookup_error(error);

    info->total_size = int64_t(entry->size);
    std::optional<TaskRecord> rec = store_.load(game);
    if (rec && same_game(*rec, *entry)) {
        info->downloaded_size = int64_t(bytes_on_disk(*rec, nullptr));
        fill_names(info, rec->save_folder, rec->file);
    } else {
        fill_names(info, "", entry->file);
    }
    if (auto t = current(); t && t->spec().game.key == game) {
        Progress p = t->progress();
        if (p.phase != Phase::kComplete) info->downloaded_size = int64_t(p.downloaded);
    }
    return kDownloadEngineOk;
}

int32_t Engine::start_task(const DownloadEngineKey* key) {
    if (!valid_key(key) || !key->save_folder || !key->save_folder[0]) return kBadArgument;
    std::lock_guard start_lock(start_mutex_);
    if (closed()) return kEngineClosed;
    TaskSpec spec;
    spec.save_folder = utf16_to_utf8(view16(key->save_folder));
    spec.channel = utf16_to_utf8(view16(key->user_channel));
    spec.save_dir = Win32PathToUnix(utf16_to_wide(view16(key->save_folder)).c_str());
    if (spec.save_dir.empty()) return kBadSaveFolder;
    EngineFileError error;
    std::optional<GameEntry> entry =
        find_game(settings_.engine_file, utf16_to_utf8(view16(key->game_key)), error);
    if (!entry) return lookup_error(error);
    spec.game = *entry;

    if (auto t = current()) {
        const TaskSpec& running = t->spec();
        bool same = running.game.key == spec.game.key && running.save_folder == spec.save_folder &&
                    running.game.url == spec.game.url && running.game.md5 == spec.game.md5;
        if (same && !t->ended()) return kDownloadEngineOk;  // already on its way
        // One transfer at a time; its record keeps its bytes. It stays current until
        // its successor is, so a poll meanwhile never finds no transfer at all.
        t->stop();
    }
    if (!store_.ensure_dir()) {
        drop_current();
        return kStoreUnavailable;
    }
    bool busy = false;
    std::optional<FileLock> lock = store_.try_lock(spec.game.key, busy);
    if (!lock) {
        drop_current();
        return busy ? kTaskBusy : kStoreUnavailable;
    }
    // Until the transfer has checked the bytes an earlier run left (the whole installer,
    // or the partial file), polls count them: the window must not fall back to 0%.
    std::optional<TaskRecord> rec = store_.load(spec.game.key);
    const uint64_t kept = rec && same_game(*rec, spec.game) ? bytes_on_disk(*rec, nullptr) : 0;
    auto transfer =
        std::make_shared<Transfer>(std::move(spec), store_, std::move(*lock), settings_, kept);
    transfer->start();
    std::lock_guard guard(current_mutex_);
    current_ = std::move(transfer);
    return kDownloadEngineOk;
}

int32_t Engine::cancel_task() {
    std::lock_guard start_lock(start_mutex_);
    if (closed()) return kEngineClosed;
    if (!current()) return kNoTransfer;
    drop_current();
    return kDownloadEngineOk;
}

int32_t Engine::pause_task() {
    if (closed()) return kEngineClosed;
    auto t = current();
    return t && t->pause() ? kDownloadEngineOk : kNoTransfer;
}

int32_t Engine::resume_task() {
    if (closed()) return kEngineClosed;
    auto t = current();
    return t && t->resume() ? kDownloadEngineOk : kNoTransfer;
}

int32_t Engine::query_progress(DownloadEngineInfo* info) {
    if (!info) return kDownloadEngineFailed;
    auto t = current();
    if (!t) return kDownloadEngineFailed;  // nothing started: the program may retry
    Progress p = t->progress();
    info->total_size = int64_t(p.total);
    info->downloaded_size = int64_t(p.downloaded);
    info->speed = p.speed;
    info->complete = p.phase == Phase::kComplete ? 1 : 0;
    fill_names(info, t->spec().save_folder, t->spec().game.file);
    switch (p.phase) {
        case Phase::kFailed:
        case Phase::kStopped:
            fill_reason(info, p.reason);
            return kDownloadEngineFailed;
        case Phase::kCheckFailed:
            fill_reason(info, p.reason);
            return kDownloadEngineCheckFailed;
        default:
            return kDownloadEngineOk;
    }
}

int32_t Engine::shutdown() {
    std::lock_guard start_lock(start_mutex_);
    {
        std::lock_guard lock(current_mutex_);
        shut_down_ = true;
    }
    drop_current();
    return kDownloadEngineOk;
}

}  // namespace dravon
