// A network adapter's hardware address for the machine identifier, as twelve
// upper-case hexadecimal digits ("00A0C9000002").
#pragma once

#include <cstddef>

namespace base {

// The adapters listed under HKEY_LOCAL_MACHINE
// "SOFTWARE\Microsoft\Windows NT\CurrentVersion\NetworkCards" (value "ServiceName"
// of each subkey), asked for their permanent address; the smallest text wins.
bool MacByNetworkCards(char* out, size_t size);

// The permanent address of the adapter device at device_path ("\\.\{name}").
bool MacByNdisQuery(const wchar_t* device_path, char* out, size_t size);

// The address of the first NetBIOS LAN adapter.
bool MacByNetbios(char* out, size_t size);

}  // namespace base
