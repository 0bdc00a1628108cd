// GetAdaptersInfo: the adapter table as one block of linked records.
#include "net_adapters.h"

#include <iphlpapi.h>

#include <string.h>

#include <algorithm>
#include <vector>

namespace {

void put_text(char* dst, size_t capacity, const std::string& text) {
    size_t n = std::min(text.size(), capacity - 1);
    memcpy(dst, text.data(), n);
    dst[n] = 0;
}

void put_address(IP_ADDR_STRING* entry, const std::string& address, const std::string& mask) {
    put_text(entry->IpAddress.String, sizeof entry->IpAddress.String, address);
    put_text(entry->IpMask.String, sizeof entry->IpMask.String, mask);
}

}  // namespace

ULONG WINAPI GetAdaptersInfo(PIP_ADAPTER_INFO info, PULONG size) {
    if (!size) return ERROR_INVALID_PARAMETER;
    const auto adapters = w32::net_adapters();
    if (adapters.empty()) return ERROR_NO_DATA;

    // The records first, then the extra address entries they point to.
    size_t extra = 0;
    for (auto& a : adapters) extra += a.ipv4.size() > 1 ? a.ipv4.size() - 1 : 0;
    const size_t needed =
        adapters.size() * sizeof(IP_ADAPTER_INFO) + extra * sizeof(IP_ADDR_STRING);
    if (!info || *size < needed) {
        *size = static_cast<ULONG>(needed);
        return ERROR_BUFFER_OVERFLOW;
    }
    memset(info, 0, needed);
    auto* more = reinterpret_cast<IP_ADDR_STRING*>(info + adapters.size());
    for (size_t i = 0; i < adapters.size(); ++i) {
        const auto& a = adapters[i];
        IP_ADAPTER_INFO& r = info[i];
        r.Next = i + 1 < adapters.size() ? &info[i + 1] : nullptr;
        r.ComboIndex = a.index;
        put_text(r.AdapterName, sizeof r.AdapterName, a.name);
        put_text(r.Description, sizeof r.Description, a.description);
        r.AddressLength = static_cast<UINT>(std::min(a.address_length, sizeof r.Address));
        memcpy(r.Address, a.address.data(), r.AddressLength);
        r.Index = a.index;
        r.Type = a.type;
        if (a.ipv4.empty()) {
            put_address(&r.IpAddressList, "0.0.0.0", "0.0.0.0");
        } else {
            put_address(&r.IpAddressList, a.ipv4[0].address, a.ipv4[0].mask);
            IP_ADDR_STRING* last = &r.IpAddressList;
            for (size_t k = 1; k < a.ipv4.size(); ++k, ++more) {
                put_address(more, a.ipv4[k].address, a.ipv4[k].mask);
                last->Next = more;
                last = more;
            }
        }
        put_address(&r.GatewayList, a.gateway.empty() ? "0.0.0.0" : a.gateway, "");
    }
    *size = static_cast<ULONG>(needed);
    return ERROR_SUCCESS;
}
