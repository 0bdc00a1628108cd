// A network adapter opened by name: answers the NDIS address queries.
#include "device_object.h"
#include "net_adapters.h"

#include <ntddndis.h>
#include <w32/error.h>

#include <string.h>

namespace w32 {
namespace {

class AdapterDevice : public Device {
public:
    explicit AdapterDevice(std::string name) : name_(std::move(name)) {}

    BOOL control(DWORD code, const void* in, DWORD in_size, void* out, DWORD out_size,
                 DWORD* returned) override {
        if (code != IOCTL_NDIS_QUERY_GLOBAL_STATS) return fail(ERROR_NOT_SUPPORTED);
        if (!in || in_size < sizeof(DWORD)) return fail(ERROR_INVALID_PARAMETER);
        DWORD oid;
        memcpy(&oid, in, sizeof oid);
        if (oid != OID_802_3_PERMANENT_ADDRESS && oid != OID_802_3_CURRENT_ADDRESS)
            return fail(ERROR_NOT_SUPPORTED);
        NetAdapter adapter;
        if (!find_net_adapter(name_, &adapter)) return fail(ERROR_DEV_NOT_EXIST);
        if (adapter.address_length == 0) return fail(ERROR_NOT_SUPPORTED);
        const auto& address =
            oid == OID_802_3_PERMANENT_ADDRESS ? adapter.permanent : adapter.address;
        if (!out || out_size < adapter.address_length) return fail(ERROR_INSUFFICIENT_BUFFER);
        memcpy(out, address.data(), adapter.address_length);
        *returned = static_cast<DWORD>(adapter.address_length);
        return TRUE;
    }

private:
    std::string name_;
};

}  // namespace

ObjectPtr make_adapter_device(std::string name) {
    return std::make_shared<AdapterDevice>(std::move(name));
}

}  // namespace w32
