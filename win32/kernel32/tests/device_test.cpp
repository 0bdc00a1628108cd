// Devices opened by name: volumes, physical disks and the SCSI port answer the
// storage property query or refuse cleanly.
#include <windows.h>
#include <ntddscsi.h>

#include <gtest/gtest.h>

#include "file_test_folder.h"

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kQueryOnly = 0x20000;  // READ_CONTROL, as a query-only open uses

class DeviceTest : public ::testing::Test {
protected:
    void TearDown() override {
        unsetenv("WIN32_DRIVES");
        unsetenv("WIN32_DRIVE_BUS");
    }

    static HANDLE Open(const std::wstring& name, DWORD access = kQueryOnly) {
        return CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    // The device property query into a buffer of out_size bytes.
    static BOOL Query(HANDLE device, std::vector<BYTE>* out, DWORD out_size, DWORD* returned) {
        STORAGE_PROPERTY_QUERY query{};
        query.PropertyId = StorageDeviceProperty;
        query.QueryType = PropertyStandardQuery;
        out->assign(out_size, 0);
        return DeviceIoControl(device, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                               out->data(), out_size, returned, nullptr);
    }

    // The bus type of a drive, as a program tells an external drive: -1 when the
    // device does not open or does not answer.
    static int BusOf(const std::wstring& drive) {
        HANDLE h = Open(L"\\\\.\\" + drive);
        if (h == INVALID_HANDLE_VALUE) return -1;
        std::vector<BYTE> buf;
        DWORD returned = 0;
        BOOL ok = Query(h, &buf, 2048, &returned);
        CloseHandle(h);
        return ok ? reinterpret_cast<STORAGE_DEVICE_DESCRIPTOR*>(buf.data())->BusType : -1;
    }

    // Checks the descriptor is whole: offsets inside it, strings terminated.
    static void ExpectWellFormed(const std::vector<BYTE>& buf, DWORD returned) {
        auto* d = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buf.data());
        EXPECT_EQ(d->Version, sizeof(STORAGE_DEVICE_DESCRIPTOR));
        EXPECT_GE(d->Size, sizeof(STORAGE_DEVICE_DESCRIPTOR) - 1);
        EXPECT_EQ(returned, d->Size);
        EXPECT_LT(d->BusType, BusTypeMax);
        for (DWORD offset : {d->VendorIdOffset, d->ProductIdOffset, d->ProductRevisionOffset,
                             d->SerialNumberOffset}) {
            if (!offset) continue;
            ASSERT_LT(offset, d->Size);
            const char* text = reinterpret_cast<const char*>(buf.data() + offset);
            ASSERT_LE(offset + strlen(text), d->Size - 1u);
            for (const char* p = text; *p; ++p) EXPECT_TRUE(*p >= 0x20 && *p < 0x7F);
        }
    }
};

TEST_F(DeviceTest, RootVolumeAnswersTheStoragePropertyQuery) {
    HANDLE h = Open(L"\\\\.\\Z:");
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    std::vector<BYTE> buf;
    DWORD returned = 0;
    ASSERT_TRUE(Query(h, &buf, 2048, &returned)) << GetLastError();
    ExpectWellFormed(buf, returned);
    // The disk under "/" is fixed, never an external bus.
    auto* d = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buf.data());
    EXPECT_NE(d->BusType, BusTypeUsb);
    EXPECT_NE(d->BusType, BusType1394);
    EXPECT_TRUE(CloseHandle(h));
}

TEST_F(DeviceTest, DriveBusKnobMakesExternalDrives) {
    FileTestFolder folder;
    folder.make_dir("c");
    folder.make_dir("d");
    folder.make_dir("e");
    folder.set_drives("C=%/c;D=%/d;E=%/e");
    setenv("WIN32_DRIVE_BUS", "D=usb;e=1394", 1);
    EXPECT_EQ(BusOf(L"D:"), BusTypeUsb);
    EXPECT_EQ(BusOf(L"E:"), BusType1394);
    int c = BusOf(L"c:");
    EXPECT_NE(c, -1);
    EXPECT_NE(c, BusTypeUsb);
    EXPECT_NE(c, BusType1394);
}

TEST_F(DeviceTest, UnknownDevicesAreNotFound) {
    FileTestFolder folder;
    folder.set_drives("C=%");
    for (const wchar_t* name : {L"\\\\.\\Q:", L"\\\\.\\PhysicalDrive99", L"\\\\.\\NoSuchDevice"}) {
        SetLastError(0);
        EXPECT_EQ(Open(name), INVALID_HANDLE_VALUE) << std::string(name, name + wcslen(name));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    }
}

TEST_F(DeviceTest, SmallBufferGetsTheHeaderWithTheWholeSize) {
    HANDLE h = Open(L"\\\\.\\Z:");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::vector<BYTE> buf;
    DWORD returned = 0;
    ASSERT_TRUE(Query(h, &buf, sizeof(STORAGE_DESCRIPTOR_HEADER), &returned));
    EXPECT_EQ(returned, sizeof(STORAGE_DESCRIPTOR_HEADER));
    auto* header = reinterpret_cast<const STORAGE_DESCRIPTOR_HEADER*>(buf.data());
    EXPECT_GE(header->Size, sizeof(STORAGE_DEVICE_DESCRIPTOR) - 1);

    EXPECT_FALSE(Query(h, &buf, 4, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    CloseHandle(h);
}

TEST_F(DeviceTest, PhysicalDisksAnswerTheQueryAndRefuseSmart) {
    int opened = 0;
    for (int n = 0; n < 16; ++n) {
        HANDLE h = Open(L"\\\\.\\PhysicalDrive" + std::to_wstring(n), 0);
        if (h == INVALID_HANDLE_VALUE) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
            continue;
        }
        ++opened;
        std::vector<BYTE> buf;
        DWORD returned = 0;
        ASSERT_TRUE(Query(h, &buf, 10000, &returned));
        ExpectWellFormed(buf, returned);

        GETVERSIONINPARAMS version{};
        EXPECT_FALSE(DeviceIoControl(h, SMART_GET_VERSION, nullptr, 0, &version, sizeof version,
                                     &returned, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        CloseHandle(h);
    }
    // The disk numbers have no gaps: a machine's disks are 0..n-1.
    for (int n = 0; n < opened; ++n) {
        HANDLE h = Open(L"\\\\.\\PhysicalDrive" + std::to_wstring(n), 0);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << n;
        CloseHandle(h);
    }
}

TEST_F(DeviceTest, ScsiMiniportRequestsAreRefused) {
    HANDLE h = Open(L"\\\\.\\Scsi0:", GENERIC_READ | GENERIC_WRITE);
    if (h == INVALID_HANDLE_VALUE) {
        // No disk at all, or not allowed to open the port for reading and writing.
        DWORD e = GetLastError();
        EXPECT_TRUE(e == ERROR_FILE_NOT_FOUND || e == ERROR_ACCESS_DENIED) << e;
        return;
    }
    BYTE block[557] = {};
    auto* srb = reinterpret_cast<SRB_IO_CONTROL*>(block);
    srb->HeaderLength = sizeof(SRB_IO_CONTROL);
    memcpy(srb->Signature, "SCSIDISK", 8);
    srb->Timeout = 10000;
    srb->ControlCode = IOCTL_SCSI_MINIPORT_IDENTIFY;
    srb->Length = 529;
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_SCSI_MINIPORT, block, 60, block, sizeof block, &returned,
                                 nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(h);
}

TEST_F(DeviceTest, ReadingAWholeDiskNeedsRoot) {
    auto check = [] {
        HANDLE query = Open(L"\\\\.\\Z:", 0);
        if (query == INVALID_HANDLE_VALUE) return 1;
        CloseHandle(query);
        HANDLE data = Open(L"\\\\.\\Z:", GENERIC_READ);
        if (data != INVALID_HANDLE_VALUE) return 2;
        return GetLastError() == ERROR_ACCESS_DENIED ? 0 : 3;
    };
    if (geteuid() != 0) {
        EXPECT_EQ(check(), 0);
        return;
    }
    HANDLE data = Open(L"\\\\.\\Z:", GENERIC_READ);
    EXPECT_NE(data, INVALID_HANDLE_VALUE);
    CloseHandle(data);
    pid_t pid = fork();
    if (pid == 0) _exit(setresuid(65534, 65534, 65534) == 0 ? check() : 9);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(DeviceTest, ControlOfAPlainFileIsAnInvalidFunction) {
    FileTestFolder folder;
    std::string path = folder.path() + "/plain.bin";
    std::wstring wpath = L"Z:" + std::wstring(path.begin(), path.end());  // Z: is the root
    HANDLE h = CreateFileW(wpath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::vector<BYTE> buf;
    DWORD returned = 0;
    EXPECT_FALSE(Query(h, &buf, 2048, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    CloseHandle(h);
    EXPECT_FALSE(Query(reinterpret_cast<HANDLE>(0x7FF0), &buf, 2048, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
