// What a request handle turns into for the transfer: URL, headers, proxy, port remap.
#pragma once

#include "http_transfer.h"
#include "internet_handles.h"

#include <string>

namespace w32::inet {

// extra_headers: the caller's lines, CRLF-separated.
TransferSetup make_setup(const Request& req, const std::wstring& extra_headers,
                         const void* body, DWORD body_length);
// The port a connection to `port` really uses, after WIN32_HTTP_PORT_MAP.
INTERNET_PORT mapped_port(INTERNET_PORT port);

}  // namespace w32::inet
