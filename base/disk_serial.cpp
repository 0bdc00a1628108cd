#include "base/disk_serial.h"

#include <ntddscsi.h>

#include <ctype.h>
#include <stddef.h>
#include <string.h>
#include <wchar.h>

#include <vector>

#include "base/bounded_text.h"
#include "base/scoped_handle.h"

namespace base {
namespace {

constexpr int kMaxDrives = 16;
constexpr int kSerialFirstWord = 10;
constexpr int kSerialLastWord = 19;
constexpr size_t kModelFirstByte = 54;  // identify word 27
constexpr DWORD kSendCmdInSize = sizeof(SENDCMDINPARAMS) - 1;
constexpr size_t kSendCmdOutHead = offsetof(SENDCMDOUTPARAMS, bBuffer);
constexpr DWORD kDescriptorHead = offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties);

HANDLE OpenDevice(const wchar_t* format, int number, DWORD access, DWORD share) {
    wchar_t name[64];
    swprintf(name, 64, format, number);
    return CreateFileW(name, access, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

// The serial words of 512 bytes of identify data.
std::string SerialOfIdentifyData(const BYTE* data) {
    WORD words[IDENTIFY_BUFFER_SIZE / 2];
    memcpy(words, data, sizeof(words));
    return IdentifyWordsToString(words, kSerialFirstWord, kSerialLastWord);
}

bool SmartVersion(HANDLE drive, GETVERSIONINPARAMS* version) {
    memset(version, 0, sizeof(*version));
    DWORD returned = 0;
    return DeviceIoControl(drive, SMART_GET_VERSION, nullptr, 0, version, sizeof(*version),
                           &returned, nullptr) != FALSE;
}

// The identify registers every SMART identify request carries.
void FillIdentifyRequest(SENDCMDINPARAMS* in, BYTE command, BYTE drive_number) {
    in->cBufferSize = IDENTIFY_BUFFER_SIZE;
    in->irDriveRegs.bFeaturesReg = 0;
    in->irDriveRegs.bSectorCountReg = 1;
    in->irDriveRegs.bSectorNumberReg = 1;
    in->irDriveRegs.bCylLowReg = 0;
    in->irDriveRegs.bCylHighReg = 0;
    in->irDriveRegs.bDriveHeadReg = static_cast<BYTE>(0xA0 | ((drive_number & 1) << 4));
    in->irDriveRegs.bCommandReg = command;
    in->bDriveNumber = drive_number;
}

bool HexValue(char c, int* value) {
    if (c == ' ') c = '0';
    if (c >= '0' && c <= '9')
        *value = c - '0';
    else if (c >= 'a' && c <= 'f')
        *value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        *value = c - 'A' + 10;
    else
        return false;
    return true;
}

}  // namespace

bool SmartIdentify(HANDLE drive, BYTE command, BYTE drive_number, BYTE* answer) {
    SENDCMDINPARAMS in = {};
    FillIdentifyRequest(&in, command, drive_number);
    memset(answer, 0, kIdentifyAnswerSize);
    DWORD returned = 0;
    return DeviceIoControl(drive, SMART_RCV_DRIVE_DATA, &in, kSendCmdInSize, answer,
                           kIdentifyAnswerSize, &returned, nullptr) != FALSE;
}

std::string IdentifyWordsToString(const WORD* words, int first, int last) {
    std::string text;
    for (int i = first; i <= last; ++i) {
        text += static_cast<char>(words[i] >> 8);
        text += static_cast<char>(words[i] & 0xFF);
    }
    text.resize(strlen(text.c_str()));
    while (text.size() > 1 && text.back() == ' ') text.pop_back();
    return text;
}

std::string StorageSerialToString(const BYTE* descriptor, DWORD length, DWORD offset, bool swap) {
    if (!descriptor || offset < 1 || offset >= length) return {};
    // The text ends at its terminator or, failing one, at the end of the descriptor.
    const char* start = reinterpret_cast<const char*>(descriptor) + offset;
    const std::string text(start, strnlen(start, length - offset));

    std::string result;
    bool decoded = true;
    for (size_t i = 0; i < text.size(); i += 2) {
        int high = 0, low = 0;
        if (i + 1 >= text.size() || !HexValue(text[i], &high) || !HexValue(text[i + 1], &low)) {
            decoded = false;
            break;
        }
        const char c = static_cast<char>(high * 16 + low);
        if (c != 0 && !isprint(static_cast<unsigned char>(c))) {
            decoded = false;
            break;
        }
        result += c;
    }
    if (!decoded) {
        for (char c : text)
            if (!isprint(static_cast<unsigned char>(c))) return {};
        result = text;
    }
    if (swap)
        for (size_t i = 0; i + 1 < result.size(); i += 2) std::swap(result[i], result[i + 1]);
    result.resize(strlen(result.c_str()));
    return result;
}

bool DiskSerialBySmart(char* out, size_t size) {
    for (int drive = 0; drive < kMaxDrives; ++drive) {
        ScopedHandle device(OpenDevice(L"\\\\.\\PhysicalDrive%d", drive,
                                       GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE));
        if (!device.IsValid()) continue;
        GETVERSIONINPARAMS version;
        if (!SmartVersion(device.Get(), &version) || version.bIDEDeviceMap == 0) continue;
        // The device map has a bit per drive for ATAPI devices, four places up.
        const BYTE command =
            ((version.bIDEDeviceMap >> drive) & 0x10) ? IDE_ATAPI_IDENTIFY : IDE_ATA_IDENTIFY;
        BYTE answer[kIdentifyAnswerSize];
        if (!SmartIdentify(device.Get(), command, static_cast<BYTE>(drive), answer)) continue;
        if (CopyText(out, size, SerialOfIdentifyData(answer + kSendCmdOutHead).c_str()))
            return true;
    }
    return false;
}

bool DiskSerialByScsi(char* out, size_t size) {
    constexpr size_t kHead = sizeof(SRB_IO_CONTROL);
    constexpr DWORD kInSize = kHead + kSendCmdInSize;
    constexpr DWORD kOutSize = kHead + sizeof(SENDCMDOUTPARAMS) + IDENTIFY_BUFFER_SIZE;
    for (int port = 0; port < kMaxDrives; ++port) {
        ScopedHandle device(OpenDevice(L"\\\\.\\Scsi%d:", port, GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE));
        if (!device.IsValid()) continue;
        for (BYTE target = 0; target < 2; ++target) {
            BYTE buffer[kOutSize] = {};
            SRB_IO_CONTROL header = {};
            header.HeaderLength = kHead;
            memcpy(header.Signature, "SCSIDISK", 8);
            header.Timeout = 10000;
            header.ControlCode = IOCTL_SCSI_MINIPORT_IDENTIFY;
            header.Length = kOutSize - kHead;
            memcpy(buffer, &header, kHead);
            SENDCMDINPARAMS in = {};
            in.irDriveRegs.bCommandReg = IDE_ATA_IDENTIFY;
            in.bDriveNumber = target;
            memcpy(buffer + kHead, &in, kSendCmdInSize);
            DWORD returned = 0;
            if (!DeviceIoControl(device.Get(), IOCTL_SCSI_MINIPORT, buffer, kInSize, buffer,
                                 kOutSize, &returned, nullptr))
                continue;
            const BYTE* data = buffer + kHead + kSendCmdOutHead;
            if (data[kModelFirstByte] == 0) continue;
            if (CopyText(out, size, SerialOfIdentifyData(data).c_str())) return true;
        }
    }
    return false;
}

bool DiskSerialByStorageQuery(char* out, size_t size) {
    for (int drive = 0; drive < kMaxDrives; ++drive) {
        ScopedHandle device(
            OpenDevice(L"\\\\.\\PhysicalDrive%d", drive, 0, FILE_SHARE_READ | FILE_SHARE_WRITE));
        if (!device.IsValid()) continue;
        STORAGE_PROPERTY_QUERY query = {};
        query.PropertyId = StorageDeviceProperty;
        query.QueryType = PropertyStandardQuery;
        std::vector<BYTE> answer(10000);
        DWORD returned = 0;
        if (!DeviceIoControl(device.Get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof(query),
                             answer.data(), static_cast<DWORD>(answer.size()), &returned,
                             nullptr) ||
            returned < kDescriptorHead)
            continue;
        STORAGE_DEVICE_DESCRIPTOR descriptor = {};
        memcpy(&descriptor, answer.data(), kDescriptorHead);
        std::string serial =
            StorageSerialToString(answer.data(), returned, descriptor.SerialNumberOffset, true);
        if (serial.size() > 999) serial.resize(999);
        if (CopyText(out, size, serial.c_str())) return true;
    }
    return false;
}

bool DiskSerialBySmartRead(char* out, size_t size) {
    constexpr DWORD kBlockSize = sizeof(SENDCMDINPARAMS) + IDENTIFY_BUFFER_SIZE;
    for (int drive = 0; drive < kMaxDrives; ++drive) {
        ScopedHandle device(OpenDevice(L"\\\\.\\PhysicalDrive%d", drive,
                                       GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
        if (!device.IsValid()) continue;
        GETVERSIONINPARAMS version;
        if (!SmartVersion(device.Get(), &version)) continue;
        // One block carries the request and receives the answer.
        BYTE block[kBlockSize] = {};
        SENDCMDINPARAMS in = {};
        FillIdentifyRequest(&in, IDE_ATA_IDENTIFY, static_cast<BYTE>(drive));
        memcpy(block, &in, sizeof(in));
        DWORD returned = 0;
        if (!DeviceIoControl(device.Get(), SMART_RCV_DRIVE_DATA, block, sizeof(SENDCMDINPARAMS),
                             block, kBlockSize, &returned, nullptr))
            continue;
        if (CopyText(out, size, SerialOfIdentifyData(block + kSendCmdOutHead).c_str())) return true;
    }
    return false;
}

}  // namespace base
