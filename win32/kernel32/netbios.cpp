// Netbios: each physical network card with a hardware address is a LAN adapter
// number, in adapter order. Enumeration, reset and the status of the local
// adapter (its hardware address) are answered; sessions and names are not.
#include "net_adapters.h"

#include <nb30.h>

#include <string.h>

#include <algorithm>
#include <vector>

namespace {

std::vector<w32::NetAdapter> lan_adapters() {
    std::vector<w32::NetAdapter> out;
    for (auto& a : w32::net_adapters())
        if (a.physical && a.address_length == 6 && out.size() < MAX_LANA) out.push_back(a);
    return out;
}

UCHAR finish(PNCB ncb, UCHAR code) {
    ncb->ncb_retcode = code;
    ncb->ncb_cmd_cplt = code;
    return code;
}

UCHAR enumerate(PNCB ncb) {
    auto lanas = lan_adapters();
    if (!ncb->ncb_buffer || ncb->ncb_length < 1 + lanas.size()) return finish(ncb, NRC_BUFLEN);
    auto* list = reinterpret_cast<LANA_ENUM*>(ncb->ncb_buffer);
    list->length = static_cast<UCHAR>(lanas.size());
    for (size_t i = 0; i < lanas.size(); ++i) list->lana[i] = static_cast<UCHAR>(i);
    ncb->ncb_length = static_cast<WORD>(1 + lanas.size());
    return finish(ncb, NRC_GOODRET);
}

UCHAR adapter_status(PNCB ncb) {
    auto lanas = lan_adapters();
    if (ncb->ncb_lana_num >= lanas.size()) return finish(ncb, NRC_BRIDGE);
    if (ncb->ncb_callname[0] != '*') return finish(ncb, NRC_NOCALL);  // remote names: no
    if (!ncb->ncb_buffer) return finish(ncb, NRC_BUFLEN);
    ADAPTER_STATUS status{};
    memcpy(status.adapter_address, lanas[ncb->ncb_lana_num].permanent.data(), 6);
    status.rev_major = 3;
    status.adapter_type = 0xFE;  // Ethernet
    status.max_dgram_size = 1472;
    status.max_sess_pkt_size = 1460;
    const WORD n = static_cast<WORD>(std::min<size_t>(ncb->ncb_length, sizeof status));
    memcpy(ncb->ncb_buffer, &status, n);
    ncb->ncb_length = n;
    return finish(ncb, n < sizeof status ? NRC_INCOMP : NRC_GOODRET);
}

}  // namespace

UCHAR APIENTRY Netbios(PNCB ncb) {
    if (!ncb) return NRC_ILLCMD;
    if (ncb->ncb_command & ASYNCH) return finish(ncb, NRC_ILLCMD);
    switch (ncb->ncb_command) {
        case NCBENUM:
            return enumerate(ncb);
        case NCBRESET:
            return finish(ncb,
                          ncb->ncb_lana_num < lan_adapters().size() ? NRC_GOODRET : NRC_BRIDGE);
        case NCBASTAT:
            return adapter_status(ncb);
        default:
            return finish(ncb, NRC_ILLCMD);
    }
}
