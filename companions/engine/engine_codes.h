// The engine's own result codes, beyond 0, 3 and 5 (listed in README.md).
#pragma once

#include <cstdint>

namespace dravon {

inline constexpr int32_t kBadArgument = 1;   // a null record, an empty game key or save folder
inline constexpr int32_t kNoEngineFile = 2;  // the engine file is missing or unreadable
inline constexpr int32_t kUnknownGame = 4;   // the engine file has no usable entry for the game key
inline constexpr int32_t kBadSaveFolder = 6;  // the save folder does not map to a local folder
inline constexpr int32_t kTaskBusy = 7;       // another process is downloading this game
inline constexpr int32_t kNoTransfer = 8;     // pause, resume or cancel with no transfer running
inline constexpr int32_t kEngineClosed = 9;   // after Shutdown, or on an interface already released
inline constexpr int32_t kStoreUnavailable = 10;  // the task store's folder cannot be created

}  // namespace dravon
