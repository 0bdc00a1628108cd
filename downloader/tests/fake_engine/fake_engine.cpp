// Forwards the eight operations and the Release export to the test program's script.
#include <dlfcn.h>

#include "fake_engine.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

int32_t Forward(int slot, const DownloadEngineKey* key, DownloadEngineInfo* info) {
    using Getter = FakeEngineScript* (*)();
    static const auto script = reinterpret_cast<Getter>(dlsym(RTLD_DEFAULT, "GetFakeEngineScript"));
    bool zeroed = true;
    if (info) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(info);
        for (size_t i = 0; i < sizeof(*info) && zeroed; ++i) zeroed = bytes[i] == 0;
    }
    return script ? script()->Call(slot, key, info, zeroed) : 2;
}

class Trampoline final : public IDownloadEngine {
public:
    int32_t FindTask(const DownloadEngineKey* k, DownloadEngineInfo* i) override {
        return Forward(0, k, i);
    }
    int32_t QueryTask(const DownloadEngineKey* k, DownloadEngineInfo* i) override {
        return Forward(1, k, i);
    }
    int32_t Shutdown() override { return Forward(2, nullptr, nullptr); }
    int32_t StartTask(const DownloadEngineKey* k) override { return Forward(3, k, nullptr); }
    int32_t CancelTask() override { return Forward(4, nullptr, nullptr); }
    int32_t PauseTask() override { return Forward(5, nullptr, nullptr); }
    int32_t ResumeTask() override { return Forward(6, nullptr, nullptr); }
    int32_t QueryProgress(DownloadEngineInfo* i) override { return Forward(7, nullptr, i); }
};

}  // namespace

FAKE_EXPORT IDownloadEngine* GetInstance() {
    static Trampoline engine;
    return &engine;
}

FAKE_EXPORT int32_t Release(IDownloadEngine*) {
    return Forward(kFakeReleaseSlot, nullptr, nullptr);
}
