#include "base/mac_address.h"

#include <windows.h>
#include <nb30.h>
#include <ntddndis.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include <string>

#include "base/bounded_text.h"
#include "base/scoped_handle.h"

namespace base {
namespace {

constexpr size_t kMacText = 13;

void FormatMac(const unsigned char* address, char* text) {
    snprintf(text, kMacText, "%02X%02X%02X%02X%02X%02X", address[0], address[1], address[2],
             address[3], address[4], address[5]);
}

class ScopedKey {
public:
    ScopedKey() = default;
    ~ScopedKey() {
        if (key_) RegCloseKey(key_);
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    HKEY* Receive() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// The "ServiceName" text of one adapter's subkey; empty when it has none.
std::wstring ServiceNameOf(HKEY cards, const wchar_t* subkey) {
    ScopedKey card;
    if (RegOpenKeyExW(cards, subkey, 0, KEY_QUERY_VALUE, card.Receive()) != ERROR_SUCCESS)
        return {};
    // 260 characters and one more that always stays a terminator.
    wchar_t name[261] = {};
    DWORD type = 0;
    DWORD bytes = 260 * sizeof(wchar_t);
    if (RegQueryValueExW(card.Get(), L"ServiceName", nullptr, &type, reinterpret_cast<BYTE*>(name),
                         &bytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return name;
}

}  // namespace

bool MacByNdisQuery(const wchar_t* device_path, char* out, size_t size) {
    ScopedHandle adapter(CreateFileW(device_path, GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                     nullptr));
    if (!adapter.IsValid()) return false;
    DWORD oid = OID_802_3_PERMANENT_ADDRESS;
    unsigned char address[260] = {};
    DWORD returned = 0;
    if (!DeviceIoControl(adapter.Get(), IOCTL_NDIS_QUERY_GLOBAL_STATS, &oid, sizeof(oid), address,
                         sizeof(address), &returned, nullptr))
        return false;
    // Six bytes make the address; a shorter answer has none to format.
    if (returned < 6) return false;
    char text[kMacText];
    FormatMac(address, text);
    return CopyText(out, size, text);
}

bool MacByNetworkCards(char* out, size_t size) {
    ScopedKey cards;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards", 0,
                      KEY_ENUMERATE_SUB_KEYS, cards.Receive()) != ERROR_SUCCESS)
        return false;
    std::string best;
    for (DWORD index = 0;; ++index) {
        wchar_t subkey[261] = {};
        DWORD chars = 260;
        if (RegEnumKeyExW(cards.Get(), index, subkey, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        const std::wstring service = ServiceNameOf(cards.Get(), subkey);
        if (service.empty()) continue;
        const std::wstring device = L"\\\\.\\" + service;
        char mac[kMacText] = {};
        if (!MacByNdisQuery(device.c_str(), mac, sizeof(mac))) continue;
        if (best.empty() || lstrcmpA(mac, best.c_str()) < 0) best = mac;
    }
    return !best.empty() && CopyText(out, size, best.c_str());
}

bool MacByNetbios(char* out, size_t size) {
    LANA_ENUM lanas = {};
    NCB ncb = {};
    ncb.ncb_command = NCBENUM;
    ncb.ncb_buffer = reinterpret_cast<PUCHAR>(&lanas);
    ncb.ncb_length = sizeof(lanas);
    if (Netbios(&ncb) != NRC_GOODRET || lanas.length == 0) return false;

    memset(&ncb, 0, sizeof(ncb));
    ncb.ncb_command = NCBRESET;
    ncb.ncb_lana_num = lanas.lana[0];
    Netbios(&ncb);

    struct {
        ADAPTER_STATUS status;
        NAME_BUFFER names[30];
    } answer = {};
    memset(&ncb, 0, sizeof(ncb));
    ncb.ncb_command = NCBASTAT;
    ncb.ncb_lana_num = lanas.lana[0];
    memset(ncb.ncb_callname, ' ', NCBNAMSZ);
    ncb.ncb_callname[0] = '*';
    ncb.ncb_buffer = reinterpret_cast<PUCHAR>(&answer);
    ncb.ncb_length = sizeof(answer);
    if (Netbios(&ncb) != NRC_GOODRET) return false;
    char text[kMacText];
    FormatMac(answer.status.adapter_address, text);
    return CopyText(out, size, text);
}

}  // namespace base
