// The browser's user agent that URL monikers send, as urlmon answers it.
#include <urlmon.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Names the Windows version the layer answers, as a browser of that system would.
std::string browser_user_agent() {
    if (const char* ua = std::getenv("WIN32_USER_AGENT"); ua && *ua) return ua;
    std::string nt = "6.1";
    if (const char* v = std::getenv("WIN32_WINDOWS_VERSION"); v && *v) {
        std::string s = v;
        size_t second = s.find('.', s.find('.') + 1);
        nt = s.substr(0, second);
    }
    return "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT " + nt +
           "; Trident/4.0; .NET CLR 2.0.50727)";
}

}  // namespace

extern "C" HRESULT WINAPI UrlMkGetSessionOption(DWORD option, LPVOID buffer, DWORD buffer_length,
                                                DWORD* buffer_length_out, DWORD reserved) {
    if (reserved != 0) return E_INVALIDARG;
    if (option != URLMON_OPTION_USERAGENT) return E_INVALIDARG;
    std::string ua = browser_user_agent();
    DWORD need = static_cast<DWORD>(ua.size() + 1);
    if (buffer_length_out) *buffer_length_out = need;
    if (!buffer || buffer_length < need) return E_OUTOFMEMORY;
    std::memcpy(buffer, ua.c_str(), need);
    return S_OK;
}
