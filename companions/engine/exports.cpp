// The library's two exports and the interface object they hand out.
//
// The object is never freed: after Release it stays as a husk that answers every
// call with an error, so a late call from the program never runs into freed
// memory, and the library is linked to stay mapped after FreeLibrary, so such a
// call never runs into unmapped code either.
#include <curl/curl.h>
#include <dlfcn.h>

#include <condition_variable>
#include <mutex>
#include <new>
#include <string>

#include "downloader/download_engine.h"
#include "engine.h"
#include "engine_codes.h"
#include "posix_file.h"

#define DRAVON_EXPORT extern "C" __attribute__((visibility("default")))

DRAVON_EXPORT IDownloadEngine* GetInstance();
DRAVON_EXPORT int32_t Release(IDownloadEngine* engine);

namespace dravon {
namespace {

std::string library_dir() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&GetInstance), &info) && info.dli_fname)
        return parent_dir(info.dli_fname);
    return ".";
}

class EngineObject final : public IDownloadEngine {
public:
    IDownloadEngine* acquire() {
        std::lock_guard lock(mutex_);
        if (closing_) return nullptr;
        if (!engine_) {
            static std::once_flag curl_once;
            std::call_once(curl_once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
            engine_ = new (std::nothrow) Engine(Settings::from_environment(library_dir()));
            if (!engine_) return nullptr;
        }
        ++refs_;
        return this;
    }

    // The last release shuts the engine down, waits for the calls still inside it
    // and frees it; calls that arrive from then on are turned away at the door.
    void release() {
        Engine* engine = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (refs_ == 0 || --refs_ > 0) return;
            closing_ = true;
            engine = engine_;
        }
        engine->shutdown();
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [&] { return calls_ == 0; });
        delete engine_;
        engine_ = nullptr;
        closing_ = false;
    }

    int32_t FindTask(const DownloadEngineKey* key, DownloadEngineInfo* info) override {
        return call(kEngineClosed, [&](Engine& e) { return e.find_task(key, info); });
    }
    int32_t QueryTask(const DownloadEngineKey* key, DownloadEngineInfo* info) override {
        return call(kEngineClosed, [&](Engine& e) { return e.query_task(key, info); });
    }
    int32_t Shutdown() override {
        return call(kEngineClosed, [](Engine& e) { return e.shutdown(); });
    }
    int32_t StartTask(const DownloadEngineKey* key) override {
        return call(kEngineClosed, [&](Engine& e) { return e.start_task(key); });
    }
    int32_t CancelTask() override {
        return call(kEngineClosed, [](Engine& e) { return e.cancel_task(); });
    }
    int32_t PauseTask() override {
        return call(kEngineClosed, [](Engine& e) { return e.pause_task(); });
    }
    int32_t ResumeTask() override {
        return call(kEngineClosed, [](Engine& e) { return e.resume_task(); });
    }
    // Polls may only ever see 0, 3 or 5: a released engine reads as a failed download.
    int32_t QueryProgress(DownloadEngineInfo* info) override {
        return call(kDownloadEngineFailed, [&](Engine& e) { return e.query_progress(info); });
    }

    bool owns(IDownloadEngine* p) const { return p == this; }

private:
    template <typename F>
    int32_t call(int32_t unavailable, F&& f) {
        Engine* engine = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (!engine_ || closing_) return unavailable;
            engine = engine_;
            ++calls_;
        }
        int32_t result = f(*engine);
        std::lock_guard lock(mutex_);
        if (--calls_ == 0) idle_.notify_all();
        return result;
    }

    std::mutex mutex_;
    std::condition_variable idle_;
    Engine* engine_ = nullptr;
    int refs_ = 0;
    int calls_ = 0;
    bool closing_ = false;
};

EngineObject& the_object() {
    static EngineObject* object = new EngineObject;  // deliberately never destroyed
    return *object;
}

}  // namespace
}  // namespace dravon

IDownloadEngine* GetInstance() { return dravon::the_object().acquire(); }

int32_t Release(IDownloadEngine* engine) {
    auto& object = dravon::the_object();
    if (!object.owns(engine)) return dravon::kBadArgument;
    object.release();
    return kDownloadEngineOk;
}
