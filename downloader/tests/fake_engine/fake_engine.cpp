#include <dlfcn.h>

#include <algorithm>

#include "fake_engine.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

int32_t Forward(int slot, const DownloadEngineKey* key = nullptr,
                DownloadEngineInfo* info = nullptr) {
    static const auto script =
        reinterpret_cast<FakeEngineScript* (*)()>(dlsym(RTLD_DEFAULT, "GetFakeEngineScript"));
    const auto* bytes = reinterpret_cast<const unsigned char*>(info);
    const bool zeroed =
        !info || std::all_of(bytes, bytes + sizeof(*info), [](unsigned char b) { return b == 0; });
    return script ? script()->Call(slot, key, info, zeroed) : 2;
}

struct Trampoline final : IDownloadEngine {
    int32_t FindTask(const DownloadEngineKey* k, DownloadEngineInfo* i) override {
        return Forward(0, k, i);
    }
    int32_t QueryTask(const DownloadEngineKey* k, DownloadEngineInfo* i) override {
        return Forward(1, k, i);
    }
    int32_t Shutdown() override { return Forward(2); }
    int32_t StartTask(const DownloadEngineKey* k) override { return Forward(3, k); }
    int32_t CancelTask() override { return Forward(4); }
    int32_t PauseTask() override { return Forward(5); }
    int32_t ResumeTask() override { return Forward(6); }
    int32_t QueryProgress(DownloadEngineInfo* i) override { return Forward(7, nullptr, i); }
} g_engine;

}  // namespace

FAKE_EXPORT IDownloadEngine* GetInstance() { return &g_engine; }
FAKE_EXPORT int32_t Release(IDownloadEngine*) { return Forward(kFakeReleaseSlot); }
