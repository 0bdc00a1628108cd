// The scripted download engine of the tests: a real Dravon.dll whose every operation,
// by its table slot, goes to the script of the test program that loaded it.
#pragma once

#include "downloader/download_engine.h"

inline constexpr int kFakeReleaseSlot = 8;  // the library's Release export

class FakeEngineScript {
public:
    // zeroed: the info record (when there is one) came all zero.
    virtual int32_t Call(int slot, const DownloadEngineKey* key, DownloadEngineInfo* info,
                         bool zeroed) = 0;

protected:
    ~FakeEngineScript() = default;
};

// Defined by the test program, found by the library at run time.
extern "C" FakeEngineScript* GetFakeEngineScript();
