#include "base/machine_id_v1.h"

#include <windows.h>

#include <stddef.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "base/bounded_text.h"
#include "base/crc32.h"
#include "base/disk_serial.h"
#include "base/mac_address.h"
#include "base/scoped_handle.h"
#include "syslib/load_dll.h"

namespace base {
namespace {

char g_shared[1024];

bool IsNtFamily() {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    return GetVersionExW(&info) && info.dwPlatformId == 2;  // VER_PLATFORM_WIN32_NT
}

// The native calls' records, with the native layout.
struct NativeText {
    USHORT length;
    USHORT capacity;
    wchar_t* buffer;
};
struct NativeObjectAttributes {
    ULONG length;
    HANDLE root;
    NativeText* name;
    ULONG attributes;
    void* security;
    void* quality_of_service;
};
using OpenSectionFn = LONG(WINAPI*)(HANDLE*, DWORD, NativeObjectAttributes*);
using MapViewFn = LONG(WINAPI*)(HANDLE, HANDLE, void**, ULONG_PTR, SIZE_T, LARGE_INTEGER*, SIZE_T*,
                                DWORD, ULONG, ULONG);
using UnmapViewFn = LONG(WINAPI*)(HANDLE, void*);

constexpr DWORD kSectionMapRead = 0x0004;
constexpr ULONG kCaseInsensitive = 0x40;
constexpr DWORD kViewShare = 1;
constexpr ULONG kPageReadOnly = 0x02;

// The serial of SMART identify of drive 0, honouring its device map.
bool SmartSerialOfDrive0(char* out, size_t size) {
    ScopedHandle drive(CreateFileW(L"\\\\.\\PhysicalDrive0", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                   nullptr));
    if (!drive.IsValid()) return false;
    GETVERSIONINPARAMS version = {};
    DWORD returned = 0;
    if (!DeviceIoControl(drive.Get(), SMART_GET_VERSION, nullptr, 0, &version, sizeof(version),
                         &returned, nullptr) ||
        version.bIDEDeviceMap == 0)
        return false;
    const BYTE command = (version.bIDEDeviceMap & 0x10) ? IDE_ATAPI_IDENTIFY : IDE_ATA_IDENTIFY;
    BYTE answer[kIdentifyAnswerSize];
    if (!SmartIdentify(drive.Get(), command, 0, answer)) return false;
    WORD words[IDENTIFY_BUFFER_SIZE / 2];
    memcpy(words, answer + offsetof(SENDCMDOUTPARAMS, bBuffer), sizeof(words));
    return CopyText(out, size, IdentifyWordsToString(words, 10, 19).c_str());
}

// Two hexadecimal digits as a value; 0 when they are not that.
int HexPair(const wchar_t* digits) {
    int value = 0;
    for (int i = 0; i < 2; ++i) {
        const wchar_t c = digits[i];
        int d;
        if (c >= L'0' && c <= L'9')
            d = c - L'0';
        else if (c >= L'a' && c <= L'f')
            d = c - L'a' + 10;
        else if (c >= L'A' && c <= L'F')
            d = c - L'A' + 10;
        else
            return 0;
        value = value * 16 + d;
    }
    return value;
}

}  // namespace

const char* GetHardwareIdV1() {
    g_shared[0] = '\0';
    if (!IsNtFamily()) return g_shared;
    char serial[100] = {};
    if (SmartSerialOfDrive0(serial, sizeof(serial)) || DiskSerialByScsi(serial, sizeof(serial)))
        CopyText(g_shared, sizeof(g_shared), serial);
    return g_shared;
}

const char* GetNetbiosMacV1() {
    g_shared[0] = '\0';
    MacByNetbios(g_shared, sizeof(g_shared));
    return g_shared;
}

const char* GetBiosCrcV1() {
    if (!IsNtFamily()) return g_shared;
    HMODULE ntdll = LoadDll(L"ntdll.dll");
    if (!ntdll) return g_shared;
    auto open_section = reinterpret_cast<OpenSectionFn>(GetProcAddress(ntdll, "ZwOpenSection"));
    auto map_view = reinterpret_cast<MapViewFn>(GetProcAddress(ntdll, "ZwMapViewOfSection"));
    auto unmap_view = reinterpret_cast<UnmapViewFn>(GetProcAddress(ntdll, "ZwUnmapViewOfSection"));
    if (open_section && map_view && unmap_view) {
        wchar_t path[] = L"\\Device\\PhysicalMemory";
        NativeText name = {static_cast<USHORT>(wcslen(path) * sizeof(wchar_t)),
                           static_cast<USHORT>(sizeof(path)), path};
        NativeObjectAttributes attributes = {sizeof(attributes), nullptr, &name,
                                             kCaseInsensitive,   nullptr, nullptr};
        HANDLE section = nullptr;
        if (open_section(&section, kSectionMapRead, &attributes) >= 0) {
            ScopedHandle owner(section);
            void* view = nullptr;
            LARGE_INTEGER offset = {};
            offset.QuadPart = 0xFE000;
            SIZE_T view_size = 4096;
            if (map_view(section, GetCurrentProcess(), &view, 0, view_size, &offset, &view_size,
                         kViewShare, 0, kPageReadOnly) >= 0 &&
                view) {
                const auto* bios = static_cast<const unsigned char*>(view);
                char text[24];
                snprintf(text, sizeof(text), "%04X%04X", Crc32Buffer(bios, 2048),
                         Crc32Buffer(bios + 1024, 2048));
                AppendText(g_shared, sizeof(g_shared), text);
                unmap_view(GetCurrentProcess(), view);
            }
        }
    }
    FreeLibrary(ntdll);
    return g_shared;
}

bool WmiDiskSerial(wchar_t* out, size_t chars) {
    if (out && chars > 0) out[0] = L'\0';
    return false;  // no management service to connect to: the routine's failure answer
}

bool ParseWmiSerial(const wchar_t* serial, wchar_t* out, size_t chars) {
    if (!out || chars < 21) return false;
    out[0] = L'\0';
    if (!serial || wcslen(serial) != 40) return false;
    size_t n = 0;
    for (size_t i = 0; i < 40; i += 4) {
        const int first = HexPair(serial + i);
        const int second = HexPair(serial + i + 2);
        if (second == 0) break;
        out[n++] = static_cast<wchar_t>(second);
        if (first == 0) break;
        out[n++] = static_cast<wchar_t>(first);
        if (i + 4 == 40) {
            out[n] = L'\0';
            return true;
        }
    }
    out[n] = L'\0';
    return false;
}

}  // namespace base
