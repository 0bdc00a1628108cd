// Choosing a drive for the game's files.
#pragma once

#include <string>

namespace base {

// Whether the drive of "X:\..." sits on a USB or IEEE 1394 bus.
bool IsExternalBusDrive(const std::wstring& path);

// The root ("D:\") of the fixed, internal, writable drive with the most free space
// for this user; ties go to the later drive. Empty when no drive qualifies.
std::wstring GetLargestFreeFixedDrive();

}  // namespace base
