// The boundary between the program and the download engine library (Dravon.dll):
// the interface `IDownloadEngine`, the key record `DownloadEngineKey` and the info
// record `DownloadEngineInfo`. Both sides include this one header, so the table's
// order and the records' offsets cannot drift apart.
#pragma once

#include <cstddef>
#include <cstdint>

// The caller zeroes it, then fills it; the strings stay the caller's and live for
// the duration of the call.
struct DownloadEngineKey {
    const char16_t* game_key;      // the build's game key
    const char16_t* save_folder;   // empty except for StartTask
    const char16_t* user_channel;  // the configuration's channel identifier
};

// Filled by the engine; the caller zeroes all of it before every call, so fields
// the engine leaves alone read as 0 or empty. Little-endian, fixed offsets.
struct DownloadEngineInfo {
    static constexpr size_t kPathChars = 83848 / sizeof(char16_t);
    static constexpr size_t kLaunchFileChars = 260;

    int32_t complete;  // non-zero: the file is complete
    uint8_t unused0[524];
    char16_t path[kPathChars];               // the earlier download's folder, or empty
    char16_t launch_file[kLaunchFileChars];  // the installer's file name in that folder
    int64_t total_size;
    int64_t downloaded_size;
    int32_t speed;  // bytes per second
    uint8_t unused1[4];
};

static_assert(offsetof(DownloadEngineInfo, complete) == 0);
static_assert(offsetof(DownloadEngineInfo, path) == 528);
static_assert(offsetof(DownloadEngineInfo, launch_file) == 84376);
static_assert(offsetof(DownloadEngineInfo, total_size) == 84896);
static_assert(offsetof(DownloadEngineInfo, downloaded_size) == 84904);
static_assert(offsetof(DownloadEngineInfo, speed) == 84912);
static_assert(sizeof(DownloadEngineInfo) == 84920);

// Results every engine operation may answer; other non-zero codes are the engine's own.
inline constexpr int32_t kDownloadEngineOk = 0;
inline constexpr int32_t kDownloadEngineFailed = 3;       // the download failed; the user may retry
inline constexpr int32_t kDownloadEngineCheckFailed = 5;  // the file failed its check; start anew

// The object's first word points to a table of exactly these eight operations, in
// this order, each taking the object first. No virtual destructor: it would add
// table slots; the object is given back through the library's Release export.
class IDownloadEngine {
public:
    virtual int32_t FindTask(const DownloadEngineKey* key, DownloadEngineInfo* info) = 0;
    virtual int32_t QueryTask(const DownloadEngineKey* key, DownloadEngineInfo* info) = 0;
    virtual int32_t Shutdown() = 0;
    virtual int32_t StartTask(const DownloadEngineKey* key) = 0;
    virtual int32_t CancelTask() = 0;  // not called by the program
    virtual int32_t PauseTask() = 0;
    virtual int32_t ResumeTask() = 0;
    virtual int32_t QueryProgress(DownloadEngineInfo* info) = 0;

protected:
    ~IDownloadEngine() = default;
};

// The library's two exports, looked up by these names.
using DownloadEngineGetInstanceFn = IDownloadEngine* (*)();
using DownloadEngineReleaseFn = int32_t (*)(IDownloadEngine*);
inline constexpr char kDownloadEngineGetInstance[] = "GetInstance";
inline constexpr char kDownloadEngineRelease[] = "Release";
