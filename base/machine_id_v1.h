// The first-generation machine identifier routines. Nothing calls them; they are
// kept with the unit. The routines that fill the shared 1024-byte text answer it;
// one call's text lasts until the next call of any of them (not thread-safe).
#pragma once

#include <cstddef>

namespace base {

// The serial of physical drive 0 by SMART identify, else of SCSI port 0 (targets
// 0 and 1). Only the NT family is probed: the older systems' direct IDE port probe
// needs a port-access driver the system never installs. Empty when nothing answers.
const char* GetHardwareIdV1();

// The first NetBIOS adapter's address; empty when there is none.
const char* GetNetbiosMacV1();

// Appends "%04X" of the CRC-32 of the BIOS bytes 0xFE000..0xFE7FF and of
// 0xFE400..0xFEBFF, read through ntdll's section functions; nothing is appended
// when they or the physical memory section cannot be had.
const char* GetBiosCrcV1();

// The disk serial from the management service's physical media; false here, where
// there is no such service, with out empty.
bool WmiDiskSerial(wchar_t* out, size_t chars);

// A 40-character serial of hexadecimal digit pairs, each group of four read as two
// values stored second first, as wide characters into out (at least 21 characters).
// False, with what was decoded so far, at a zero or unreadable value.
bool ParseWmiSerial(const wchar_t* serial, wchar_t* out, size_t chars);

}  // namespace base
