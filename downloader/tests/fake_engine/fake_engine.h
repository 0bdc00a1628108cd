// The scripted engine of the tests: a real Dravon.dll that hands each operation, by its
// table slot (8: the Release export), to the script of the test program that loaded it.
#pragma once

#include "downloader/download_engine.h"

inline constexpr int kFakeReleaseSlot = 8;

class FakeEngineScript {
public:
    // zeroed: the info record, when there is one, came all zero.
    virtual int32_t Call(int slot, const DownloadEngineKey* key, DownloadEngineInfo* info,
                         bool zeroed) = 0;
};

extern "C" FakeEngineScript* GetFakeEngineScript();  // the test program's
