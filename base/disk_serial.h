// Disk serial numbers for the machine identifier, by four probes that each try
// physical drives (or SCSI ports) 0 to 15 and stop at the first that answers.
#pragma once

#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <string>

namespace base {

// Each answers true when a drive answered and its serial fits into out (an empty
// serial counts: the drive answered). Drives that cannot be opened are skipped.
bool DiskSerialBySmart(char* out, size_t size);         // SMART identify
bool DiskSerialByScsi(char* out, size_t size);          // SCSI miniport identify
bool DiskSerialByStorageQuery(char* out, size_t size);  // storage property query
bool DiskSerialBySmartRead(char* out, size_t size);     // SMART read of identify data

// Bytes of a SMART identify answer: the SENDCMDOUTPARAMS head and 512 data bytes.
constexpr DWORD kIdentifyAnswerSize = sizeof(SENDCMDOUTPARAMS) - 1 + IDENTIFY_BUFFER_SIZE;

// One SMART identify (command 0xEC or 0xA1) of drive_number into answer, which
// holds kIdentifyAnswerSize bytes.
bool SmartIdentify(HANDLE drive, BYTE command, BYTE drive_number, BYTE* answer);

// Identify words first..last as text, each word's high byte first, trailing
// blanks removed (the first character always stays); leading blanks stay.
std::string IdentifyWordsToString(const WORD* words, int first, int last);

// The serial at offset in a storage device descriptor of length bytes: hexadecimal
// pairs are decoded when the whole text is such pairs, else printable text is taken
// as it is; with swap each two characters change places. Empty for offset 0, an
// offset outside the descriptor, or text that is not printable.
std::string StorageSerialToString(const BYTE* descriptor, DWORD length, DWORD offset, bool swap);

}  // namespace base
