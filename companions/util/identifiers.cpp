#include "identifiers.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <cctype>

#include "machine_facts.h"

namespace selvik {
namespace {

// A keyed digest so that the published value cannot be turned back into the
// machine id, and differs from what another program derives from it.
std::string keyed_hex(const std::string& key, const std::string& message) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
              reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest,
              &length)) {
        return "";
    }
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned int i = 0; i < 16 && i < length; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 15];
    }
    return hex;
}

}  // namespace

std::string machine_identifier() {
    std::string id = read_machine_id();
    if (id.empty()) return "";
    return keyed_hex(id, "Selvik machine identifier");
}

std::string hardware_identifier() {
    std::string id = read_machine_id();
    std::string message = "Selvik hardware identifier";
    bool any_adapter = false;
    for (const auto& a : read_adapters()) {
        if (!a.physical) continue;
        message += '|';
        message += a.address;
        any_adapter = true;
    }
    if (id.empty() && !any_adapter) return "";
    return keyed_hex(id, message);
}

std::string adapter_address() {
    auto adapters = read_adapters();
    if (adapters.empty()) return "";
    std::string text = adapters.front().address;
    std::replace(text.begin(), text.end(), ':', '-');
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    return text;
}

}  // namespace selvik
