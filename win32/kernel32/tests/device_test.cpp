// Devices opened by name: volumes, physical disks and the SCSI port answer the
// storage property query or refuse cleanly; network adapters, their devices and
// Netbios answer what Linux reports.
#include <windows.h>
#include <iphlpapi.h>
#include <nb30.h>
#include <ntddndis.h>
#include <ntddscsi.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "kernel_test.h"

namespace {

constexpr DWORD kQueryOnly = READ_CONTROL;  // as a query-only open asks

HANDLE Open(const std::wstring& name, DWORD access = kQueryOnly) {
    return CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

// The storage property query into a buffer of out_size bytes; checks a whole
// answer is well formed (offsets inside it, strings terminated and printable).
BOOL Query(HANDLE device, std::vector<BYTE>* out, DWORD out_size, DWORD* returned) {
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    out->assign(out_size, 0);
    BOOL ok = DeviceIoControl(device, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                              out->data(), out_size, returned, nullptr);
    auto* d = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(out->data());
    if (!ok || out_size < sizeof *d) return ok;
    EXPECT_EQ(d->Version, sizeof(STORAGE_DEVICE_DESCRIPTOR));
    EXPECT_GE(d->Size, sizeof(STORAGE_DEVICE_DESCRIPTOR) - 1);
    EXPECT_EQ(*returned, d->Size);
    EXPECT_LT(d->BusType, BusTypeMax);
    for (DWORD offset :
         {d->VendorIdOffset, d->ProductIdOffset, d->ProductRevisionOffset, d->SerialNumberOffset}) {
        if (!offset) continue;
        EXPECT_LT(offset, d->Size);
        if (offset >= d->Size) continue;
        const char* text = reinterpret_cast<const char*>(out->data() + offset);
        EXPECT_LE(offset + strnlen(text, d->Size - offset), d->Size - 1u);
        for (const char* p = text; *p && p < text + d->Size - offset; ++p)
            EXPECT_TRUE(*p >= 0x20 && *p < 0x7F);
    }
    return ok;
}

// The bus type of a drive, as a program tells an external drive: -1 when the
// device does not open or does not answer.
int BusOf(const std::wstring& drive) {
    HANDLE h = Open(L"\\\\.\\" + drive);
    std::vector<BYTE> buf;
    DWORD returned = 0;
    BOOL ok = h != INVALID_HANDLE_VALUE && Query(h, &buf, 2048, &returned);
    CloseHandle(h);
    return ok ? reinterpret_cast<STORAGE_DEVICE_DESCRIPTOR*>(buf.data())->BusType : -1;
}

TEST(Devices, TheRootVolumeAnswersThePropertyQueryAndAPlainFileDoesNot) {
    Handle h(Open(L"\\\\.\\Z:"));
    ASSERT_NE(h.get(), INVALID_HANDLE_VALUE) << GetLastError();
    std::vector<BYTE> buf;
    DWORD returned = 0;
    ASSERT_TRUE(Query(h.get(), &buf, 2048, &returned)) << GetLastError();
    // The disk under "/" is fixed, never an external bus.
    const int bus = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buf.data())->BusType;
    EXPECT_TRUE(bus != BusTypeUsb && bus != BusType1394) << bus;
    // A small buffer gets the header with the whole size; a smaller one nothing.
    ASSERT_TRUE(Query(h.get(), &buf, sizeof(STORAGE_DESCRIPTOR_HEADER), &returned));
    EXPECT_EQ(returned, sizeof(STORAGE_DESCRIPTOR_HEADER));
    EXPECT_GE(reinterpret_cast<STORAGE_DESCRIPTOR_HEADER*>(buf.data())->Size,
              sizeof(STORAGE_DEVICE_DESCRIPTOR) - 1);
    EXPECT_EQ(Failed(!Query(h.get(), &buf, 4, &returned)), ERROR_INSUFFICIENT_BUFFER);

    testing_support::TempDir dir;
    HANDLE file = CreateFileW(dir.winfile("plain.bin").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(Failed(!Query(file, &buf, 2048, &returned)), ERROR_INVALID_FUNCTION);
    CloseHandle(file);
    EXPECT_EQ(Failed(!Query(reinterpret_cast<HANDLE>(0x7FF0), &buf, 2048, &returned)),
              ERROR_INVALID_HANDLE);
}

TEST(Devices, DrivesAreDevicesAndTheBusKnobMakesThemExternal) {
    FileTestFolder folder;
    for (const char* d : {"c", "d", "e"}) folder.folder(d);
    folder.set_drives("C=%/c;D=%/d;E=%/e");
    testing_support::ScopedEnv bus("WIN32_DRIVE_BUS", "D=usb;e=1394");
    EXPECT_EQ(BusOf(L"D:"), BusTypeUsb);
    EXPECT_EQ(BusOf(L"E:"), BusType1394);
    const int c = BusOf(L"c:");
    EXPECT_TRUE(c != -1 && c != BusTypeUsb && c != BusType1394) << c;
    for (const wchar_t* name : {L"\\\\.\\Q:", L"\\\\.\\PhysicalDrive99", L"\\\\.\\NoSuchDevice"}) {
        EXPECT_EQ(Open(name), INVALID_HANDLE_VALUE) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    }
}

TEST(Devices, DisksAnswerTheQueryAndRefuseRawRequests) {
    int opened = 0;
    for (int n = 0; n < 16; ++n) {
        Handle h(Open(L"\\\\.\\PhysicalDrive" + std::to_wstring(n), 0));
        if (h.get() == INVALID_HANDLE_VALUE) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
            continue;
        }
        EXPECT_EQ(opened++, n) << "disk numbers have no gaps";
        std::vector<BYTE> buf;
        DWORD returned = 0;
        EXPECT_TRUE(Query(h.get(), &buf, 10000, &returned));
        GETVERSIONINPARAMS version{};
        EXPECT_FALSE(DeviceIoControl(h.get(), SMART_GET_VERSION, nullptr, 0, &version,
                                     sizeof version, &returned, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    Handle port(Open(L"\\\\.\\Scsi0:", GENERIC_READ | GENERIC_WRITE));
    if (port.get() == INVALID_HANDLE_VALUE) {
        // No disk at all, or not allowed to open the port for reading and writing.
        DWORD e = GetLastError();
        EXPECT_TRUE(e == ERROR_FILE_NOT_FOUND || e == ERROR_ACCESS_DENIED) << e;
        return;
    }
    BYTE block[557] = {};
    auto* srb = reinterpret_cast<SRB_IO_CONTROL*>(block);
    srb->HeaderLength = sizeof(SRB_IO_CONTROL);
    memcpy(srb->Signature, "SCSIDISK", 8);
    srb->ControlCode = IOCTL_SCSI_MINIPORT_IDENTIFY;
    srb->Length = 529;
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(port.get(), IOCTL_SCSI_MINIPORT, block, 60, block, sizeof block,
                                 &returned, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(Devices, ReadingAWholeDiskNeedsRoot) {
    auto ordinary = [] {
        Handle query(Open(L"\\\\.\\Z:", 0));
        if (query.get() == INVALID_HANDLE_VALUE) return 1;
        if (Open(L"\\\\.\\Z:", GENERIC_READ) != INVALID_HANDLE_VALUE) return 2;
        return GetLastError() == ERROR_ACCESS_DENIED ? 0 : 3;
    };
    if (geteuid() == 0) {
        Handle data(Open(L"\\\\.\\Z:", GENERIC_READ));
        EXPECT_NE(data.get(), INVALID_HANDLE_VALUE);
    }
    EXPECT_EQ(testing_support::AsOrdinaryUser(ordinary), 0);
}

using Mac = std::array<BYTE, 6>;

std::vector<BYTE> AdapterTable() {
    ULONG size = 0;
    if (GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW) return {};
    std::vector<BYTE> buf(size);
    EXPECT_EQ(GetAdaptersInfo(reinterpret_cast<PIP_ADAPTER_INFO>(buf.data()), &size),
              static_cast<ULONG>(ERROR_SUCCESS));
    return buf;
}

std::vector<const IP_ADAPTER_INFO*> Adapters(const std::vector<BYTE>& table) {
    std::vector<const IP_ADAPTER_INFO*> out;
    for (auto* a = table.empty() ? nullptr : reinterpret_cast<const IP_ADAPTER_INFO*>(table.data());
         a; a = a->Next)
        out.push_back(a);
    return out;
}

HANDLE OpenAdapter(const std::string& name) {
    return Open(L"\\\\.\\" + proctest::widen(name), GENERIC_READ | GENERIC_WRITE);
}

bool QueryAddress(HANDLE device, DWORD oid, Mac* out) {
    BYTE answer[260] = {};
    DWORD returned = 0;
    if (!DeviceIoControl(device, IOCTL_NDIS_QUERY_GLOBAL_STATS, &oid, sizeof oid, answer,
                         sizeof answer, &returned, nullptr))
        return false;
    EXPECT_EQ(returned, 6u);
    memcpy(out->data(), answer, 6);
    return true;
}

TEST(Adapters, AdapterDevicesAndNetbiosAnswerTheAddresses) {
    const auto table = AdapterTable();
    std::set<Mac> permanent_addresses;
    for (auto* a : Adapters(table)) {
        EXPECT_STRNE(a->AdapterName, "lo");  // loopback is no adapter
        if (a->AddressLength != 6) continue;
        Handle h(OpenAdapter(a->AdapterName));
        ASSERT_NE(h.get(), INVALID_HANDLE_VALUE) << a->AdapterName;
        Mac current{}, permanent{};
        ASSERT_TRUE(QueryAddress(h.get(), OID_802_3_CURRENT_ADDRESS, &current));
        char linux[19];  // as Linux has it
        snprintf(linux, sizeof linux, "%02x:%02x:%02x:%02x:%02x:%02x\n", current[0], current[1],
                 current[2], current[3], current[4], current[5]);
        EXPECT_EQ(
            testing_support::ReadAll("/sys/class/net/" + std::string(a->AdapterName) + "/address"),
            linux);
        EXPECT_EQ(memcmp(current.data(), a->Address, 6), 0);
        EXPECT_TRUE(QueryAddress(h.get(), OID_802_3_PERMANENT_ADDRESS, &permanent));
        permanent_addresses.insert(permanent);
        EXPECT_EQ(Failed(!QueryAddress(h.get(), 0x00010101 /* another OID */, &permanent)),
                  ERROR_NOT_SUPPORTED);
        Handle braced(OpenAdapter(std::string("{") + a->AdapterName + "}"));
        EXPECT_NE(braced.get(), INVALID_HANDLE_VALUE);
    }
    EXPECT_EQ(Failed(OpenAdapter("no-such-adapter0") == INVALID_HANDLE_VALUE),
              ERROR_FILE_NOT_FOUND);

    auto netbios = [](UCHAR command, UCHAR lana, void* buffer = nullptr, WORD length = 0) {
        NCB ncb{};
        ncb.ncb_command = command;
        ncb.ncb_lana_num = lana;
        memcpy(ncb.ncb_callname, "*               ", NCBNAMSZ);  // every name, for the status
        ncb.ncb_buffer = static_cast<PUCHAR>(buffer);
        ncb.ncb_length = length;
        return Netbios(&ncb);
    };
    LANA_ENUM lanas{};
    ASSERT_EQ(netbios(NCBENUM, 0, &lanas, sizeof lanas), NRC_GOODRET);
    const UCHAR lana = lanas.length ? lanas.lana[0] : 0;
    ASSERT_EQ(netbios(NCBRESET, lana),
              lanas.length ? NRC_GOODRET : NRC_BRIDGE);  // no card, no number
    EXPECT_EQ(netbios(0x7F, 0), NRC_ILLCMD);
    if (lanas.length == 0) return;
    std::vector<BYTE> status(600);
    ASSERT_EQ(netbios(NCBASTAT, lana, status.data(), static_cast<WORD>(status.size())),
              NRC_GOODRET);
    // It is the permanent address of one of the adapters.
    Mac first{};
    memcpy(first.data(), reinterpret_cast<ADAPTER_STATUS*>(status.data())->adapter_address, 6);
    EXPECT_EQ(permanent_addresses.count(first), 1u);
}

}  // namespace
