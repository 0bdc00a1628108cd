#include "base/machine_id.h"

#include <windows.h>
#include <shlwapi.h>

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include "base/bounded_text.h"
#include "base/disk_serial.h"
#include "base/mac_address.h"
#include "base/md5_context.h"

namespace base {
namespace {

constexpr size_t kProbeSize = 100;
constexpr size_t kGatherSize = 4096;

void TrimTrailingSpaces(char* text) {
    size_t n = strlen(text);
    while (n > 0 && text[n - 1] == ' ') text[--n] = '\0';
}

bool IsHexText(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (!isxdigit(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

// The first disk probe that answers, in order of preference.
bool FirstDiskSerial(char* out, size_t size) {
    using Probe = bool (*)(char*, size_t);
    for (Probe probe :
         {DiskSerialBySmart, DiskSerialByScsi, DiskSerialByStorageQuery, DiskSerialBySmartRead}) {
        memset(out, 0, size);
        if (probe(out, size)) return true;
    }
    return false;
}

}  // namespace

bool HashMidText(const char* text, char* out, size_t size) {
    if (!out || size == 0) return false;
    char copy[260] = {};
    if (text) strncpy(copy, text, sizeof(copy) - 1);

    // The suite's check values are made with two finalisations of one context.
    Md5Context context;
    Md5Init(&context, 0);
    Md5Update(&context, reinterpret_cast<const unsigned char*>(copy),
              static_cast<uint32_t>(strlen(copy)));
    Md5Final(&context);
    Md5Final(&context);

    char hex[33] = {};
    for (int i = 0; i < 16; ++i) snprintf(hex + 2 * i, 3, "%02x", context.digest[i]);
    memset(out, 0, size);
    strncpy(out, hex, size - 1);
    for (size_t i = 0; out[i]; ++i) out[i] = static_cast<char>(tolower(out[i]));
    return size > 32;
}

bool ReadSuiteMid(char* out, size_t size) {
    if (!out || size < kMidBufferSize) return false;
    // One byte more than the call may fill, so the value always ends in a terminator.
    char value[1025] = {};
    DWORD type = 0;
    DWORD bytes = 1024;
    if (SHGetValueA(HKEY_LOCAL_MACHINE, "Software\\Harlin\\Morsk", "mid", &type, value, &bytes) !=
        ERROR_SUCCESS)
        return false;
    if (type != REG_SZ || strlen(value) != 64) return false;

    char id[33] = {};
    memcpy(id, value, 32);
    // The identifier goes into report addresses as it is: only hexadecimal digits pass.
    if (!IsHexText(id, 32)) return false;
    char check[33] = {};
    HashMidText(id, check, sizeof(check));
    if (lstrcmpiA(check, value + 32) != 0) return false;
    return CopyText(out, size, id);
}

bool GetCpuIdText(char* out, size_t size) {
#if defined(__i386__) || defined(__x86_64__)
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx)) return false;
    char vendor[13] = {};
    memcpy(vendor, &ebx, 4);
    memcpy(vendor + 4, &edx, 4);
    memcpy(vendor + 8, &ecx, 4);
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    char text[kProbeSize];
    snprintf(text, sizeof(text), "%s:%08x", vendor, edx);
    return CopyText(out, size, text);
#else
    (void)out;
    (void)size;
    return false;  // no CPUID on this processor; the identifier rests on disk and adapter
#endif
}

void ComputeMid2(char* out, size_t size) {
    if (!out || size < kMidBufferSize) return;
    if (ReadSuiteMid(out, size)) return;

    char text[kGatherSize] = {};
    char part[kProbeSize] = {};
    if (GetCpuIdText(part, sizeof(part))) AppendText(text, sizeof(text), part);

    if (FirstDiskSerial(part, sizeof(part))) {
        TrimTrailingSpaces(part);
        AppendText(text, sizeof(text), part);
    }

    memset(part, 0, sizeof(part));
    if (MacByNetworkCards(part, sizeof(part))) {
        AppendText(text, sizeof(text), part);
    } else {
        memset(part, 0, sizeof(part));
        if (MacByNetbios(part, sizeof(part))) AppendText(text, sizeof(text), part);
    }

    if (text[0] == '\0') CopyText(text, sizeof(text), "Mid2Failed");
    HashMidText(text, out, size);
}

}  // namespace base
